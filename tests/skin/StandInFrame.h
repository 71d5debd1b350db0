#pragma once

// A stand-in for the skinned frame where a test needs only what the toolkit
// asks of a frame (its style, its theme), not a frame that takes over its
// host window.

#include "skin/VEXMgr.h"
#include "skin/VEXPublic.h"

#include <QWidget>

namespace skintest {

class StandInFrame : public QWidget, public vex::TvexSkinnedFrame
{
    Q_OBJECT
    Q_INTERFACES(vex::TvexSkinnedFrame)
    Q_PROPERTY(vex::TvexUIStyle UIStyle READ UIStyle WRITE setUIStyle)
    Q_PROPERTY(vex::TvexFileTheme *FileTheme READ FileTheme WRITE setFileTheme)

public:
    using QWidget::QWidget;
    vex::TvexUIStyle UIStyle() const { return m_style; }
    void setUIStyle(vex::TvexUIStyle style) { m_style = style; }
    vex::TvexFileTheme *FileTheme() const { return m_theme; }
    void setFileTheme(vex::TvexFileTheme *theme) { m_theme.set(theme); }
    vex::TvexUIStyle frameStyle() const override { return m_style; }

private:
    vex::TvexUIStyle m_style = vex::TvexUIStyle::DeepBlue;
    vex::TvexFileThemeLink m_theme{this, [this] { m_style = vex::TvexUIStyle::DeepBlue; }};
};

} // namespace skintest
