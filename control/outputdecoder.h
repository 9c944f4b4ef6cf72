#pragma once

#include "platform/textcodec.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

// Turns a child's output into text, chunk by chunk. A character split between two chunks is held
// back until its last byte arrives.
//
// With Encoding::Auto the lab's rule applies to the whole stream: a stream that is valid UTF-8
// (programs built on Linux) is UTF-8; one byte that cannot be UTF-8 makes all of it CP1251, also
// the chunks already decoded, which are then decoded again. Only the first ReplayLimit bytes are
// kept for that: a stream that was still valid UTF-8 with non-ASCII text after them stays UTF-8
// (an invalid byte then reads as U+FFFD), and one that was plain ASCII until then becomes CP1251
// from the chunk that shows it (the ASCII shown before reads the same either way).
class OutputDecoder
{
public:
    using Encoding = TextCodec::OutputEncoding;

    struct Decoded
    {
        // The text of this chunk.
        QString text;
        // The stream so far turned out to be CP1251 after it was shown as UTF-8: `earlier` holds the
        // texts of all the chunks before this one, decoded anew, in their order. They and `text`
        // replace everything decoded since the start.
        bool restart = false;
        QStringList earlier;
    };

    static constexpr qsizetype ReplayLimit = 1024 * 1024;

    Decoded decode(const QByteArray& bytes);
    // The stream ended: an incomplete character held back is shown as the CP1251 bytes it is
    // (U+FFFD once the stream is UTF-8); it does not change the decision for the rest.
    QString finish();
    // A new stream, read with `encoding`.
    void reset(Encoding encoding = Encoding::Auto);

    Encoding encoding() const { return m_encoding; }
    bool isCp1251() const { return m_state == State::Cp1251; }

    // Length of the longest prefix of bytes made of complete UTF-8 characters, when the rest is the
    // start of a character; -1 when bytes are not UTF-8.
    static qsizetype completeUtf8Length(const QByteArray& bytes);
    // Length of bytes without a UTF-8 character cut short at their end, valid or not.
    static qsizetype withoutCutCharacter(const QByteArray& bytes);

private:
    enum class State
    {
        Undecided, // valid UTF-8 so far
        Utf8,      // UTF-8 for good
        Cp1251
    };

    QString decodeUtf8(const QByteArray& bytes);
    void keepForReplay(const QByteArray& bytes);

    Encoding m_encoding = Encoding::Auto;
    State m_state = State::Undecided;
    QByteArray m_held;
    QList<QByteArray> m_replay; // the raw chunks so far, while an Auto stream is undecided
    qsizetype m_replayBytes = 0;
    bool m_bReplayable = true;
    bool m_bNonAscii = false;
};
