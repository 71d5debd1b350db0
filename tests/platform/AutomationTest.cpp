#include "platform/Automation.h"

#include <gtest/gtest.h>

using namespace platform;

namespace {
class Recorder : public AutomationObject
{
public:
    QVariant property(const QString &name) override { return props.value(name); }
    void setProperty(const QString &name, const QVariant &value) override { props.insert(name, value); }
    QVariant invoke(const QString &method, const QVariantList &args) override
    {
        if (method == "fail")
            throw AutomationError("it failed");
        calls << method;
        lastArgs = args;
        return {};
    }
    QVariantMap props;
    QStringList calls;
    QVariantList lastArgs;
};
} // namespace

TEST(Automation, ServersAreFoundByNameWithoutRegardToCase)
{
    auto server = std::make_shared<Recorder>();
    registerAutomationServer("test.server", [server] { return server; });
    AutomationRef object = createAutomationObject("Test.Server");
    EXPECT_EQ(object.get(), server.get());
    object->invoke("open", {QString("a"), omitted()});
    EXPECT_TRUE(isOmitted(server->lastArgs.at(1)));
    EXPECT_FALSE(isOmitted(server->lastArgs.at(0)));
    unregisterAutomationServer("test.server");
}

TEST(Automation, MissingOrFailingServerRaisesWithAMessage)
{
    EXPECT_THROW(createAutomationObject("no.such.server"), AutomationError);
    registerAutomationServer("broken.server", [] { return AutomationRef(); });
    try {
        createAutomationObject("broken.server");
        FAIL() << "expected an error";
    } catch (const AutomationError &error) {
        EXPECT_FALSE(error.message().isEmpty());
    }
    unregisterAutomationServer("broken.server");
}

TEST(Automation, ObjectResultsTravelInVariants)
{
    auto inner = std::make_shared<Recorder>();
    QVariant v = toVariant(inner);
    EXPECT_EQ(toObject(v, "workbooks").get(), inner.get());
    EXPECT_THROW(toObject(QVariant(3), "workbooks"), AutomationError);
    EXPECT_THROW(toObject(QVariant(), "workbooks"), AutomationError);
}

TEST(Automation, ReadinessHooksReachTheServerRegisteredNowAndNoOther)
{
    int prepared = 0, dismissed = 0, preparedByOld = 0;
    const auto server = [] { return std::make_shared<Recorder>(); };
    registerAutomationServer("ready.server", server, {}, {[&] { ++preparedByOld; }, {}});
    registerAutomationServer("ready.server", server, {}, {[&] { ++prepared; }, [&] { ++dismissed; }});
    prepareAutomationObject("Ready.Server");
    dismissPreparedAutomationObject("ready.server");
    EXPECT_EQ(prepared, 1);
    EXPECT_EQ(dismissed, 1);
    EXPECT_EQ(preparedByOld, 0);

    // A server without hooks, or none at all: nothing happens, nothing throws.
    registerAutomationServer("plain.server", server);
    prepareAutomationObject("plain.server");
    dismissPreparedAutomationObject("plain.server");
    unregisterAutomationServer("ready.server");
    prepareAutomationObject("ready.server");
    EXPECT_EQ(prepared, 1);
    unregisterAutomationServer("plain.server");
}
