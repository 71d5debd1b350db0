#pragma once

// A plain stand-in for the skinned frame of the main window, registered under
// the frame's class name until that class exists. It carries the properties
// the form description stores and what the window relies on: it hosts the
// controls and shows the caption.

#include "platform/Colors.h"
#include "platform/Component.h"

#include <QImage>
#include <QLabel>
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

} // namespace standin
