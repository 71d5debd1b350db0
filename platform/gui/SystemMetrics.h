#pragma once

#include <QFont>

namespace platform {

// The system's menu font (the menu entry of the non-client metrics): the font
// the platform gives menus, which is the application font unless the
// platform theme names one of its own.
QFont menuFont();

// Whether the system supports right-to-left (Middle-Eastern) languages, the
// condition under which controls with a right-to-left bidirectional mode lay
// themselves out mirrored: true when the default locale (the process locale
// unless QLocale::setDefault changed it) writes right to left.
bool middleEastEnabled();

} // namespace platform
