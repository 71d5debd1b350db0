#include "platform/SignalBridge.h"

#include <QSignalSpy>
#include <QTest>

#include <gtest/gtest.h>

#include <csignal>
#include <stdexcept>

using platform::SignalBridge;

namespace {

void (*dispositionOf(int number))(int)
{
    struct sigaction current = {};
    ::sigaction(number, nullptr, &current);
    return current.sa_handler;
}

} // namespace

TEST(SignalBridge, AnEndingSignalArrivesAsAQtSignalOnceAndThenTakesItsDefaultAction)
{
    for (int number : {SIGINT, SIGTERM, SIGHUP}) {
        SCOPED_TRACE(number);
        SignalBridge bridge;
        QSignalSpy spy(&bridge, &SignalBridge::endRequested);
        EXPECT_EQ(bridge.received(), 0);
        EXPECT_EQ(bridge.exitStatus(3), 3);

        ::raise(number);
        EXPECT_EQ(bridge.received(), number) << "known before the event loop runs";
        EXPECT_TRUE(QTest::qWaitFor([&] { return spy.count() > 0; }, 5000));
        ASSERT_EQ(spy.count(), 1);
        EXPECT_EQ(spy.at(0).at(0).toInt(), number);
        EXPECT_EQ(bridge.exitStatus(0), 128 + number);
        for (int s : {SIGINT, SIGTERM, SIGHUP})
            EXPECT_EQ(dispositionOf(s), SIG_DFL) << "a second signal " << s << " ends a stuck program";
    }
}

TEST(SignalBridge, RestoresThePreviousHandlersAndAllowsOneBridgeAtATime)
{
    ::signal(SIGHUP, SIG_IGN);
    {
        SignalBridge bridge;
        EXPECT_EQ(SignalBridge::instance(), &bridge);
        EXPECT_NE(dispositionOf(SIGHUP), SIG_IGN);
        EXPECT_THROW(SignalBridge second, std::logic_error);
        EXPECT_EQ(SignalBridge::instance(), &bridge);
    }
    EXPECT_EQ(SignalBridge::instance(), nullptr);
    EXPECT_EQ(dispositionOf(SIGHUP), SIG_IGN);
    ::signal(SIGHUP, SIG_DFL);
}
