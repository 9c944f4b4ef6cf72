#pragma once

#include <QList>
#include <QRect>
#include <QSize>

class ParamsTreeWidget;
class QWidget;

// How the window looks the first time, before the user has sized it and its title column: every
// parameter title readable, and the window large enough to show the tree. Sizes the user leaves
// behind are stored at close and win from then on.
namespace FirstLook
{

// The title column width that shows the title of every visible parameter of the trees (group
// titles run across both columns and do not count); 0 when the trees hold no parameter.
int titleColumnWidth(const QList<ParamsTreeWidget*>& trees);

// The window size at which tree shows all its rows and both columns in full, at least the window's
// present size and at most the available screen area.
QSize windowSize(const QWidget* window, const ParamsTreeWidget* tree, const QRect& available);

} // namespace FirstLook
