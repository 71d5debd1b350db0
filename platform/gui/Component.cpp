#include "platform/gui/Component.h"

namespace platform {

bool isForm(const QObject *object)
{
    auto *widget = qobject_cast<const QWidget *>(object);
    return widget && widget->isWindow();
}

QWidget *ownerForm(const QObject *object)
{
    if (auto *widget = qobject_cast<const QWidget *>(object))
        return widget->window();
    for (QObject *up = object ? object->parent() : nullptr; up; up = up->parent()) {
        if (isForm(up))
            return static_cast<QWidget *>(up);
    }
    return nullptr;
}

static void collect(const QObject *parent, QObjectList &out)
{
    for (QObject *child : parent->children()) {
        out.append(child);
        collect(child, out);
    }
}

QObjectList ownedComponents(const QObject *form)
{
    QObjectList out;
    if (form)
        collect(form, out);
    return out;
}

} // namespace platform
