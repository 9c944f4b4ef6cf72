#pragma once

// Small file helpers shared by the test suites.

#include <QByteArray>
#include <QFile>
#include <QString>

namespace TestUtil
{
inline QByteArray readBytes(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A text as the user reads it: an access-key marker "&" is not shown, "&&" shows one "&".
inline QString shownText(QString text)
{
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i) == QLatin1Char('&'))
            text.remove(i, 1); // the character after it stays, even a second "&"
    return text;
}

inline bool writeBytes(const QString& path, const QByteArray& bytes)
{
    QFile file(path);
    return file.open(QIODevice::WriteOnly | QIODevice::Truncate) && file.write(bytes) == bytes.size();
}
} // namespace TestUtil
