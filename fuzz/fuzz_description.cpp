// Any bytes as a ".vlmr" description, read, written back and read again in memory, with what the
// window relies on checked on every input:
// - reading is repeatable;
// - writing the chosen program back keeps every parameter, group and setting, the program reads back
//   exactly as written, and the bytes it replaces hold no markup of another element (no "<");
// - writing it again changes nothing;
// - writing a group's state keeps every parameter and every group title.
//
// The input: a control byte and a value seed at the end, the rest is the description.

#include "description/descriptionmodel.h"
#include "description/descriptionwriter.h"

#include <fuzzer/FuzzedDataProvider.h>

#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>

namespace
{
[[noreturn]] void broken(const char* property, const QString& detail = QString())
{
    std::fprintf(stderr, "property broken: %s %s\n", property, detail.toUtf8().constData());
    std::abort();
}

// The first entry in which two lists differ, for the report of a broken property.
QString firstDifference(const QStringList& a, const QStringList& b)
{
    for (qsizetype i = 0; i < qMax(a.size(), b.size()); ++i)
        if (a.value(i) != b.value(i))
            return QStringLiteral("#%1: [%2] became [%3]").arg(i).arg(a.value(i), b.value(i));
    return QString();
}

struct Model
{
    bool read = false;
    QStringList params;
    QStringList groups;
    QString settings;
    QString curProg;

    explicit Model(const QByteArray& bytes)
    {
        DescriptionModel m;
        QString lastDir;
        const DescriptionReadResult r = m.readDescriptionFrom(bytes, &lastDir);
        read = r.read;
        if (!read)
            return;
        for (const ParamDescription* p : std::as_const(m.m_params)) {
            QStringList items;
            for (const ListItem* item : p->items)
                items << item->val + '=' + item->descr;
            params << QStringList{p->title,
                                  p->section,
                                  p->key,
                                  p->comment,
                                  p->groupTitle,
                                  QString::number(p->type),
                                  QString::number(p->invisible),
                                  QString::number(p->noedit),
                                  QString::number(p->intMin),
                                  QString::number(p->intMax),
                                  QString::number(p->intStep),
                                  QString::number(p->dblMin, 'g', 17),
                                  QString::number(p->dblMax, 'g', 17),
                                  QString::number(p->dblStep, 'g', 17),
                                  p->pattern,
                                  items.join('|')}
                          .join('/');
        }
        for (const GroupDescription* g : std::as_const(m.m_groups))
            groups << g->title + '/' + g->color().name(QColor::HexArgb) + QString::number(g->color().isValid()) + '/' +
                          QString::number(g->open);
        settings = QStringList{QString::number(r.check),
                               QString::number(m.m_nTabs),
                               QString::number(m.m_nDefList),
                               QString::number(r.auxButton),
                               m.m_sAuxTitle,
                               QString::number(m.m_nAuxTimeout),
                               m.m_sAuxCmdLine,
                               m.m_progList.join('|')}
                       .join('/');
        curProg = m.m_sCurProg;
    }

    bool operator==(const Model& o) const
    {
        return read == o.read && params == o.params && groups == o.groups && settings == o.settings &&
               curProg == o.curProg;
    }

private:
    Model() = default;
};

// Valid XML characters only: anything else could not be written into an attribute at all.
QString valueFrom(const std::string& seed)
{
    static const QStringList alphabet =
        QStringLiteral("a b 0 1 . - _ / \\ \" ' < > & ; = \t \r \n ж Ё € ✓ 😀").split(QLatin1Char(' '));
    QString value;
    for (unsigned char c : seed)
        value += c % 8 == 7 ? QStringLiteral(" ") : alphabet.at(c % alphabet.size());
    return value;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    FuzzedDataProvider input(data, size);
    const uint8_t what = input.ConsumeIntegral<uint8_t>();
    const std::string seed = input.ConsumeRandomLengthString(24);
    const std::vector<uint8_t> rest = input.ConsumeRemainingBytes<uint8_t>();
    const QByteArray bytes(reinterpret_cast<const char*>(rest.data()), qsizetype(rest.size()));

    const Model before(bytes);
    if (!(Model(bytes) == before))
        broken("two reads differ");

    if (what & 1) {
        const QString title = before.groups.value(what % qMax<qsizetype>(before.groups.size(), 1)).section('/', 0, 0);
        const std::optional<QByteArray> written = DescriptionWriter::withGroupState(bytes, title, what & 2, 10, 20, 30);
        if (!written)
            return 0;
        const Model after(*written);
        if (before.read && after.read) {
            QStringList titles, titlesAfter;
            for (const QString& g : before.groups)
                titles << g.section('/', 0, 0);
            for (const QString& g : after.groups)
                titlesAfter << g.section('/', 0, 0);
            if (after.params != before.params || titlesAfter != titles)
                broken("a group's state changed parameters or groups");
        }
        return 0;
    }

    const QString value = valueFrom(seed);
    const std::optional<QByteArray> written = DescriptionWriter::withAttribute(bytes, "curprog", "cmdline", value);
    if (!written || !before.read)
        return 0;
    const Model after(*written);
    const Model& expected = before;
    if (!after.read)
        broken("the written description does not read");
    if (after.params != expected.params)
        broken("parameters changed", firstDifference(expected.params, after.params));
    if (after.groups != expected.groups)
        broken("groups changed", firstDifference(expected.groups, after.groups));
    if (after.settings != expected.settings)
        broken("settings changed");
    if (after.curProg != value)
        broken("the program does not read back", value + " / " + after.curProg);
    // An 8-bit file, where "<" is one byte: whatever was replaced lies inside one tag or between tags.
    if (!bytes.startsWith("\xFF\xFE") && !bytes.startsWith("\xFE\xFF")) {
        const qsizetype shorter = qMin(bytes.size(), written->size());
        qsizetype prefix = 0;
        while (prefix < shorter && bytes.at(prefix) == written->at(prefix))
            ++prefix;
        qsizetype suffix = 0;
        while (suffix < shorter - prefix &&
               bytes.at(bytes.size() - 1 - suffix) == written->at(written->size() - 1 - suffix))
            ++suffix;
        if (QByteArrayView(bytes).sliced(prefix, bytes.size() - prefix - suffix).contains('<'))
            broken("the write replaced markup of another element");
    }
    const std::optional<QByteArray> twice = DescriptionWriter::withAttribute(*written, "curprog", "cmdline", value);
    if (!twice || *twice != *written)
        broken("writing the same program again changed the file");
    return 0;
}
