#include "description/paramtreeitem.h"

#include "description/paramdescription.h"
#include "document/inientry.h"

namespace
{

constexpr Qt::ItemFlags EnabledParamFlags = Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                                            Qt::ItemIsDropEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
// A disabled parameter keeps its check box user-checkable, so that it can be switched on again.
constexpr Qt::ItemFlags DisabledParamFlags = EnabledParamFlags & ~Qt::ItemFlags(Qt::ItemIsEditable);
constexpr Qt::ItemFlags ReadOnlyParamFlags = DisabledParamFlags & ~Qt::ItemFlags(Qt::ItemIsUserCheckable);

const QColor Black(0, 0, 0, 255);
const QColor Grey(120, 120, 120, 255);

} // namespace

ParamTreeItem::ParamTreeItem() : QTreeWidgetItem(QTreeWidgetItem::Type), m_pSaved(new IniEntry) {}

ParamTreeItem::~ParamTreeItem()
{
    delete m_pSaved;
}

void ParamTreeItem::setEnabledLook(bool enabled)
{
    if (isReadOnly()) {
        setForeground(0, Black);
        setForeground(1, Black);
        setFlags(ReadOnlyParamFlags);
        return;
    }
    const QColor color = enabled ? Black : Grey;
    setForeground(0, color);
    setForeground(1, color);
    setFlags(enabled ? EnabledParamFlags : DisabledParamFlags);
}

void ParamTreeItem::setChecked(bool checked)
{
    setEnabledLook(checked);
    setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}

bool ParamTreeItem::isReadOnly() const
{
    return m_pEntry && m_pEntry->desc && m_pEntry->desc->noedit != 0;
}

QColor ParamTreeItem::restingValueColor() const
{
    return m_pEntry && !m_pEntry->enabled && !isReadOnly() ? Grey : Black;
}
