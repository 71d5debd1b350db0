#include "platform/Automation.h"

#include <QHash>

namespace platform {

namespace {
struct Server
{
    AutomationFactory create;
    AutomationCanceller cancel;
};

QHash<QString, Server> &servers()
{
    // The platform's class registry: one per process, like the system's.
    static QHash<QString, Server> registry;
    return registry;
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

void registerAutomationServer(const QString &progId, AutomationFactory factory, AutomationCanceller cancel)
{
    servers().insert(progId.toLower(), {std::move(factory), std::move(cancel)});
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
    const auto it = servers().constFind(progId.toLower());
    if (it != servers().constEnd() && it->cancel) {
        const AutomationCanceller cancel = it->cancel;
        cancel();
    }
}

} // namespace platform
