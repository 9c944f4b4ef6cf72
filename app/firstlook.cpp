#include "app/firstlook.h"

#include "widgets/paramstreewidget.h"

#include <QHeaderView>
#include <QScrollBar>
#include <QStyleOptionViewItem>

namespace
{
// Beyond the widest text: the cell's margins and a little air before the grid line.
constexpr int TextRoom = 12;
// A value column never narrower than the tree's own default.
constexpr int MinValueWidth = 250;

// Calls f(row) for every parameter row the user can see: not hidden, under an expanded group.
template <class F>
void forVisibleParameters(const ParamsTreeWidget* tree, F f)
{
    for (int g = 0; g < tree->topLevelItemCount(); ++g) {
        const QTreeWidgetItem* group = tree->topLevelItem(g);
        if (group->isHidden() || !group->isExpanded())
            continue;
        for (int c = 0; c < group->childCount(); ++c)
            if (!group->child(c)->isHidden())
                f(group->child(c));
    }
}

int textWidth(const ParamsTreeWidget* tree, const QTreeWidgetItem* row, int column)
{
    QStyleOptionViewItem option;
    option.initFrom(tree);
    option.font = tree->font();
    option.fontMetrics = tree->fontMetrics();
    option.decorationSize = tree->iconSize().isValid() ? tree->iconSize() : QSize(16, 16);
    return tree->itemDelegate()->sizeHint(option, tree->indexFromItem(row, column)).width();
}

int visibleRowCount(const ParamsTreeWidget* tree)
{
    int rows = 0;
    for (int g = 0; g < tree->topLevelItemCount(); ++g)
        if (!tree->topLevelItem(g)->isHidden())
            ++rows;
    forVisibleParameters(tree, [&](const QTreeWidgetItem*) { ++rows; });
    return rows;
}
} // namespace

namespace FirstLook
{

int titleColumnWidth(const QList<ParamsTreeWidget*>& trees)
{
    int width = 0;
    for (const ParamsTreeWidget* tree : trees)
        forVisibleParameters(tree, [&](const QTreeWidgetItem* row) {
            width = qMax(width, tree->indentation() + textWidth(tree, row, ParamsTreeWidget::TitleColumn) + TextRoom);
        });
    return width;
}

QSize windowSize(const QWidget* window, const ParamsTreeWidget* tree, const QRect& available)
{
    const int rows = visibleRowCount(tree);
    if (rows == 0)
        return window->size();
    int valueWidth = MinValueWidth;
    forVisibleParameters(tree, [&](const QTreeWidgetItem* row) {
        valueWidth = qMax(valueWidth, textWidth(tree, row, ParamsTreeWidget::ValueColumn) + TextRoom);
    });
    const int rowHeight = tree->visualItemRect(tree->topLevelItem(0)).height();
    const QSize wanted(tree->columnWidth(ParamsTreeWidget::TitleColumn) + valueWidth +
                           tree->verticalScrollBar()->sizeHint().width(),
                       tree->header()->height() + rows * rowHeight);
    const QSize grow = wanted - tree->viewport()->size();
    // The frame around the window takes its share of the screen too.
    const QSize frame = window->frameGeometry().size() - window->size();
    return window->size().expandedTo(window->size() + grow).boundedTo(available.size() - frame);
}

} // namespace FirstLook
