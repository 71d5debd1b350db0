#include "platform/Automation.h"

#include <QHash>

namespace platform {

namespace {
struct Server
{
    AutomationFactory create;
    AutomationCanceller cancel;
    AutomationReadiness readiness;
};

QHash<QString, Server> &servers()
{
    // The platform's class registry: one per process, like the system's.
    static QHash<QString, Server> registry;
    return registry;
}

// A copy of the hook: the server may be registered anew while it runs.
template <typename Hook>
void runHook(const QString &progId, Hook hook)
{
    const auto it = servers().constFind(progId.toLower());
    if (it == servers().constEnd())
        return;
    const std::function<void()> call = hook(*it);
    if (call)
        call();
}
} // namespace

AutomationRef toObject(const QVariant &value, const QString &what)
{
    if (value.canConvert<AutomationRef>()) {
        if (auto object = value.value<AutomationRef>())
            return object;
    }
    throw AutomationError(QStringLiteral("%1 is not an object").arg(what));
}

void registerAutomationServer(const QString &progId, AutomationFactory factory, AutomationCanceller cancel,
                              AutomationReadiness readiness)
{
    servers().insert(progId.toLower(), {std::move(factory), std::move(cancel), std::move(readiness)});
}

void unregisterAutomationServer(const QString &progId)
{
    servers().remove(progId.toLower());
}

AutomationRef createAutomationObject(const QString &progId)
{
    const auto it = servers().constFind(progId.toLower());
    if (it == servers().constEnd())
        throw AutomationError(QStringLiteral("Invalid class string: %1").arg(progId));
    // A copy: the server may be registered anew while it starts.
    const AutomationFactory create = it->create;
    AutomationRef object = create();
    if (!object)
        throw AutomationError(QStringLiteral("Server execution failed: %1").arg(progId));
    return object;
}

void cancelAutomationCreation(const QString &progId)
{
    runHook(progId, [](const Server &server) { return server.cancel; });
}

void prepareAutomationObject(const QString &progId)
{
    runHook(progId, [](const Server &server) { return server.readiness.prepare; });
}

void dismissPreparedAutomationObject(const QString &progId)
{
    runHook(progId, [](const Server &server) { return server.readiness.dismiss; });
}

} // namespace platform
