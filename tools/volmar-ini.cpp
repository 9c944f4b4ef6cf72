// volmar-ini: the INI engine of Volmar on the command line, for scripts and for checking by hand
// what Volmar (and the test programs) will read from a file.

#include "platform/profile.h"
#include "platform/profilewrite.h"
#include "platform/textcodec.h"
#include "platform/userfile.h"
#include "tools/commands.h"
#include "tools/volmarini.h"

#include <QHash>
#include <QList>
#include <QString>
#include <QStringList>

#include <cstdio>

namespace
{
using namespace VolmarIni;

const char UsageText[] = "Usage: volmar-ini sections FILE\n"
                         "       volmar-ini keys FILE SECTION\n"
                         "       volmar-ini get FILE SECTION KEY\n"
                         "       volmar-ini set FILE SECTION KEY VALUE\n"
                         "       volmar-ini delete FILE SECTION [KEY]\n"
                         "       volmar-ini run FILE OPS\n"
                         "       volmar-ini check DESCRIPTION.vlmr [INI...]\n"
                         "       volmar-ini diff [--json] A.ini B.ini\n"
                         "       volmar-ini --help | --version\n"
                         "Try 'volmar-ini --help' for more.\n";

const char HelpText[] = R"help(volmar-ini - read and write INI files exactly as Volmar does

Usage:
  volmar-ini sections FILE               print the section names, one per line
  volmar-ini keys FILE SECTION           print the key names of a section, one per line
  volmar-ini get FILE SECTION KEY        print the value of a key
  volmar-ini set FILE SECTION KEY VALUE  write a value
  volmar-ini delete FILE SECTION [KEY]   remove a key, or a whole section
  volmar-ini run FILE OPS                run a script of operations on FILE (see below)
  volmar-ini check DESCRIPTION.vlmr [INI...]
                                         report what Volmar would silently ignore (see below)
  volmar-ini diff [--json] A.ini B.ini   list the keys that differ between two files
  volmar-ini --help                      show this text
  volmar-ini --version                   show the version

Options come before the command; "--" ends them. Everything after the
command is an argument, so values such as -5 need no quoting.

What it reads
  Section and key names match without regard to case, Cyrillic letters included
  ("Частота" finds [ЧАСТОТА]). When a key or a section appears twice, the first
  one counts. A value is the text after the first "=", blanks around it removed
  and one pair of enclosing quotes dropped; "//" and ";" inside it are part of
  the value ("Freq=100 // Hz" reads "100 // Hz"). Keys above the first section
  header belong to the section "" (an empty argument). Keys starting with ";"
  are comments and are not listed, and lines without "=" are not keys. As with
  the Windows functions, a value is cut to 8191 characters, and a list of names
  stops at 8190 characters, counting one separator after each name. get and
  set ignore blanks around SECTION and KEY; keys and delete take them exactly
  as given.

What it writes
  set changes the one line that holds the key and leaves every other byte of
  the file alone: line ends, comments, blank lines, encoding. The value is
  written exactly as given, blanks included. A missing key is added after the
  last line of its section, a missing section at the end of the file, and a
  missing file is created. Setting the value a key already has does not touch
  the file at all (its modification time stays). The file is replaced through a
  temporary file in the same folder, so it is never left half-written; a
  symbolic link stays a link, the permissions stay, and a file without write
  permission is not changed.

Encodings
  A file is UTF-8 when it starts with a UTF-8 byte-order mark, or holds
  non-ASCII text that is valid UTF-8; UTF-16LE when it starts with that mark;
  otherwise CP1251, as the lab's Windows tools write. SECTION, KEY and VALUE
  are taken as UTF-8 when they are valid UTF-8, else as CP1251; they are
  written in the file's own encoding, and everything printed is UTF-8. FILE
  and OPS are taken byte for byte; a name whose bytes are not valid in the
  system's encoding is refused rather than replaced by another name.

Exit status
  0  done (for set also when the value was already there)
  1  get: no such key or section (also when FILE does not exist);
     delete: nothing to delete
  2  wrong arguments, an unknown option or a malformed OPS script
     (nothing is changed)
  3  FILE or OPS could not be read (a folder, a FIFO, a device, a link loop,
     no permission to read it, a name not valid in the system's encoding), or
     FILE could not be written (it is left as it was); stderr says which
  check and diff have exit codes of their own, given below.

Scripts (run)
  OPS holds one operation per line, fields separated by a TAB:
    sections
    keys      SECTION
    get       SECTION  KEY
    put       SECTION  KEY  VALUE
    putnull   SECTION  KEY           (remove the key)
    delsection SECTION               (remove the section)
  Empty lines and lines starting with "#" are skipped. In every field \t \n \r
  \\ \0 and \xHH stand for TAB, LF, CR, backslash, NUL and the byte HH; \xHH
  bytes above 7F are CP1251 (\xd7\xe0 is "Ча"). Other non-ASCII text in OPS is
  taken as UTF-8 when the whole script is valid UTF-8, else as CP1251. Names in
  keys, putnull and delsection are used exactly as given; get and put ignore
  blanks around them. Every operation prints one JSON line, for example:
    {"line":1,"op":"sections","list":["Radio","Amp"]}
    {"line":2,"op":"get","found":true,"text":"100 // Hz"}
    {"line":3,"op":"get","found":false}
    {"line":4,"op":"put","file_hex":"5b526164696f5d0d0a..."}
  "line" is the line of OPS, "file_hex" the whole file after the write in hex
  (null when there is no file).

Checking a description (check)
  check reads DESCRIPTION.vlmr with Volmar's own reader and the INI files with
  its own document code (without INI files: the file the description names,
  as opening the description would) and prints one line per finding, in the
  "file:line: message" form editors jump from ("file:line:column:" for XML
  errors): XML errors (Volmar then ignores the whole file), unknown or repeated
  elements, types other than spin-int, spin-double, list, file and text,
  numbers that read as 0, min above max, lists without items or with repeated
  values, programs whose dependence is missing, parameters that name no key or
  a key described before, keys without a description, and INI lines nobody
  reads (keys above the first section, repeated sections and keys). Exit
  status: 0 nothing found, 1 findings, 2 wrong arguments, 3 a file could not
  be read.

Comparing two files (diff)
  diff lists the keys that differ in value (comments are not compared), are
  missing from one file, or are switched off by "@" in one only. Section and
  key names match without regard to case. The table shows a switched-off
  value behind "@", an empty one as "", a missing key as (missing); --json
  prints {"a":..., "b":..., "differences":[{"section", "key", "changes"
  (["value"], ["switched"], ["missing"]...), "a" and "b" (each {"value",
  "enabled", "line"} or null)}]}. Exit status: 0 no differences, 1
  differences, 2 wrong arguments, 3 a file could not be read.

Examples
  volmar-ini get test.ini Radio Freq
  volmar-ini set test.ini Radio Freq 200
  volmar-ini set test.ini Radio Freq " 200"$'\t\t'"// frequency"
  volmar-ini delete test.ini Radio Band
  volmar-ini delete test.ini OldSection
  freq=$(volmar-ini get test.ini Radio Freq) || freq=100
  volmar-ini sections test.ini | while IFS= read -r s; do
      echo "[$s] Gain=$(volmar-ini get test.ini "$s" Gain)"
  done
  printf 'put\tRadio\tFreq\t200\nget\tRadio\tFreq\n' > ops.txt
  volmar-ini run test.ini ops.txt
  volmar-ini check test.vlmr
  volmar-ini diff --json test.ini test.rev2.ini
)help";

int usage()
{
    print(UsageText, stderr);
    return ExitUsage;
}

// ---- the OPS script ----------------------------------------------------------------------------

struct Operation
{
    int line = 0;
    QString op;
    QStringList fields; // without the operation's name
};

int fieldCount(const QString& op)
{
    static const QHash<QString, int> counts{{QStringLiteral("sections"), 0}, {QStringLiteral("keys"), 1},
                                            {QStringLiteral("get"), 2},      {QStringLiteral("put"), 3},
                                            {QStringLiteral("putnull"), 2},  {QStringLiteral("delsection"), 1}};
    return counts.value(op, -1);
}

int hexDigit(char c)
{
    if (c >= '0' && c <= '9')
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

// \xHH bytes are CP1251; other bytes are the script's own text. An unknown escape stays as written.
QString unescape(QByteArrayView field, bool scriptIsUtf8)
{
    QString text;
    QByteArray plain;
    QByteArray escaped;
    const auto flushPlain = [&] {
        text += scriptIsUtf8 ? QString::fromUtf8(plain) : TextCodec::fromCp1251(plain);
        plain.clear();
    };
    const auto flushEscaped = [&] {
        text += TextCodec::fromCp1251(escaped);
        escaped.clear();
    };
    for (qsizetype i = 0; i < field.size(); ++i) {
        const char c = field.at(i);
        if (c == '\\' && i + 1 < field.size()) {
            const char next = field.at(i + 1);
            if (next == 'x' && i + 3 < field.size() && hexDigit(field.at(i + 2)) >= 0 &&
                hexDigit(field.at(i + 3)) >= 0) {
                flushPlain();
                escaped.append(char(hexDigit(field.at(i + 2)) * 16 + hexDigit(field.at(i + 3))));
                i += 3;
                continue;
            }
            const int simple = next == 't'    ? '\t'
                               : next == 'n'  ? '\n'
                               : next == 'r'  ? '\r'
                               : next == '\\' ? '\\'
                               : next == '0'  ? 0
                                              : -1;
            if (simple >= 0) {
                flushEscaped();
                plain.append(char(simple));
                ++i;
                continue;
            }
        }
        flushEscaped();
        plain.append(c);
    }
    flushEscaped();
    flushPlain();
    return text;
}

bool parseScript(const QByteArray& script, QList<Operation>* operations, QString* error)
{
    const bool utf8 = TextCodec::detect(script) != TextCodec::Encoding::Cp1251;
    const QList<QByteArray> lines = (script.startsWith("\xEF\xBB\xBF") ? script.mid(3) : script).split('\n');
    for (qsizetype n = 0; n < lines.size(); ++n) {
        QByteArray line = lines.at(n);
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty() || line.startsWith('#'))
            continue;
        const QList<QByteArray> parts = line.split('\t');
        Operation operation;
        operation.line = int(n + 1);
        operation.op = QString::fromLatin1(parts.first());
        const int expected = fieldCount(operation.op);
        if (expected < 0) {
            *error = QStringLiteral("line %1: unknown operation \"%2\"").arg(n + 1).arg(operation.op);
            return false;
        }
        if (parts.size() - 1 != expected) {
            *error = QStringLiteral("line %1: %2 takes %3 field(s) after it, found %4")
                         .arg(n + 1)
                         .arg(operation.op)
                         .arg(expected)
                         .arg(parts.size() - 1);
            return false;
        }
        for (qsizetype f = 1; f < parts.size(); ++f)
            operation.fields.append(unescape(parts.at(f), utf8));
        operations->append(operation);
    }
    return true;
}

// JSON text as the golden files have it: UTF-8, only quotes, backslashes and controls escaped.
QByteArray jsonString(const QString& text)
{
    QString out;
    out.reserve(text.size() + 2);
    out += u'"';
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar c = text.at(i);
        const char16_t u = c.unicode();
        switch (u) {
        case '"':
            out += QLatin1String("\\\"");
            break;
        case '\\':
            out += QLatin1String("\\\\");
            break;
        case '\n':
            out += QLatin1String("\\n");
            break;
        case '\r':
            out += QLatin1String("\\r");
            break;
        case '\t':
            out += QLatin1String("\\t");
            break;
        case '\b':
            out += QLatin1String("\\b");
            break;
        case '\f':
            out += QLatin1String("\\f");
            break;
        default: {
            const bool pairedHigh = c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate();
            if (pairedHigh) {
                out += c;
                out += text.at(++i);
            } else if (u < 0x20 || c.isSurrogate()) {
                // A lone surrogate (from a broken UTF-16 file) has no UTF-8 form.
                out += QStringLiteral("\\u%1").arg(uint(u), 4, 16, QLatin1Char('0'));
            } else {
                out += c;
            }
        }
        }
    }
    out += u'"';
    return out.toUtf8();
}

QByteArray jsonList(const QStringList& names)
{
    QByteArray out = "[";
    for (qsizetype i = 0; i < names.size(); ++i) {
        if (i > 0)
            out += ',';
        out += jsonString(names.at(i));
    }
    return out + ']';
}

QByteArray fileHex(const QString& path)
{
    QByteArray bytes;
    if (UserFile::read(path, &bytes) != UserFile::Status::Regular)
        return "null";
    return '"' + bytes.toHex() + '"';
}

int writeFailed(const QString& path, const QString& error)
{
    return fail(ExitFailed, QStringLiteral("cannot write %1: %2").arg(path, error));
}

// ---- the commands --------------------------------------------------------------------------------

int sectionsCommand(const QString& path, const Arguments&)
{
    printLines(Profile::sectionNames(path));
    return ExitOk;
}

int keysCommand(const QString& path, const Arguments& args)
{
    printLines(Profile::keyNames(path, args.text(1)));
    return ExitOk;
}

int getCommand(const QString& path, const Arguments& args)
{
    const std::optional<QString> value = Profile::readString(path, args.text(1), args.text(2));
    if (!value)
        return ExitNotFound;
    print(value->toUtf8() + '\n');
    return ExitOk;
}

int setCommand(const QString& path, const Arguments& args)
{
    QString error;
    if (Profile::putString(path, args.text(1), args.text(2), args.text(3), &error) == Profile::WriteResult::Failed)
        return writeFailed(path, error);
    return ExitOk;
}

int deleteCommand(const QString& path, const Arguments& args)
{
    QString error;
    const Profile::WriteResult result = args.size() == 2 ? Profile::removeSection(path, args.text(1), &error)
                                                         : Profile::removeKey(path, args.text(1), args.text(2), &error);
    if (result == Profile::WriteResult::Failed)
        return writeFailed(path, error);
    return result == Profile::WriteResult::Written ? ExitOk : ExitNotFound;
}

int runCommand(const QString& path, const Arguments& args)
{
    const std::optional<QString> scriptPath = args.fileName(1);
    if (!scriptPath)
        return ExitFailed;
    QByteArray script;
    const UserFile::Status status = UserFile::read(*scriptPath, &script);
    if (status != UserFile::Status::Regular)
        return fail(ExitFailed, QStringLiteral("cannot read %1: %2").arg(*scriptPath, UserFile::describe(status)));
    QList<Operation> operations;
    QString error;
    if (!parseScript(script, &operations, &error)) {
        fail(ExitUsage, QStringLiteral("%1: %2").arg(*scriptPath, error));
        return ExitUsage;
    }

    int exitCode = ExitOk;
    for (const Operation& o : operations) {
        const QStringList& f = o.fields;
        QByteArray json = "{\"line\":" + QByteArray::number(o.line) + ",\"op\":\"" + o.op.toLatin1() + "\",";
        Profile::WriteResult result = Profile::WriteResult::Unchanged;
        if (o.op == QLatin1String("sections")) {
            json += "\"list\":" + jsonList(Profile::sectionNames(path));
        } else if (o.op == QLatin1String("keys")) {
            json += "\"list\":" + jsonList(Profile::keyNames(path, f.at(0)));
        } else if (o.op == QLatin1String("get")) {
            const std::optional<QString> value = Profile::readString(path, f.at(0), f.at(1));
            json += value ? "\"found\":true,\"text\":" + jsonString(*value) : QByteArray("\"found\":false");
        } else {
            if (o.op == QLatin1String("put"))
                result = Profile::putString(path, f.at(0), f.at(1), f.at(2), &error);
            else if (o.op == QLatin1String("putnull"))
                result = Profile::removeKey(path, f.at(0), f.at(1), &error);
            else
                result = Profile::removeSection(path, f.at(0), &error);
            json += "\"file_hex\":" + fileHex(path);
        }
        print(json + "}\n");
        if (result == Profile::WriteResult::Failed)
            exitCode = writeFailed(path, QStringLiteral("line %1: %2").arg(o.line).arg(error));
    }
    return exitCode;
}

// A command on one INI file: FILE comes first, and a file that cannot be opened stops it before it
// starts.
template <int (*Run)(const QString& path, const Arguments& args)>
int onFile(const Arguments& args)
{
    const std::optional<QString> path = args.fileName(0);
    if (!path)
        return ExitFailed;
    if (const int unreadable = checkReadable(*path))
        return unreadable;
    return Run(*path, args);
}

// A command that reports on files (check, diff): its arguments are names and options as given.
template <int (*Run)(const QStringList& arguments)>
int onNames(const Arguments& args)
{
    QStringList names;
    for (qsizetype i = 0; i < args.size(); ++i) {
        const std::optional<QString> name = args.fileName(i);
        if (!name)
            return ExitFailed;
        names.append(*name);
    }
    return Run(names);
}

// The counts are of all the arguments after the command's name; -1: the command counts them itself.
struct Command
{
    const char* name;
    int minArguments;
    int maxArguments;
    int (*run)(const Arguments& args);
};

const Command Commands[] = {
    {"sections", 1, 1, onFile<sectionsCommand>}, {"keys", 2, 2, onFile<keysCommand>},
    {"get", 3, 3, onFile<getCommand>},           {"set", 4, 4, onFile<setCommand>},
    {"delete", 2, 3, onFile<deleteCommand>},     {"run", 2, 2, onFile<runCommand>},
    {"check", 0, -1, onNames<checkCommand>},     {"diff", 0, -1, onNames<diffCommand>},
};
} // namespace

int main(int argc, char** argv)
{
    // Options stand before the command; after it everything is an argument ("-5" is a value).
    int next = 1;
    for (; next < argc && argv[next][0] == '-'; ++next) {
        const QByteArray option(argv[next]);
        if (option == "--") {
            ++next;
            break;
        }
        if (option == "--help" || option == "-h") {
            print(HelpText);
            return ExitOk;
        }
        if (option == "--version") {
            print("volmar-ini " VOLMAR_VERSION "\n");
            return ExitOk;
        }
        fail(ExitUsage, QStringLiteral("unknown option '%1'").arg(QString::fromLocal8Bit(option)));
        return usage();
    }
    if (next >= argc)
        return usage();
    const QByteArray name(argv[next]);
    if (name == "help") {
        print(HelpText);
        return ExitOk;
    }
    QList<QByteArray> raw;
    for (int i = next + 1; i < argc; ++i)
        raw.append(QByteArray(argv[i]));
    const Arguments args(raw);
    for (const Command& command : Commands) {
        if (name != command.name)
            continue;
        if (command.maxArguments >= 0 && (args.size() < command.minArguments || args.size() > command.maxArguments))
            return usage();
        return command.run(args);
    }
    fail(ExitUsage, QStringLiteral("unknown command '%1'").arg(QString::fromLocal8Bit(name)));
    return usage();
}
