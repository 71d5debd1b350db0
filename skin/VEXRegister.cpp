#include "skin/VEXRegister.h"

#include "platform/gui/FormLoader.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXMainMenu.h"
#include "skin/VEXMgr.h"
#include "skin/VEXPopupMenu.h"

namespace vex {

void registerSkinClasses(platform::FormLoader &loader)
{
    loader.registerClass<TvexForm>(QStringLiteral("TvexForm"));
    loader.registerClass<TvexFileTheme>(QStringLiteral("TvexFileTheme"));
    loader.registerClass<TvexImagePanel>(QStringLiteral("TvexImagePanel"));
    loader.registerClass<TvexButton>(QStringLiteral("TvexButton"));
    loader.registerClass<TvexCheckBox>(QStringLiteral("TvexCheckBox"));
    loader.registerClass<TvexRadioButton>(QStringLiteral("TvexRadioButton"));
    loader.registerClass<TvexMainMenu>(QStringLiteral("TvexMainMenu"));
    loader.registerClass<TvexPopupMenu>(QStringLiteral("TvexPopupMenu"));
    loader.registerClass<TvexMenuAction>(QStringLiteral("TMenuItem"));
}

} // namespace vex
