#pragma once

#include <QMetaType>
#include <QString>
#include <QVariant>
#include <QVariantList>

#include <functional>
#include <memory>

#include "platform/TextError.h"

namespace platform {

// An error raised by a late-bound call. The message is what a user sees in
// the log, so servers put their own description of the failure in it.
class AutomationError : public TextError
{
public:
    using TextError::TextError;
};

// A call cut short because the program was told to end: the file was
// stopped, not failed, and nothing after it is to be delivered.
class StoppedError : public AutomationError
{
public:
    using AutomationError::AutomationError;
};

// An object reached only through calls by name: properties read and written,
// methods invoked with variant arguments. Results that are objects themselves
// come back as a QVariant holding an AutomationRef.
class AutomationObject
{
public:
    virtual ~AutomationObject() = default;

    virtual QVariant property(const QString &name) = 0;
    virtual void setProperty(const QString &name, const QVariant &value) = 0;
    virtual QVariant invoke(const QString &method, const QVariantList &args = {}) = 0;
};

using AutomationRef = std::shared_ptr<AutomationObject>;

// The marker passed for a parameter that is not given.
struct Omitted
{
    bool operator==(const Omitted &) const { return true; }
};

} // namespace platform

Q_DECLARE_METATYPE(platform::AutomationRef)
Q_DECLARE_METATYPE(platform::Omitted)

namespace platform {

inline QVariant omitted()
{
    return QVariant::fromValue(Omitted{});
}
inline bool isOmitted(const QVariant &value)
{
    return value.metaType() == QMetaType::fromType<Omitted>();
}

inline QVariant toVariant(const AutomationRef &object)
{
    return QVariant::fromValue(object);
}
// Throws AutomationError when the value holds no object.
AutomationRef toObject(const QVariant &value, const QString &what);

using AutomationFactory = std::function<AutomationRef()>;
using AutomationCanceller = std::function<void()>;

// A server that can get ready ahead of a creation, like a local server
// started before its first client: prepare starts it in the background
// without blocking, dismiss ends what it keeps ready (also what it kept
// after a client's last call).
struct AutomationReadiness
{
    std::function<void()> prepare;
    std::function<void()> dismiss;
};

// Servers register themselves under their program identifier (compared
// without regard to case). A later registration of the same name replaces
// the earlier one. A server whose creation yields to the event loop may give
// a canceller that makes a creation in progress fail soon.
void registerAutomationServer(const QString &progId, AutomationFactory factory, AutomationCanceller cancel = {},
                              AutomationReadiness readiness = {});
void unregisterAutomationServer(const QString &progId);

// Creates the object registered under progId; throws AutomationError when no
// server is registered or the server fails to start.
AutomationRef createAutomationObject(const QString &progId);
// Cancels a creation of progId in progress (from an event handled during it).
void cancelAutomationCreation(const QString &progId);
// Lets the server of progId get ready for a later creation, or end what it
// keeps ready; nothing happens for a server that does neither.
void prepareAutomationObject(const QString &progId);
void dismissPreparedAutomationObject(const QString &progId);

} // namespace platform
