#include "bench/workload.h"

#include "platform/textcodec.h"

#include <QDir>
#include <QFile>

namespace
{
void writeFile(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    if (file.open(QIODevice::WriteOnly | QIODevice::Truncate))
        file.write(bytes);
}
} // namespace

Workload makeWorkload(const QString& dir, int scale, int files)
{
    Workload workload;
    workload.dir = dir;
    const int sections = 50 * scale;
    const int keysPerSection = 400;
    const int groups = 200 * scale;
    workload.keys = sections * keysPerSection;

    for (int f = 0; f < files; ++f) {
        QString text = QStringLiteral("; Сгенерированный тест платы\r\n\r\n");
        for (int s = 0; s < sections; ++s) {
            text += QStringLiteral("[Section%1]\r\n").arg(s);
            for (int k = 0; k < keysPerSection; ++k) {
                // A few values differ between the files of a set, as calibration files do.
                const int value = (k % 97 == 0) ? k + f : k;
                text += QStringLiteral("Key%1_%2=%3\t\t// параметр %2 секции %1\r\n").arg(s).arg(k).arg(value);
                if (k % 50 == 0)
                    text += QStringLiteral("; продолжение комментария\r\n");
            }
            text += QStringLiteral("\r\n");
        }
        const QString path = QDir(dir).filePath(QStringLiteral("set.f%1.ini").arg(f + 1));
        writeFile(path, TextCodec::toCp1251(text));
        workload.iniFiles.append(path);
    }

    QString xml = QStringLiteral("<?xml version=\"1.0\" encoding=\"UTF-8\"?>\n<settings>\n");
    const int perGroup = workload.keys / groups;
    int key = 0;
    for (int g = 0; g < groups; ++g) {
        xml += QStringLiteral("  <group title=\"Группа %1\" color=\"%2,%3,230\" open=\"%4\">\n")
                   .arg(g)
                   .arg(150 + g % 100)
                   .arg(200 + g % 50)
                   .arg(g % 3 == 0 ? 0 : 1);
        for (int i = 0; i < perGroup && key < workload.keys; ++i, ++key) {
            const int s = key / keysPerSection;
            const int k = key % keysPerSection;
            const char* type = (k % 4 == 0) ? "spin-int" : (k % 4 == 1) ? "spin-double" : (k % 4 == 2) ? "list" : "";
            xml += QStringLiteral("    <param name=\"Section%1.Key%1_%2\" title=\"Параметр %2\" type=\"%3\" "
                                  "comment=\"Описание параметра %2\" min=\"0\" max=\"100000\"")
                       .arg(s)
                       .arg(k)
                       .arg(QLatin1String(type));
            if (k % 4 == 2)
                xml += QStringLiteral(">\n      <item val=\"%1\" descr=\"текущее\"/>\n      <item val=\"0\" "
                                      "descr=\"ноль\"/>\n    </param>\n")
                           .arg(k);
            else
                xml += QStringLiteral("/>\n");
        }
        xml += QStringLiteral("  </group>\n");
    }
    xml += QStringLiteral("</settings>\n");
    workload.description = QDir(dir).filePath(QStringLiteral("set.vlmr"));
    writeFile(workload.description, xml.toUtf8());
    return workload;
}

QByteArray makeSectionsFile(int sections, int keysPerSection, bool repeatedNames)
{
    QByteArray out;
    const QByteArray comment = TextCodec::toCp1251(QStringLiteral("\t\t// параметр\r\n"));
    const QByteArray continuation = TextCodec::toCp1251(QStringLiteral("; продолжение\r\n"));
    for (int s = 0; s < sections; ++s) {
        out += "[Section" + QByteArray::number(s) + "]\r\n";
        for (int k = 0; k < keysPerSection; ++k) {
            // Both kinds of file have the same size: a repeated name stands a letter for every digit.
            const QByteArray number = QByteArray::number(s);
            out += "Key" + (repeatedNames ? QByteArray(number.size(), 'R') : number) + '_' + QByteArray::number(k);
            out += '=' + QByteArray::number(k) + comment;
            if (k % 10 == 0)
                out += continuation;
        }
        out += "\r\n";
    }
    return out;
}

QByteArray makeProgramOutput(qint64 bytes)
{
    QByteArray out;
    out.reserve(bytes + 256);
    int block = 0;
    while (out.size() < bytes) {
        ++block;
        for (int p = 0; p <= 100; p += 10)
            out += TextCodec::toCp1251(QStringLiteral("\rБлок %1: %2%").arg(block).arg(p));
        out += TextCodec::toCp1251(
            QStringLiteral("\r\nБлок %1: СКЗ 0.7071 В, пик 1.0000 В, частота 1000.0 Гц\r\n").arg(block));
    }
    out.truncate(bytes);
    return out;
}
