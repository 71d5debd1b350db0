#pragma once

namespace platform {
class FormLoader;
}

namespace vex {

// Makes every class of the skin toolkit that a form description may name
// known to loader, under its stored name: the frame, the file theme, the
// picture panel, the push button, the check and radio boxes, the main and
// popup menus and their items ("TMenuItem").
void registerSkinClasses(platform::FormLoader &loader);

} // namespace vex
