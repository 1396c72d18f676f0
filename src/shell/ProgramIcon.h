#pragma once
// The program's icon, drawn in code so that every window, message box and
// task-bar entry shows the same picture as the desktop entry's SVG without an
// image plugin: a dark panel with a trend line and a flame.

#include <QIcon>

namespace tuvik {

QIcon ProgramIcon();

}  // namespace tuvik
