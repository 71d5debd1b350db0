#pragma once

// Shared drawing and lookup routines of the skin toolkit.
//
// How a skinned control uses them:
//  - Pictures are QImage in Format_RGB32 (no alpha). Magenta 0xFF00FF marks
//    pixels that the drawing routines leave out where they say so.
//  - Colours are platform::TColor (0x00BBGGRR, negative = system colour);
//    convert with platform::toQColor() when painting.
//  - Every lookup first resolves the control's style against its file theme:
//        vex::TvexUIStyle style = m_uiStyle;
//        QImage frame;
//        if (vex::UseFileTheme(m_fileTheme, style))        // VEXMgr.h
//            m_fileTheme->GetImageFrame(vex::ButtonImage, &frame, 2, 3);
//        else
//            vex::GetBuiltInBitmap(style, vex::ButtonImage, &frame, 2, 3);
//    (UseFileTheme turns FromThemeFile without a loaded theme into DeepBlue.)
//    vex::ThemeImage/ThemeImageFrame/ThemeColor/ThemeInt/ThemeBool in VEXMgr.h
//    do exactly this in one call.
//  - A control keeps its FileTheme in a vex::TvexFileThemeLink (VEXMgr.h),
//    which clears the reference and runs the control's fallback (take
//    DeepBlue) when the theme is destroyed.
//  - Paint into a QImage back buffer with a QPainter and copy it in one
//    drawImage(); DrawParentBackground() fills the buffer with what the parent
//    shows under the control. Pictures are loaded anew at every paint.
//  - The style enum lives in namespace vex, whose meta-object is declared in
//    VEXThemes.h (Q_NAMESPACE may appear once per namespace): enums of other
//    areas that the form loader sets by name go into their class (Q_ENUM) or
//    into a namespace of their own (Q_NAMESPACE + Q_ENUM_NS).
//  - Rectangles follow QRect. Where a routine treats the right and bottom
//    edges specially, it says so in terms of left + width and top + height.

#include "skin/VEXThemes.h"

#include <QImage>
#include <QObject>
#include <QPainter>
#include <QPoint>
#include <QRect>
#include <QWidget>

namespace vex {

class TvexFileTheme;
class WindowStatePolicy;

// Cuts frame frameIndex (1-based) out of a horizontal strip of frameCount
// frames of width source.width() / frameCount; leftover columns at the right
// are never used. target becomes that frame (Format_RGB32). A frameCount below
// 1 or an empty source gives a null target; an index outside 1..frameCount
// gives a frame of the same size taken from outside the strip (black).
void GetFrame(const QImage &source, QImage &target, int frameCount, int frameIndex);

// Paints what control's parent shows under the control into canvas (in the
// control's coordinates): the parent's background and its own paint, not its
// other children. Nothing when the control has no parent.
void DrawParentBackground(QPainter &canvas, QWidget *control);

// Repeats picture from the canvas origin (not from rect's corner) over rect's
// size plus up to one more tile in each direction. Opaque.
void TileDraw(QPainter &canvas, const QImage &picture, const QRect &rect);

// Draws bitmap over rect as four unscaled corners (cropped to the target's
// halves when the target is small), four stretched edges and a stretched
// centre. Corners key out magenta only when transparentCorners is true;
// edges and centre always do. rect's top-left is the drawing origin.
void DrawNineSlice(const QImage &bitmap, QPainter &canvas, const QRect &rect, bool transparentCorners);

// Draws a three-frame strip: left cap at rect's left, right cap at its right,
// the middle frame (keyed) stretched opaque between them. The key colour is
// the bitmap's top-left pixel (keyFromTop) or bottom-left pixel when
// useCornerKey, else magenta.
void DrawThreeSlice(const QImage &bitmap, QPainter &canvas, const QRect &rect, bool keyFromTop, bool useCornerKey);

// A copy of picture (Format_ARGB32) in which every pixel of colour key,
// whatever its alpha, is fully transparent.
QImage KeyedOut(const QImage &picture, QRgb key);

// Unchecks every checked member of candidates (qobject_cast to T) other than
// keep for which sameGroup(member) holds: the exclusivity of a group of
// radio controls or radio items.
template <typename T, typename Objects, typename SameGroup>
void UncheckGroupMates(const Objects &candidates, const T *keep, SameGroup sameGroup)
{
    for (auto *candidate : candidates) {
        auto *mate = qobject_cast<T *>(candidate);
        if (mate && mate != keep && mate->Checked() && sameGroup(*mate))
            mate->setChecked(false);
    }
}

// What most property setters of the skinned widgets do: store the value, let
// the widget follow it (then: fit its size, take a style's settings), and
// repaint the widget.
template <typename T, typename Then>
void StoreAndRepaint(QWidget *widget, T &field, const T &value, Then &&then)
{
    field = value;
    then();
    widget->update();
}
template <typename T>
void StoreAndRepaint(QWidget *widget, T &field, const T &value)
{
    StoreAndRepaint(widget, field, value, [] {});
}

// Turns bitmap by half a turn in place.
void Rotate180(QImage &bitmap);

// True when left <= x <= left + width and top <= y <= top + height: the
// edges just past the rectangle count as inside.
bool InRect(const QPoint &point, const QRect &rect);
bool InRect(int x, int y, const QRect &rect);

// True for a text of blanks and control characters only: a caption with
// nothing worth drawing.
bool IsBlankText(const QString &text);

// What a skinned frame (TvexForm) shows of itself to the rest of the toolkit,
// which knows frames by this interface rather than by their class: the
// controls on its form take its style, a title bar knows it sits on one, a
// file theme it uses makes it redraw.
class TvexSkinnedFrame
{
public:
    virtual ~TvexSkinnedFrame() = default;
    virtual TvexUIStyle frameStyle() const = 0;
    // How the frame maximises, restores and minimises its window, for the
    // title bar on it; null while the frame holds no window.
    virtual WindowStatePolicy *HostWindowStates() const { return nullptr; }
};

// The frame behind object, or none when object is no skinned frame.
TvexSkinnedFrame *SkinnedFrameOf(QObject *object);

// The style a new skinned control takes from its owner: the style of the
// first direct child widget of owner that is a skinned frame, DeepBlue when
// owner is not a form (a top-level widget) or holds none. A control created
// on a form passes that form (platform::ownerForm(parent)); a frame's own
// title bar passes the frame, which is not a form.
TvexUIStyle GetOwnerFormStyle(QObject *owner);

// For each widget placed directly on frame (not deeper), in order, that
// publishes both FileTheme and UIStyle: sets FileTheme to fileTheme, then
// UIStyle to style, by property name.
void ApplyThemeToChildren(QObject *frame, TvexUIStyle style, TvexFileTheme *fileTheme);

// True when the object's class publishes a property of that name.
bool HasProperty(const QObject *component, const char *name);

// True when the object's class, or a base class, has that class name; a
// namespace qualifier on either side is ignored ("TvexForm" matches
// "vex::TvexForm").
bool InheritsClass(const QObject *object, const char *className);
// The object's class name without namespace qualifier.
QString ClassName(const QObject *object);

// Whether a form counts as active for drawing its frame (main form, MDI
// parent and child, application active).
bool IsFormActive(QWidget *form);

// The available geometry of the screen nearest to the main form; of the
// primary screen when there is no main form.
QRect GetWorkArea();

// Sets the control's left, top, width and height, one after another.
void SetControlRect(QWidget *control, const QRect &rect);

// A caption as it shows: "&" marks the next character, "&&" is one "&".
QString WithoutAccessMarks(const QString &caption);

// text with a thin space wherever a Latin letter or digit meets a Han,
// kana or hangul character: at small bold sizes the two scripts' glyphs
// would otherwise touch.
QString SpacedBetweenScripts(const QString &text);

// The contrast ratio of two colours as readability guidelines define it,
// from 1 (the same luminance) to 21 (black and white).
double ContrastRatio(const QColor &a, const QColor &b);

} // namespace vex

Q_DECLARE_INTERFACE(vex::TvexSkinnedFrame, "tabulon.skin.SkinnedFrame/1")
