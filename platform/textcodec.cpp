#include "platform/textcodec.h"

#include <QStringDecoder>
#include <QStringEncoder>
#include <QtEndian>

#include <array>

namespace TextCodec
{
namespace
{
constexpr char Cp1251Name[] = "windows-1251";

// CP1251 is a single-byte code page: ask Qt's converter once for the character of every byte and
// keep both directions in tables, so decoding and encoding cost a look-up per character instead of a
// converter per call. A byte the converter leaves undefined (0x98) maps to the C1 control of the same
// value and back, as Windows does, so it survives a read and a rewrite.
struct Cp1251Tables
{
    std::array<char16_t, 256> toUnicode{};
    std::array<uchar, 0x10000> fromUnicode{}; // 0: not in the code page (U+0000 is handled apart)

    Cp1251Tables()
    {
        for (int byte = 0; byte < 0x100; ++byte) {
            char16_t unit = char16_t(byte);
            if (byte >= 0x80) {
                QStringDecoder decoder(Cp1251Name, QStringConverter::Flag::Stateless);
                const char c = char(byte);
                const QString text = decoder.decode(QByteArrayView(&c, 1));
                if (!decoder.hasError() && text.size() == 1 && text.at(0) != QChar::ReplacementCharacter)
                    unit = text.at(0).unicode();
            }
            toUnicode[byte] = unit;
            if (fromUnicode[unit] == 0)
                fromUnicode[unit] = uchar(byte);
        }
    }
};

const Cp1251Tables& tables()
{
    static const Cp1251Tables instance;
    return instance;
}

// Where the first sequence that is not UTF-8 starts, or -1.
qsizetype invalidUtf8At(const QByteArray& bytes, bool* hasNonAscii)
{
    const auto* p = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype n = bytes.size();
    bool nonAscii = false;
    qsizetype i = 0;
    while (i < n) {
        const uchar c = p[i];
        if (c < 0x80) {
            ++i;
            continue;
        }
        nonAscii = true;
        int follow = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (c >= 0xC2 && c <= 0xDF) {
            follow = 1;
        } else if (c >= 0xE0 && c <= 0xEF) {
            follow = 2;
            if (c == 0xE0)
                low = 0xA0; // overlong
            else if (c == 0xED)
                high = 0x9F; // surrogates
        } else if (c >= 0xF0 && c <= 0xF4) {
            follow = 3;
            if (c == 0xF0)
                low = 0x90;
            else if (c == 0xF4)
                high = 0x8F; // above U+10FFFF
        } else {
            return i;
        }
        if (i + follow >= n)
            return i;
        if (p[i + 1] < low || p[i + 1] > high)
            return i;
        for (int k = 2; k <= follow; ++k)
            if ((p[i + k] & 0xC0) != 0x80)
                return i;
        i += follow + 1;
    }
    *hasNonAscii = nonAscii;
    return -1;
}
} // namespace

Encoding detect(const QByteArray& bytes)
{
    if (bytes.startsWith("\xEF\xBB\xBF"))
        return Encoding::Utf8Bom;
    if (bytes.startsWith("\xFF\xFE"))
        return Encoding::Utf16Le;
    bool nonAscii = false;
    if (invalidUtf8At(bytes, &nonAscii) < 0 && nonAscii)
        return Encoding::Utf8;
    return Encoding::Cp1251;
}

qsizetype firstNonUtf8(const QByteArray& bytes)
{
    bool nonAscii = false;
    return invalidUtf8At(bytes, &nonAscii);
}

int bomLength(Encoding encoding)
{
    switch (encoding) {
    case Encoding::Utf8Bom:
        return 3;
    case Encoding::Utf16Le:
        return 2;
    case Encoding::Cp1251:
    case Encoding::Utf8:
        break;
    }
    return 0;
}

QString decode(const QByteArray& bytes, Encoding encoding)
{
    const bool hasBom = (encoding == Encoding::Utf8Bom && bytes.startsWith("\xEF\xBB\xBF")) ||
                        (encoding == Encoding::Utf16Le && bytes.startsWith("\xFF\xFE"));
    const qsizetype bom = hasBom ? bomLength(encoding) : 0;
    const QByteArrayView body = QByteArrayView(bytes).sliced(bom);
    switch (encoding) {
    case Encoding::Cp1251:
        return fromCp1251(body.toByteArray());
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        return QString::fromUtf8(body);
    case Encoding::Utf16Le: {
        // An odd last byte cannot be a character; it is left out of the text.
        QString text(body.size() / 2, Qt::Uninitialized);
        qFromLittleEndian<char16_t>(body.data(), text.size(), text.data());
        return text;
    }
    }
    return {};
}

QByteArray encode(const QString& text, Encoding encoding)
{
    switch (encoding) {
    case Encoding::Cp1251:
        return toCp1251(text);
    case Encoding::Utf8:
    case Encoding::Utf8Bom:
        return text.toUtf8();
    case Encoding::Utf16Le: {
        QByteArray bytes(text.size() * 2, Qt::Uninitialized);
        qToLittleEndian<char16_t>(text.constData(), text.size(), bytes.data());
        return bytes;
    }
    }
    return {};
}

QString fromCp1251(const QByteArray& bytes)
{
    const Cp1251Tables& t = tables();
    QString text(bytes.size(), Qt::Uninitialized);
    QChar* out = text.data();
    for (const char c : bytes)
        *out++ = QChar(t.toUnicode[uchar(c)]);
    return text;
}

// What CP1251 cannot hold becomes "?", as the Windows ANSI functions write it.
QByteArray toCp1251(const QString& text)
{
    const Cp1251Tables& t = tables();
    QByteArray bytes(text.size(), Qt::Uninitialized);
    qsizetype n = 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t unit = text.at(i).unicode();
        if (unit < 0x80) {
            bytes[n++] = char(unit);
            continue;
        }
        if (QChar::isHighSurrogate(unit) && i + 1 < text.size() && text.at(i + 1).isLowSurrogate())
            ++i; // one character, one "?"
        const uchar byte = t.fromUnicode[unit];
        bytes[n++] = byte != 0 ? char(byte) : '?';
    }
    bytes.truncate(n);
    return bytes;
}
} // namespace TextCodec
