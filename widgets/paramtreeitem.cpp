#include "widgets/paramtreeitem.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

namespace
{

constexpr Qt::ItemFlags EnabledParamFlags = Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                                            Qt::ItemIsDropEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
// A disabled parameter keeps its check box user-checkable, so that it can be switched on again.
constexpr Qt::ItemFlags DisabledParamFlags = EnabledParamFlags & ~Qt::ItemFlags(Qt::ItemIsEditable);
constexpr Qt::ItemFlags ReadOnlyParamFlags = DisabledParamFlags & ~Qt::ItemFlags(Qt::ItemIsUserCheckable);

const QColor ReadOnlyBackground(236, 233, 216, 255);
const QColor LimitWarningBackground(255, 214, 153, 255);
const EntryState NothingSaved;

} // namespace

ParamTreeItem::ParamTreeItem() : QTreeWidgetItem(QTreeWidgetItem::Type) {}

QColor ParamTreeItem::toneColor(RowLook::Tone tone)
{
    switch (tone) {
    case RowLook::Tone::Dimmed:
        return QColor(120, 120, 120, 255);
    case RowLook::Tone::Changed:
        return QColor(255, 0, 0, 255);
    default:
        return QColor(0, 0, 0, 255);
    }
}

void ParamTreeItem::setEnabledLook(bool enabled)
{
    if (isReadOnly()) {
        setForeground(0, toneColor(RowLook::Tone::Normal));
        setForeground(1, toneColor(RowLook::Tone::Normal));
        setFlags(ReadOnlyParamFlags);
        return;
    }
    const QColor color = toneColor(enabled ? RowLook::Tone::Normal : RowLook::Tone::Dimmed);
    setForeground(0, color);
    setForeground(1, color);
    setFlags(enabled ? EnabledParamFlags : DisabledParamFlags);
}

void ParamTreeItem::setChecked(bool checked)
{
    setEnabledLook(checked);
    setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

void ParamTreeItem::refreshLook(bool keyNames)
{
    if (m_bGroup || !m_pEntry)
        return;
    setText(0, RowLook::title(*m_pEntry, keyNames));
    setHidden(RowLook::isHidden(*m_pEntry, keyNames));
    const RowLook::Tone value = RowLook::valueTone(*m_pEntry, m_pSaved ? *m_pSaved : NothingSaved);
    if (value != RowLook::Tone::Changed && isReadOnly()) {
        setForeground(0, toneColor(RowLook::Tone::Normal));
        setBackground(1, ReadOnlyBackground);
    }
    setForeground(1, toneColor(value));
    showLimits();
}

void ParamTreeItem::showEntry(bool checkMode, bool keyNames)
{
    if (m_bGroup || !m_pEntry)
        return;
    setText(1, RowLook::cellText(*m_pEntry));
    if (checkMode && !isReadOnly())
        setChecked(m_pEntry->enabled);
    else
        setEnabledLook(m_pEntry->enabled);
    refreshLook(keyNames);
}

bool ParamTreeItem::markChange()
{
    const bool changed = m_pEntry && m_pSaved && RowLook::isValueChanged(*m_pEntry, *m_pSaved);
    setForeground(1, toneColor(changed ? RowLook::Tone::Changed : RowLook::Tone::Normal));
    showLimits();
    return changed;
}

void ParamTreeItem::showLimits()
{
    if (!m_pEntry)
        return;
    const QString note = RowLook::limitNote(*m_pEntry);
    // Files that disagree have no one value to break a limit: their values are what the tip lists.
    const QString tip = note.isEmpty() ? RowLook::fileValuesNote(*m_pEntry) : note;
    // Most rows keep their look: a row of a tree in view announces every change it takes.
    if (note == m_sLimitNote && tip == m_sToolTip)
        return;
    if (note != m_sLimitNote) {
        m_sLimitNote = note;
        if (!note.isEmpty())
            setBackground(1, LimitWarningBackground);
        else if (isReadOnly())
            setBackground(1, ReadOnlyBackground);
        else
            setData(1, Qt::BackgroundRole, QVariant());
    }
    m_sToolTip = tip;
    setToolTip(1, tip);
}

bool ParamTreeItem::isReadOnly() const
{
    return m_pEntry && RowLook::isReadOnly(*m_pEntry);
}

QColor ParamTreeItem::restingValueColor() const
{
    return toneColor(m_pEntry ? RowLook::restingTone(*m_pEntry) : RowLook::Tone::Normal);
}
