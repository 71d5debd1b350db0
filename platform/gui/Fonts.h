#pragma once

namespace platform {

// Makes the fonts the skins are designed with ("Tahoma", "MS Sans Serif")
// known to Qt when the system has them in a folder fontconfig does not see.
// Safe to call more than once; needs a QGuiApplication.
void registerDesignFonts();

} // namespace platform
