#include "platform/Automation.h"

#include <QHash>

namespace platform {

namespace {
QHash<QString, AutomationFactory> &servers()
{
    // The platform's class registry: one per process, like the system's.
    static QHash<QString, AutomationFactory> registry;
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

void registerAutomationServer(const QString &progId, AutomationFactory factory)
{
    servers().insert(progId.toLower(), std::move(factory));
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
    AutomationRef object = (*it)();
    if (!object)
        throw AutomationError(QStringLiteral("Server execution failed: %1").arg(progId));
    return object;
}

} // namespace platform
