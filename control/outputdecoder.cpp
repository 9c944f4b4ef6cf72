#include "control/outputdecoder.h"

#include "platform/textcodec.h"

qsizetype OutputDecoder::completeUtf8Length(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    qsizetype i = 0;
    while (i < size) {
        const uchar lead = data[i];
        if (lead < 0x80) {
            ++i;
            continue;
        }
        // The ranges of the second byte exclude overlong forms, surrogates and code points past U+10FFFF.
        int trail = 0;
        uchar low = 0x80;
        uchar high = 0xBF;
        if (lead >= 0xC2 && lead <= 0xDF) {
            trail = 1;
        } else if (lead == 0xE0) {
            trail = 2;
            low = 0xA0;
        } else if ((lead >= 0xE1 && lead <= 0xEC) || lead == 0xEE || lead == 0xEF) {
            trail = 2;
        } else if (lead == 0xED) {
            trail = 2;
            high = 0x9F;
        } else if (lead == 0xF0) {
            trail = 3;
            low = 0x90;
        } else if (lead >= 0xF1 && lead <= 0xF3) {
            trail = 3;
        } else if (lead == 0xF4) {
            trail = 3;
            high = 0x8F;
        } else {
            return -1;
        }
        for (int k = 1; k <= trail; ++k) {
            if (i + k >= size)
                return i; // the character goes on in the next chunk
            const uchar c = data[i + k];
            if (c < low || c > high)
                return -1;
            low = 0x80;
            high = 0xBF;
        }
        i += trail + 1;
    }
    return size;
}

QString OutputDecoder::decode(const QByteArray& bytes)
{
    if (m_bCp1251)
        return TextCodec::fromCp1251(bytes);
    const QByteArray data = m_held.isEmpty() ? bytes : m_held + bytes;
    m_held.clear();
    const qsizetype complete = completeUtf8Length(data);
    if (complete < 0) {
        m_bCp1251 = true;
        return TextCodec::fromCp1251(data);
    }
    m_held = data.mid(complete);
    return QString::fromUtf8(data.constData(), complete);
}

QString OutputDecoder::finish()
{
    const QByteArray held = m_held;
    m_held.clear();
    return TextCodec::fromCp1251(held);
}

void OutputDecoder::reset()
{
    m_held.clear();
    m_bCp1251 = false;
}
