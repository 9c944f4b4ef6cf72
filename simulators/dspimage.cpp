#include "simulators/dspimage.h"

#include "platform/textcodec.h"

#include <QFile>
#include <QFileInfo>

namespace
{
const char Magic[] = "KELDA-IMAGE 1";
// A header never needs more; the rest of a big image is not read at all.
constexpr qint64 MaxHeaderBytes = 16 * 1024;
} // namespace

bool DspImage::load(const QString& path, QString* error)
{
    const QFileInfo info(path);
    if (!info.exists()) {
        *error = QStringLiteral("файл программы %1 не найден").arg(path);
        return false;
    }
    QFile file(path);
    if (info.isDir() || !file.open(QIODevice::ReadOnly)) {
        *error = QStringLiteral("файл программы %1 не читается").arg(path);
        return false;
    }
    const QByteArray head = file.read(MaxHeaderBytes);
    const QStringList lines = TextCodec::fromCp1251(head).split(QLatin1Char('\n'));
    if (lines.isEmpty() || lines.first().trimmed() != QLatin1String(Magic)) {
        *error = QStringLiteral("%1 не является программой DSP для сервера kelda").arg(path);
        return false;
    }

    QString test = QStringLiteral("adc");
    for (qsizetype i = 1; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty())
            break;
        if (line.startsWith(QLatin1Char('#')))
            continue;
        const qsizetype colon = line.indexOf(QLatin1Char(':'));
        if (colon < 0)
            continue;
        const QString key = line.left(colon).trimmed().toLower();
        const QString value = line.mid(colon + 1).trimmed();
        if (key == QLatin1String("board"))
            board = value;
        else if (key == QLatin1String("test"))
            test = value.toLower();
        else if (key == QLatin1String("ini"))
            iniFile = value;
        else if (key == QLatin1String("title"))
            title = value;
    }

    if (test == QLatin1String("adc")) {
        kind = TestRun::Adc;
    } else if (test == QLatin1String("filter")) {
        kind = TestRun::Filter;
    } else if (test == QLatin1String("gen")) {
        kind = TestRun::Generator;
    } else {
        *error = QStringLiteral("%1: неизвестный тест \"%2\"").arg(path, test);
        return false;
    }
    return true;
}
