// volmar-ini check DESCRIPTION.vlmr [INI...]: what the editor would silently ignore, one finding a
// line in the form editors jump from.

#include "description/descriptioncheck.h"
#include "tools/commands.h"

#include <cstdio>

int checkCommand(const QStringList& arguments)
{
    if (arguments.isEmpty() || arguments.first().startsWith(QLatin1Char('-'))) {
        std::fputs("Usage: volmar-ini check DESCRIPTION.vlmr [INI...]\n", stderr);
        return 2;
    }
    const CheckReport report = DescriptionCheck::check(arguments.first(), arguments.mid(1));
    if (!report.failure.isEmpty()) {
        std::fprintf(stderr, "volmar-ini: %s\n", report.failure.toUtf8().constData());
        return 3;
    }
    for (const CheckFinding& finding : report.findings)
        std::fprintf(stdout, "%s\n", finding.toString().toUtf8().constData());
    return report.findings.isEmpty() ? 0 : 1;
}
