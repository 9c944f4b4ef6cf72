// volmar-ini diff [--json] A.ini B.ini: the keys whose reading differs between two INI files.

#include "document/inidiff.h"
#include "tools/commands.h"

#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace
{
const char Usage[] = "Usage: volmar-ini diff [--json] A.ini B.ini\n";

// A switched-off key shows as the file writes it, behind "@".
QString cell(const std::optional<IniKeyLine>& key)
{
    if (!key)
        return QStringLiteral("(missing)");
    const QString value = key->value.isEmpty() ? QStringLiteral("\"\"") : key->value;
    return key->enabled ? value : QLatin1Char('@') + value;
}

QStringList changes(const IniDifference& difference)
{
    if (difference.missing())
        return {QStringLiteral("missing")};
    QStringList list;
    if (difference.valueDiffers())
        list.append(QStringLiteral("value"));
    if (difference.switchDiffers())
        list.append(QStringLiteral("switched"));
    return list;
}

QString table(const QString& a, const QString& b, const QList<IniDifference>& differences)
{
    QList<QStringList> rows{{QStringLiteral("section"), QStringLiteral("key"), a, b}};
    for (const IniDifference& difference : differences)
        rows.append({difference.section, difference.key, cell(difference.a), cell(difference.b)});
    QList<qsizetype> widths(3, 0);
    for (const QStringList& row : std::as_const(rows))
        for (qsizetype c = 0; c < widths.size(); ++c)
            widths[c] = std::max(widths.at(c), row.at(c).size());
    QString text;
    for (const QStringList& row : std::as_const(rows)) {
        for (qsizetype c = 0; c < widths.size(); ++c)
            text += row.at(c).leftJustified(widths.at(c) + 2);
        text += row.last() + QLatin1Char('\n');
    }
    return text;
}

QJsonValue keyJson(const std::optional<IniKeyLine>& key)
{
    if (!key)
        return QJsonValue::Null;
    return QJsonObject{{QStringLiteral("value"), key->value},
                       {QStringLiteral("enabled"), key->enabled},
                       {QStringLiteral("line"), key->line}};
}

QByteArray json(const QString& a, const QString& b, const QList<IniDifference>& differences)
{
    QJsonArray list;
    for (const IniDifference& difference : differences)
        list.append(QJsonObject{{QStringLiteral("section"), difference.section},
                                {QStringLiteral("key"), difference.key},
                                {QStringLiteral("changes"), QJsonArray::fromStringList(changes(difference))},
                                {QStringLiteral("a"), keyJson(difference.a)},
                                {QStringLiteral("b"), keyJson(difference.b)}});
    const QJsonObject root{{QStringLiteral("a"), a}, {QStringLiteral("b"), b}, {QStringLiteral("differences"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Indented);
}
} // namespace

int diffCommand(const QStringList& arguments)
{
    QStringList files = arguments;
    const bool asJson = files.removeAll(QStringLiteral("--json")) > 0;
    if (files.size() != 2) {
        std::fputs(Usage, stderr);
        return 2;
    }
    for (const QString& file : std::as_const(files)) {
        const QFileInfo info(file);
        if (!info.isFile() || !info.isReadable()) {
            std::fprintf(stderr, "volmar-ini: cannot read %s\n", file.toUtf8().constData());
            return 3;
        }
    }
    const QList<IniDifference> differences = IniDiff::compare(files.at(0), files.at(1));
    const QByteArray out =
        asJson ? json(files.at(0), files.at(1), differences)
               : (differences.isEmpty() ? QString() : table(files.at(0), files.at(1), differences)).toUtf8();
    std::fwrite(out.constData(), 1, size_t(out.size()), stdout);
    return differences.isEmpty() ? 0 : 1;
}
