// The title bar's window menu.

#include "skin/VEXTitleBar.h"

#include "skin/VEXFrameAgent.h"

#include <QAction>

namespace vex {

// ---------------------------------------------------------------------------
// TvexTitleBarPopupMenu

TvexTitleBarPopupMenu::TvexTitleBarPopupMenu(QWidget *owner) : TvexPopupMenu(owner)
{
    // Qt gives menu items no access keys of its own, so the captions keep
    // exactly theirs.
    m_minimize = addAction(QStringLiteral("Mi&nimize"));
    m_maximize = addAction(QStringLiteral("Ma&ximize/Restore"));
    auto *separator = new QAction(QStringLiteral("-"), this);
    separator->setSeparator(true);
    addAction(separator);
    m_close = addAction(QStringLiteral("&Close"));
    connect(m_minimize, &QAction::triggered, this, &TvexTitleBarPopupMenu::minimizeHost);
    connect(m_maximize, &QAction::triggered, this, &TvexTitleBarPopupMenu::maximizeOrRestoreHost);
    connect(m_close, &QAction::triggered, this, &TvexTitleBarPopupMenu::closeHost);
    for (QAction *item : actions())
        AttachItemHandlers(item);
    // Whoever opens the menu, its commands follow the buttons.
    connect(this, &QMenu::aboutToShow, this, &TvexTitleBarPopupMenu::UpdateItems);
}

void TvexTitleBarPopupMenu::Popup(int x, int y)
{
    if (m_titleBar && m_titleBar->RightToLeftLayout())
        x += RightToLeftShift;
    UpdateItems();
    TvexPopupMenu::Popup(x, y);
}

void TvexTitleBarPopupMenu::UpdateItems()
{
    bool minimize = false, maximize = false, close = false;
    if (m_titleBar) {
        const TvexTitleBarButtons *buttons = m_titleBar->Buttons();
        for (int i = 0; i < buttons->Count(); ++i) {
            const TvexTitleBarButton *button = buttons->Items(i);
            if (!button->Visible())
                continue;
            minimize = minimize || button->ButtonType() == vexMin;
            maximize = maximize || button->ButtonType() == vexMax;
            close = close || button->ButtonType() == vexClose;
        }
    }
    m_minimize->setEnabled(minimize);
    m_maximize->setEnabled(maximize);
    m_close->setEnabled(close);
}

void TvexTitleBarPopupMenu::minimizeHost()
{
    if (WindowStatePolicy *states = m_titleBar ? m_titleBar->HostWindowStates() : nullptr)
        states->minimize();
}

void TvexTitleBarPopupMenu::maximizeOrRestoreHost()
{
    if (!m_titleBar || !m_titleBar->HostForm())
        return;
    const QPointer<TvexTitleBar> bar = m_titleBar;
    for (int i = 0; bar && i < bar->Buttons()->Count(); ++i) {
        TvexTitleBarButton *button = bar->Buttons()->Items(i);
        if (button->ButtonType() == vexMax && button->Visible())
            button->PerformClick();
    }
}

void TvexTitleBarPopupMenu::closeHost()
{
    if (QWidget *host = m_titleBar ? m_titleBar->HostForm() : nullptr)
        host->close();
}

} // namespace vex
