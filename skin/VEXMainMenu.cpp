#include "skin/VEXMainMenu.h"

#include "platform/gui/SystemMetrics.h"
#include "skin/VEXForm.h"
#include "skin/VEXFormMenuBar.h"
#include "skin/VEXPublic.h"

#include <QActionEvent>
#include <QMainWindow>
#include <QPainter>

namespace vex {

// ---------------------------------------------------------------------------
// TvexMainMenu

TvexMainMenu::TvexMainMenu(QWidget *owner)
    : TvexMenuComponent(owner), m_checkMarks(std::make_unique<platform::TImageList>())
{
    m_checkMarks->setTransparentColor(platform::clWhite);
    m_checkMarks->Add(LoadSkinBitmap(QStringLiteral("MENU_CHECKED")));
    ImagesChanged();
    look().UseFor(this);
    look().ApplyStyle(GetOwnerFormStyle(platform::ownerForm(owner)));
    attachToFrame();
}

TvexMainMenu::~TvexMainMenu()
{
    markDestroying();
    // Removing the menu takes the frame's bar with it.
    if (TvexForm *frame = m_frame; frame && frame->Menu() == this)
        frame->DropMenuBar();
    // The item style goes with the look; the drop-downs fall back to the
    // application style before it does.
    for (const QPointer<QMenu> &menu : std::as_const(m_watched)) {
        if (menu) {
            menu->removeEventFilter(this);
            menu->setStyle(nullptr);
        }
    }
    setStyle(nullptr);
}

void TvexMainMenu::attachToFrame()
{
    QWidget *form = platform::ownerForm(parent());
    if (!form || !platform::isForm(form))
        return;
    // The frame's bar shows the menu; the form's own stays out of sight.
    if (auto *window = qobject_cast<QMainWindow *>(form)) {
        if (QWidget *bar = window->menuWidget())
            bar->hide();
    }
    for (QObject *child : form->children()) {
        if (auto *frame = qobject_cast<TvexForm *>(child)) {
            frame->setMenu(this);
            return;
        }
    }
}

platform::TImageList *TvexMainMenu::imageList() const
{
    return Images() ? Images() : m_checkMarks.get();
}

void TvexMainMenu::ImagesChanged()
{
    look().setImages(imageList()->images());
    look().setCheckMark(m_checkMarks->image(0));
}

void TvexMainMenu::setFileTheme(TvexFileTheme *theme)
{
    look().setFileTheme(theme);
    repaintBar();
}

void TvexMainMenu::setUIStyle(TvexUIStyle style)
{
    look().setUIStyle(style);
    repaintBar();
}

void TvexMainMenu::repaintBar()
{
    // The bar takes its colours from the menu while it paints.
    if (m_frame && m_frame->MenuBar())
        m_frame->MenuBar()->update();
}

void TvexMainMenu::setUseSystemFont(bool use)
{
    look().setUseSystemFont(use);
    if (m_frame)
        m_frame->UpdateMenuBarFont();
}

void TvexMainMenu::AttachItemHandlers(QAction *item)
{
    look().AttachItemHandlers(item);
    watchItem(item);
}

QSize TvexMainMenu::MeasureMenuItem(const QAction *item, const QFontMetrics &canvasFont) const
{
    return look().MeasureMenuItem(TvexMenuItem::of(item, item->menu() ? item->menu() : this), canvasFont);
}

void TvexMainMenu::DrawMenuItem(const QAction *item, QPainter &canvas, const QRect &rect, bool highlighted) const
{
    const bool rightToLeft = layoutDirection() == Qt::RightToLeft && platform::middleEastEnabled();
    look().DrawMenuItem(TvexMenuItem::of(item, this), canvas, rect, highlighted, rightToLeft);
}

void TvexMainMenu::loaded()
{
    platform::Component::loaded();
    for (QAction *item : actions())
        AttachItemHandlers(item);
    if (m_frame)
        m_frame->RebuildMenuBar();
}

void TvexMainMenu::watchItem(QAction *item)
{
    QMenu *sub = item ? item->menu() : nullptr;
    if (!sub || m_watched.contains(sub))
        return;
    m_watched.append(sub);
    sub->installEventFilter(this);
    for (QAction *action : sub->actions())
        watchItem(action);
}

void TvexMainMenu::actionEvent(QActionEvent *event)
{
    QMenu::actionEvent(event);
    itemEvent(event, true);
}

bool TvexMainMenu::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::ActionAdded:
    case QEvent::ActionChanged:
    case QEvent::ActionRemoved:
        if (m_watched.contains(qobject_cast<QMenu *>(watched)))
            itemEvent(static_cast<QActionEvent *>(event), false);
        break;
    default:
        break;
    }
    return QMenu::eventFilter(watched, event);
}

void TvexMainMenu::itemEvent(QActionEvent *event, bool topLevel)
{
    // Attaching an item changes it, which reports back here.
    if (isDestroying() || m_inItemEvent)
        return;
    m_inItemEvent = true;
    if (event->type() != QEvent::ActionRemoved) {
        // An item that has just been given sub-items needs their look too.
        AttachItemHandlers(event->action());
    }
    m_inItemEvent = false;
    if (!m_frame || isLoading())
        return;
    // A new or removed top-level item needs a button made or taken away;
    // any other change only reaches the buttons' captions and states.
    if (topLevel && event->type() != QEvent::ActionChanged)
        m_frame->RebuildMenuBar();
    else
        m_frame->RefreshMenuBarItems();
}

// ---------------------------------------------------------------------------
// TvexMenuAction

TvexMenuAction::TvexMenuAction(QObject *parent) : QAction(parent)
{
    setCheckable(true);
    connect(this, &QAction::triggered, this, &TvexMenuAction::clicked);
    if (auto *menu = qobject_cast<QMenu *>(parent))
        menu->addAction(this);
    else if (auto *item = qobject_cast<TvexMenuAction *>(parent))
        item->subMenu()->addAction(this);
}

TvexMenuAction::~TvexMenuAction()
{
    markDestroying();
    if (m_subMenu) {
        // The sub-items are this item's children and go after it.
        m_subMenu->setStyle(nullptr);
        setMenu(static_cast<QMenu *>(nullptr));
    }
}

void TvexMenuAction::setCaption(const QString &caption)
{
    setText(caption);
    if (m_subMenu)
        m_subMenu->setTitle(caption);
}

void TvexMenuAction::setChecked(bool checked)
{
    m_checked = checked;
    QAction::setChecked(checked);
    if (checked && m_radioItem)
        uncheckGroupMates();
}

void TvexMenuAction::setAutoCheck(bool autoCheck)
{
    m_autoCheck = autoCheck;
}

bool TvexMenuAction::Default() const
{
    const QMenu *menu = containingMenu();
    return menu ? menu->defaultAction() == this : m_default;
}

void TvexMenuAction::setDefault(bool isDefault)
{
    m_default = isDefault;
    if (QMenu *menu = containingMenu()) {
        if (isDefault)
            menu->setDefaultAction(this);
        else if (menu->defaultAction() == this)
            menu->setDefaultAction(nullptr);
    }
}

void TvexMenuAction::setImageIndex(int index)
{
    // Published under the name the drawing reads ("ImageIndex").
    m_imageIndex = index;
}

QMenu *TvexMenuAction::subMenu()
{
    if (!menu()) {
        m_subMenu = std::make_unique<QMenu>();
        m_subMenu->setTitle(text());
        setMenu(m_subMenu.get());
    }
    return menu();
}

void TvexMenuAction::clicked()
{
    // Qt has toggled the check mark already; it shows what the item says.
    if (m_autoCheck)
        m_checked = m_radioItem ? true : !m_checked;
    setChecked(m_checked);
    emit OnClick(this);
}

void TvexMenuAction::uncheckGroupMates()
{
    if (const QMenu *menu = containingMenu()) {
        UncheckGroupMates<TvexMenuAction>(menu->actions(), this, [this](const TvexMenuAction &mate) {
            return mate.m_radioItem && mate.m_groupIndex == m_groupIndex;
        });
    }
}

QMenu *TvexMenuAction::containingMenu() const
{
    if (auto *menu = qobject_cast<QMenu *>(parent()))
        return menu;
    if (auto *item = qobject_cast<TvexMenuAction *>(parent()))
        return item->menu();
    return nullptr;
}

} // namespace vex
