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

qsizetype OutputDecoder::withoutCutCharacter(const QByteArray& bytes)
{
    const auto* data = reinterpret_cast<const uchar*>(bytes.constData());
    const qsizetype size = bytes.size();
    // A character is at most 4 bytes long: its lead byte stands among the last 3.
    for (qsizetype i = size - 1; i >= 0 && i >= size - 3; --i) {
        const uchar c = data[i];
        if (c < 0x80)
            break;
        if (c >= 0xC0) {
            const qsizetype length = c >= 0xF0 ? 4 : c >= 0xE0 ? 3 : 2;
            return i + length > size ? i : size;
        }
    }
    return size;
}

QString OutputDecoder::decodeUtf8(const QByteArray& bytes)
{
    const QByteArray data = m_held.isEmpty() ? bytes : m_held + bytes;
    const qsizetype complete = withoutCutCharacter(data);
    m_held = data.mid(complete);
    return QString::fromUtf8(data.constData(), complete);
}

void OutputDecoder::keepForReplay(const QByteArray& bytes)
{
    for (const char c : bytes) {
        if (uchar(c) >= 0x80) {
            m_bNonAscii = true;
            break;
        }
    }
    if (!m_bReplayable)
        return;
    m_replay.append(bytes);
    m_replayBytes += bytes.size();
    if (m_replayBytes <= ReplayLimit)
        return;
    // That much valid UTF-8 with non-ASCII text in it is not CP1251 by chance.
    m_replay.clear();
    m_bReplayable = false;
    if (m_bNonAscii)
        m_state = State::Utf8;
}

OutputDecoder::Decoded OutputDecoder::decode(const QByteArray& bytes)
{
    Decoded decoded;
    if (m_state == State::Cp1251) {
        decoded.text = TextCodec::fromCp1251(bytes);
        return decoded;
    }
    if (m_state == State::Utf8) {
        decoded.text = decodeUtf8(bytes);
        return decoded;
    }

    const QByteArray data = m_held.isEmpty() ? bytes : m_held + bytes;
    const qsizetype complete = completeUtf8Length(data);
    if (complete >= 0) {
        m_held = data.mid(complete);
        decoded.text = QString::fromUtf8(data.constData(), complete);
        keepForReplay(bytes);
        return decoded;
    }

    m_state = State::Cp1251;
    if (m_bReplayable) {
        // The held bytes belong to the chunks kept, each of which is whole in CP1251.
        decoded.restart = true;
        for (const QByteArray& earlier : std::as_const(m_replay))
            decoded.earlier.append(TextCodec::fromCp1251(earlier));
        decoded.text = TextCodec::fromCp1251(bytes);
    } else {
        decoded.text = TextCodec::fromCp1251(data);
    }
    m_held.clear();
    m_replay.clear();
    return decoded;
}

QString OutputDecoder::finish()
{
    const QByteArray held = m_held;
    m_held.clear();
    return m_state == State::Utf8 ? QString::fromUtf8(held) : TextCodec::fromCp1251(held);
}

void OutputDecoder::reset(Encoding encoding)
{
    m_encoding = encoding;
    m_state = encoding == Encoding::Cp1251 ? State::Cp1251
              : encoding == Encoding::Utf8 ? State::Utf8
                                           : State::Undecided;
    m_held.clear();
    m_replay.clear();
    m_replayBytes = 0;
    m_bReplayable = true;
    m_bNonAscii = false;
}
