#include "app/StandInControls.h"

#include "platform/Align.h"

namespace standin {

QObject *TitleBarItems::add()
{
    m_items.push_back(std::make_unique<TitleBarItem>());
    return m_items.back().get();
}

TvexForm::TvexForm(QWidget *parent)
    : QWidget(parent),
      m_titleBar(new QLabel(this)),
      m_buttons(new TitleBarItems(this)),
      m_sections(new TitleBarItems(this))
{
    setAutoFillBackground(true);
    m_titleBar->setFixedHeight(20);
    m_titleBar->setIndent(6);
    m_titleBar->setStyleSheet(QStringLiteral("background: #d8d8d8; font-weight: bold;"));
    platform::setAlign(m_titleBar, platform::alTop);
    platform::setAlign(this, platform::alClient);
}

QString TvexForm::caption() const
{
    return m_titleBar->text();
}

void TvexForm::setCaption(const QString &caption)
{
    m_titleBar->setText(caption);
    if (window() != this)
        window()->setWindowTitle(caption);
}

void TvexForm::setColor(int color)
{
    m_color = color;
    QPalette p = palette();
    p.setColor(QPalette::Window, platform::toQColor(color));
    setPalette(p);
}

} // namespace standin
