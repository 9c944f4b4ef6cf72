#pragma once

#include <QByteArray>
#include <QString>

// The encodings of the lab's INI files: CP1251 by default (Windows tools wrote them), UTF-8 when a
// file is valid UTF-8 and holds a BOM or any non-ASCII byte (files made on Linux), UTF-16LE with
// its BOM. CP1251 bytes that code page leaves undefined survive a decode/encode round trip.
namespace TextCodec
{
enum class Encoding
{
    Cp1251,
    Utf8,    // no BOM
    Utf8Bom, // starts with EF BB BF
    Utf16Le  // starts with FF FE
};

Encoding detect(const QByteArray& bytes);

// Where the first byte sequence that is not UTF-8 starts; -1 for valid UTF-8.
qsizetype firstNonUtf8(const QByteArray& bytes);

// Decodes the whole file content; a BOM is not part of the text.
QString decode(const QByteArray& bytes, Encoding encoding);
inline QString decode(const QByteArray& bytes)
{
    return decode(bytes, detect(bytes));
}

// Encodes text without a BOM (the caller keeps the original BOM bytes where it keeps the file head).
QByteArray encode(const QString& text, Encoding encoding);

// Length of the BOM that `encoding` puts at the start of a file.
int bomLength(Encoding encoding);

// How a child's output is read: CP1251 by contract, UTF-8 for programs built on Linux, or decided by
// the stream itself.
enum class OutputEncoding
{
    Auto,
    Cp1251,
    Utf8
};

// CP1251 both ways, for texts that are CP1251 by contract (child process output, command lines).
QString fromCp1251(const QByteArray& bytes);
QByteArray toCp1251(const QString& text);
} // namespace TextCodec
