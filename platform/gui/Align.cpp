#include "platform/gui/Align.h"

#include <QEvent>
#include <QPointer>

#include <algorithm>

namespace platform {

namespace {

const char *const alignKey = "_tabulon_align";
const char *const sequenceKey = "_tabulon_align_seq";
// Where the widget stood along its edge when it was aligned: aligned widgets
// stack in that order, so arranging never reorders them.
const char *const orderKey = "_tabulon_align_order";

// Watches a parent and its aligned children and re-arranges on the events
// that can change the arrangement.
class Arranger : public QObject
{
public:
    explicit Arranger(QWidget *parent) : QObject(parent), m_parent(parent) { parent->installEventFilter(this); }

    static Arranger *of(QWidget *parent)
    {
        for (QObject *child : parent->children()) {
            if (auto *arranger = dynamic_cast<Arranger *>(child))
                return arranger;
        }
        return new Arranger(parent);
    }

    void watch(QWidget *child) { child->installEventFilter(this); }

    void arrange();

protected:
    bool eventFilter(QObject *watched, QEvent *event) override
    {
        switch (event->type()) {
        case QEvent::Resize:
        case QEvent::Show:
        case QEvent::Hide:
        case QEvent::ChildRemoved:
        case QEvent::LayoutRequest:
            if (watched == m_parent || align(static_cast<QWidget *>(watched)) != alNone)
                arrange();
            break;
        default:
            break;
        }
        return false;
    }

private:
    QPointer<QWidget> m_parent;
    bool m_arranging = false;
};

int sequence(const QWidget *w)
{
    return w->property(sequenceKey).toInt();
}
int order(const QWidget *w)
{
    return w->property(orderKey).toInt();
}

int orderKeyFor(const QWidget *w, TAlign a)
{
    switch (a) {
    case alTop:
        return w->y();
    case alBottom:
        return -(w->y() + w->height());
    case alLeft:
        return w->x();
    case alRight:
        return -(w->x() + w->width());
    default:
        return 0;
    }
}

void Arranger::arrange()
{
    if (m_arranging || !m_parent)
        return;
    m_arranging = true;

    QRect free = m_parent->contentsRect();
    QList<QWidget *> byKind[alClient + 1];
    for (QObject *child : m_parent->children()) {
        auto *w = qobject_cast<QWidget *>(child);
        if (!w || w->isWindow() || w->isHidden())
            continue;
        byKind[align(w)].append(w);
    }
    for (QList<QWidget *> &list : byKind) {
        std::stable_sort(list.begin(), list.end(), [](QWidget *a, QWidget *b) {
            return order(a) != order(b) ? order(a) < order(b) : sequence(a) < sequence(b);
        });
    }

    for (QWidget *w : byKind[alTop]) {
        w->setGeometry(free.left(), free.top(), free.width(), w->height());
        free.setTop(free.top() + w->height());
    }
    for (QWidget *w : byKind[alBottom]) {
        w->setGeometry(free.left(), free.bottom() + 1 - w->height(), free.width(), w->height());
        free.setBottom(free.bottom() - w->height());
    }
    for (QWidget *w : byKind[alLeft]) {
        w->setGeometry(free.left(), free.top(), w->width(), std::max(0, free.height()));
        free.setLeft(free.left() + w->width());
    }
    for (QWidget *w : byKind[alRight]) {
        w->setGeometry(free.right() + 1 - w->width(), free.top(), w->width(), std::max(0, free.height()));
        free.setRight(free.right() - w->width());
    }
    for (QWidget *w : byKind[alClient])
        w->setGeometry(free.left(), free.top(), std::max(0, free.width()), std::max(0, free.height()));

    m_arranging = false;
}

} // namespace

void setAlign(QWidget *widget, TAlign value)
{
    static int counter = 0;
    widget->setProperty(alignKey, int(value));
    widget->setProperty(orderKey, orderKeyFor(widget, value));
    widget->setProperty(sequenceKey, ++counter);
    if (QWidget *parent = widget->parentWidget()) {
        Arranger *arranger = Arranger::of(parent);
        arranger->watch(widget);
        arranger->arrange();
    }
}

TAlign align(const QWidget *widget)
{
    const QVariant v = widget->property(alignKey);
    return v.isValid() ? TAlign(v.toInt()) : alNone;
}

void realign(QWidget *parent)
{
    Arranger::of(parent)->arrange();
}

} // namespace platform
