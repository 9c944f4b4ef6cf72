#pragma once

#include <QByteArray>
#include <QString>

// Turns a child's output into text, chunk by chunk. The lab's programs write CP1251; a stream that
// is valid UTF-8 (programs built on Linux) is shown as UTF-8. A character split between two chunks
// is held back until its last byte arrives. The first byte that cannot be UTF-8 decides for CP1251
// for the rest of the stream, starting with the chunk that holds it.
class OutputDecoder
{
public:
    QString decode(const QByteArray& bytes);
    // The stream ended: an incomplete character held back is shown as the CP1251 bytes it is.
    QString finish();
    void reset();

    bool isCp1251() const { return m_bCp1251; }

    // Length of the longest prefix of bytes made of complete UTF-8 characters, when the rest is the
    // start of a character; -1 when bytes are not UTF-8.
    static qsizetype completeUtf8Length(const QByteArray& bytes);

private:
    QByteArray m_held;
    bool m_bCp1251 = false;
};
