#pragma once

#include <QRect>
#include <QString>

// Where the visualiser stand-in opens. Without a window manager (a test display, a kiosk) nobody
// places a new window, and at the screen's corner it would cover the editor that started it.
namespace WindowPlacement
{
// The environment variable in which the editor passes its window's frame, "x,y,width,height" in
// screen coordinates. A real visualiser ignores it.
inline const char* const EditorVariable = "VOLMAR_GEOMETRY";

// The editor's frame from "x,y,width,height"; an invalid rectangle for anything else.
QRect parseFrame(const QString& text);

// Beside the editor's frame, on the side of the screen area where the largest window fits, at most
// `preferred` and at least `minimum` large, its top (or left) edge in line with the editor's. With no
// room on any side, or with the editor's place unknown, at the right edge of the area.
QRect besideEditor(const QRect& editor, const QRect& area, const QSize& preferred, const QSize& minimum);
} // namespace WindowPlacement
