#include "skin/VEXFormBand_p.h"

#include "platform/gui/Align.h"

#include <QEvent>

#include <algorithm>

namespace vex {

TvexFormBand::TvexFormBand(QWidget *frame) : QLayout(frame)
{
    // The frame keeps the minimum size it sets itself.
    setSizeConstraint(QLayout::SetNoConstraint);
    setContentsMargins(0, 0, 0, 0);
    // The band lies in the frame's top margin, outside its contents rect.
    frame->setAttribute(Qt::WA_LayoutOnEntireRect);
    // Qt lays a hidden frame out only once it is shown; the frame's own
    // resizes keep the band in place meanwhile too.
    frame->installEventFilter(this);
}

TvexFormBand::~TvexFormBand()
{
    for (const Entry &entry : m_rows) {
        if (QWidget *widget = entry.item->widget())
            widget->removeEventFilter(this);
    }
}

void TvexFormBand::setRow(int row, QWidget *widget)
{
    if (const int at = indexOfRow(row); at >= 0)
        delete takeAt(at);
    if (widget) {
        addChildWidget(widget);
        insert(row, new QWidgetItem(widget));
    }
    place();
}

QWidget *TvexFormBand::rowWidget(int row) const
{
    const int at = indexOfRow(row);
    return at >= 0 ? m_rows[at].item->widget() : nullptr;
}

int TvexFormBand::bandHeight() const
{
    int height = 0;
    for (const Entry &entry : m_rows) {
        if (QWidget *widget = entry.item->widget(); widget && !widget->isHidden())
            height += widget->height();
    }
    return height;
}

void TvexFormBand::place()
{
    QWidget *host = frame();
    if (!host || m_placing)
        return;
    m_placing = true;
    int y = 0;
    for (const Entry &entry : m_rows) {
        QWidget *widget = entry.item->widget();
        if (!widget || widget->isHidden())
            continue;
        widget->setGeometry(0, y, host->width(), widget->height());
        y += widget->height();
    }
    QMargins margins = host->contentsMargins();
    if (margins.top() != y) {
        margins.setTop(y);
        host->setContentsMargins(margins);
        // A hidden frame gets no resize from its new margins.
        platform::realign(host);
    }
    m_placing = false;
}

void TvexFormBand::addItem(QLayoutItem *item)
{
    insert(m_rows.empty() ? MenuBarRow + 1 : std::max<int>(m_rows.back().row + 1, MenuBarRow + 1), item);
    place();
}

int TvexFormBand::count() const
{
    return int(m_rows.size());
}

QLayoutItem *TvexFormBand::itemAt(int index) const
{
    return index >= 0 && index < count() ? m_rows[index].item.get() : nullptr;
}

QLayoutItem *TvexFormBand::takeAt(int index)
{
    if (index < 0 || index >= count())
        return nullptr;
    QLayoutItem *item = m_rows[index].item.release();
    m_rows.erase(m_rows.begin() + index);
    if (QWidget *widget = item->widget())
        widget->removeEventFilter(this);
    // Qt takes a row out while the widget is being deleted, perhaps with the
    // frame: the band closes up once that is over.
    QMetaObject::invokeMethod(this, &TvexFormBand::place, Qt::QueuedConnection);
    return item;
}

QSize TvexFormBand::sizeHint() const
{
    return QSize(0, bandHeight());
}

QSize TvexFormBand::minimumSize() const
{
    return sizeHint();
}

void TvexFormBand::setGeometry(const QRect &rect)
{
    QLayout::setGeometry(rect);
    place();
}

bool TvexFormBand::eventFilter(QObject *watched, QEvent *event)
{
    switch (event->type()) {
    case QEvent::Resize:
    case QEvent::ShowToParent:
    case QEvent::HideToParent:
        place();
        break;
    default:
        break;
    }
    return QLayout::eventFilter(watched, event);
}

int TvexFormBand::indexOfRow(int row) const
{
    const auto found = std::find_if(m_rows.begin(), m_rows.end(), [row](const Entry &e) { return e.row == row; });
    return found == m_rows.end() ? -1 : int(found - m_rows.begin());
}

void TvexFormBand::insert(int row, QLayoutItem *item)
{
    // Edge alignment would place the widget a second time, in the margin's
    // place.
    if (QWidget *widget = item->widget()) {
        platform::setAlign(widget, platform::alNone);
        widget->installEventFilter(this);
    }
    const auto at = std::find_if(m_rows.begin(), m_rows.end(), [row](const Entry &e) { return e.row > row; });
    m_rows.insert(at, Entry{row, std::unique_ptr<QLayoutItem>(item)});
}

} // namespace vex
