#include "description/paramtreeitem.h"

#include "document/inientry.h"

namespace
{

constexpr Qt::ItemFlags EnabledParamFlags = Qt::ItemIsSelectable | Qt::ItemIsEditable | Qt::ItemIsDragEnabled |
                                            Qt::ItemIsDropEnabled | Qt::ItemIsUserCheckable | Qt::ItemIsEnabled;
// A disabled parameter keeps its check box user-checkable, so that it can be switched on again.
constexpr Qt::ItemFlags DisabledParamFlags = EnabledParamFlags & ~Qt::ItemFlags(Qt::ItemIsEditable);

} // namespace

ParamTreeItem::ParamTreeItem() : QTreeWidgetItem(QTreeWidgetItem::Type), m_pSaved(new IniEntry) {}

ParamTreeItem::~ParamTreeItem()
{
    delete m_pSaved;
}

void ParamTreeItem::setEnabledLook(bool enabled)
{
    const QColor color = enabled ? QColor(0, 0, 0, 255) : QColor(120, 120, 120, 255);
    setForeground(0, color);
    setForeground(1, color);
    setFlags(enabled ? EnabledParamFlags : DisabledParamFlags);
}

void ParamTreeItem::setChecked(bool checked)
{
    setEnabledLook(checked);
    setCheckState(0, checked ? Qt::Checked : Qt::Unchecked);
}
