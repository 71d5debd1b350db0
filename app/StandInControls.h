#pragma once

// Plain stand-ins for the skinned controls of the main window, registered
// under the skinned classes' names until those classes exist. They carry the
// properties the form description stores and the behaviour the window and the
// run rely on: a frame and panels that host controls, a push button with a
// click event and an enabled state, radio buttons with a checked state shared
// within their parent, captions on the frame and the button.

#include "platform/Colors.h"
#include "platform/Component.h"

#include <QImage>
#include <QLabel>
#include <QPushButton>
#include <QRadioButton>
#include <QWidget>

#include <memory>
#include <vector>

namespace standin {
Q_NAMESPACE

enum TvexUIStyle { FromThemeFile, MacOS, WinXP, DeepBlue, Protein, BlueGlass };
Q_ENUM_NS(TvexUIStyle)
enum TvexTitleBarBtnType { vexMax, vexMin, vexClose, vexHelp, vexControlBox, vexCustom };
Q_ENUM_NS(TvexTitleBarBtnType)
enum TvexTitleBarAlign { vexLeft, vexRight, vexClient };
Q_ENUM_NS(TvexTitleBarAlign)
enum TvexDrawStyle { vexNormal, vexStretch, vexTile };
Q_ENUM_NS(TvexDrawStyle)
enum TButtonLayout { blGlyphLeft, blGlyphRight, blGlyphTop, blGlyphBottom };
Q_ENUM_NS(TButtonLayout)

// One title-bar button or section as stored; a stand-in only keeps the values.
class TitleBarItem : public QObject
{
    Q_OBJECT
    Q_PROPERTY(standin::TvexUIStyle UIStyle MEMBER UIStyle)
    Q_PROPERTY(standin::TvexTitleBarBtnType ButtonType MEMBER ButtonType)
    Q_PROPERTY(bool Transparent MEMBER Transparent)
    Q_PROPERTY(int Top MEMBER Top)
    Q_PROPERTY(bool Visible MEMBER Visible)
    Q_PROPERTY(QImage PicNormal MEMBER PicNormal)
    Q_PROPERTY(QImage PicMouseOn MEMBER PicMouseOn)
    Q_PROPERTY(QImage PicMouseDown MEMBER PicMouseDown)
    Q_PROPERTY(bool AutoSize MEMBER AutoSize)
    Q_PROPERTY(int Width MEMBER Width)
    Q_PROPERTY(standin::TvexTitleBarAlign Align MEMBER Align)
    Q_PROPERTY(QImage Picture MEMBER Picture)
    Q_PROPERTY(bool Stretch MEMBER Stretch)
public:
    TvexUIStyle UIStyle = DeepBlue;
    TvexTitleBarBtnType ButtonType = vexCustom;
    bool Transparent = false;
    int Top = 2;
    bool Visible = true;
    QImage PicNormal, PicMouseOn, PicMouseDown, Picture;
    bool AutoSize = false;
    int Width = 10;
    TvexTitleBarAlign Align = vexLeft;
    bool Stretch = false;
};

class TitleBarItems : public QObject
{
    Q_OBJECT
public:
    using QObject::QObject;
    Q_INVOKABLE QObject *add();
    int count() const { return int(m_items.size()); }

private:
    std::vector<std::unique_ptr<TitleBarItem>> m_items;
};

class TvexForm : public QWidget, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(standin::TvexUIStyle UIStyle MEMBER m_style)
    Q_PROPERTY(bool TitleBarCustom MEMBER m_bool)
    Q_PROPERTY(bool UIStyleAutoUpdateSub MEMBER m_bool)
    Q_PROPERTY(int BorderColor MEMBER m_int)
    Q_PROPERTY(int BorderWidth MEMBER m_int)
    Q_PROPERTY(int Color READ color WRITE setColor)
    Q_PROPERTY(QString Caption READ caption WRITE setCaption)
    Q_PROPERTY(bool TitleBarDrawAppIcon MEMBER m_bool)
    Q_PROPERTY(int MenuBarColor MEMBER m_int)
    Q_PROPERTY(int MenuBarHeight MEMBER m_int)
    Q_PROPERTY(int RoundCorner MEMBER m_int)
    Q_PROPERTY(int RoundCornerBottom MEMBER m_int)
    Q_PROPERTY(QObject *TitleBarButtons READ titleBarButtons)
    Q_PROPERTY(QObject *TitleBarSections READ titleBarSections)
public:
    explicit TvexForm(QWidget *parent = nullptr);

    QString caption() const;
    void setCaption(const QString &caption);
    int color() const { return m_color; }
    void setColor(int color);
    QObject *titleBarButtons() { return m_buttons; }
    QObject *titleBarSections() { return m_sections; }

private:
    QLabel *m_titleBar;
    TitleBarItems *m_buttons;
    TitleBarItems *m_sections;
    TvexUIStyle m_style = DeepBlue;
    bool m_bool = false;
    int m_int = 0;
    int m_color = platform::clBtnFace;
};

class TvexImagePanel : public QWidget, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(bool Transparent MEMBER m_transparent)
    Q_PROPERTY(bool AutoSize MEMBER m_autoSize)
    Q_PROPERTY(standin::TvexDrawStyle DrawStyle MEMBER m_drawStyle)
public:
    using QWidget::QWidget;

private:
    bool m_transparent = false;
    bool m_autoSize = false;
    TvexDrawStyle m_drawStyle = vexNormal;
};

class TvexButton : public QPushButton, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(standin::TvexUIStyle UIStyle MEMBER m_style)
    Q_PROPERTY(bool AutoSize MEMBER m_bool)
    Q_PROPERTY(bool Transparent MEMBER m_bool)
    Q_PROPERTY(int FocusedRectMargin MEMBER m_int)
    Q_PROPERTY(standin::TButtonLayout Layout MEMBER m_layout)
    Q_PROPERTY(int Spacing MEMBER m_int)
    Q_PROPERTY(int MouseContinuouslyDownInterval MEMBER m_int)
public:
    explicit TvexButton(QWidget *parent = nullptr);

signals:
    void OnClick(QObject *Sender);

private:
    TvexUIStyle m_style = DeepBlue;
    bool m_bool = false;
    int m_int = 0;
    TButtonLayout m_layout = blGlyphLeft;
};

class TvexRadioButton : public QRadioButton, public platform::Component
{
    Q_OBJECT
    Q_PROPERTY(QString Caption READ text WRITE setText)
    Q_PROPERTY(bool Checked READ isChecked WRITE setChecked)
    Q_PROPERTY(standin::TvexUIStyle UIStyle MEMBER m_style)
    Q_PROPERTY(bool AutoSize MEMBER m_bool)
    Q_PROPERTY(bool Transparent MEMBER m_bool)
    Q_PROPERTY(bool TabStop MEMBER m_bool)
    Q_PROPERTY(int GroupIndex MEMBER m_int)
public:
    using QRadioButton::QRadioButton;

private:
    TvexUIStyle m_style = DeepBlue;
    bool m_bool = false;
    int m_int = 0;
};

} // namespace standin
