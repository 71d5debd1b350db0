#pragma once

#include <QObject>
#include <QWidget>

namespace platform {

// The few component notions the toolkit relies on beyond Qt's object tree:
// a "loading" state while a form description is read, a "loaded" call once
// every object exists and has its stored properties, and a "destroying" flag
// that hooks and painters test before touching anything.
//
// It is a mix-in so that widgets and plain QObjects can both carry it; the
// form loader finds it with dynamic_cast.
class Component
{
public:
    virtual ~Component() = default;

    bool isLoading() const { return m_loading; }
    bool isDestroying() const { return m_destroying; }

    // Entered by the form loader before it sets the first stored property.
    void beginLoading() { m_loading = true; }
    // Called by the form loader on every component once the whole description
    // has been read. Overrides must call the base first.
    virtual void loaded() { m_loading = false; }

protected:
    // Call first thing in a destructor that still runs code reaching hooks.
    void markDestroying() { m_destroying = true; }

private:
    bool m_loading = false;
    bool m_destroying = false;
};

inline Component *asComponent(QObject *object)
{
    return dynamic_cast<Component *>(object);
}

inline bool isLoading(const QObject *object)
{
    auto *component = dynamic_cast<const Component *>(object);
    return component && component->isLoading();
}

// The form that owns a component: the top-level widget of a widget, or for a
// non-visual component the nearest ancestor that is a top-level widget.
QWidget *ownerForm(const QObject *object);

// True for a top-level widget, which is what counts as a form.
bool isForm(const QObject *object);

// Every object owned by a form, in creation order within each parent,
// parents before their children.
QObjectList ownedComponents(const QObject *form);

} // namespace platform
