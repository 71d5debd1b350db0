#pragma once

#include <QMetaObject>
#include <QObject>
#include <QPointer>

#include <functional>
#include <utility>

namespace platform {

// A component's non-owning reference to another component that publishes a
// change signal (an image list, an action). The holder hears through
// onChanged when another object is set, when the object reports a change,
// and when the object goes away, after which the link holds none.
//
// The connections live on the holder, so nothing reaches a holder that is
// gone.
template <typename T>
class ComponentLink
{
public:
    using ChangedSignal = void (T::*)();

    ComponentLink(QObject *holder, ChangedSignal changedSignal, std::function<void()> onChanged)
        : m_holder(holder), m_changedSignal(changedSignal), m_onChanged(std::move(onChanged))
    {}
    ~ComponentLink() { disconnect(); }
    ComponentLink(const ComponentLink &) = delete;
    ComponentLink &operator=(const ComponentLink &) = delete;

    T *get() const { return m_object.data(); }
    operator T *() const { return m_object.data(); }
    T *operator->() const { return m_object.data(); }

    // Holds object (or none) and tells the holder, also when nothing changed:
    // setting a link again takes the object's state again.
    void set(T *object)
    {
        disconnect();
        m_object = object;
        if (object) {
            m_changed = QObject::connect(object, m_changedSignal, m_holder, [this] { notify(); });
            m_gone = QObject::connect(object, &QObject::destroyed, m_holder, [this] {
                disconnect();
                m_object = nullptr;
                notify();
            });
        }
        notify();
    }

private:
    void disconnect()
    {
        QObject::disconnect(m_changed);
        QObject::disconnect(m_gone);
        m_changed = {};
        m_gone = {};
    }
    void notify()
    {
        if (m_onChanged)
            m_onChanged();
    }

    QObject *m_holder;
    ChangedSignal m_changedSignal;
    std::function<void()> m_onChanged;
    QPointer<T> m_object;
    QMetaObject::Connection m_changed;
    QMetaObject::Connection m_gone;
};

} // namespace platform
