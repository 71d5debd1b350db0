// The browser's object model as the window drives it: Document, body and
// Scroll by name without regard to case, every other name refused with the
// name in the error, and parts kept by a caller that outlive the browser.
#include "platform/gui/WebBrowser.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace platform;

namespace {

// Expects call to be refused with an AutomationError that says message.
void expectRefused(const std::function<void()> &call, const QString &message)
{
    try {
        call();
        ADD_FAILURE() << "not refused; expected: " << qPrintable(message);
    } catch (const AutomationError &e) {
        EXPECT_EQ(e.message(), message);
    }
}

AutomationRef part(const AutomationRef &parent, const char *name)
{
    return toObject(parent->property(QLatin1String(name)), QLatin1String(name));
}

} // namespace

TEST(WebBrowserModel, ScrollOfTheBodyTurnsBothScrollBarsOffAndOnAgain)
{
    TWebBrowser browser;
    const AutomationRef body = part(part(browser.Application(), "document"), "BODY");
    EXPECT_EQ(body->property("scroll").toString(), "auto");

    body->setProperty("Scroll", "No");
    EXPECT_EQ(browser.verticalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(browser.horizontalScrollBarPolicy(), Qt::ScrollBarAlwaysOff);
    EXPECT_EQ(body->property("Scroll").toString(), "no");

    body->setProperty("Scroll", "yes");
    EXPECT_EQ(browser.verticalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
    EXPECT_EQ(browser.horizontalScrollBarPolicy(), Qt::ScrollBarAsNeeded);
}

TEST(WebBrowserModel, NamesAPartDoesNotHaveAreRefusedByName)
{
    TWebBrowser browser;
    const AutomationRef application = browser.Application();
    const AutomationRef document = part(application, "Document");
    const AutomationRef body = part(document, "body");
    EXPECT_EQ(application->property("busy").toBool(), browser.isBusy());

    expectRefused([&] { application->property("Width"); }, "Unknown name: Width");
    expectRefused([&] { application->setProperty("Busy", true); }, "Unknown name: Busy");
    expectRefused([&] { application->invoke("Navigate"); }, "Unknown name: Navigate"); // needs its address
    expectRefused([&] { document->property("forms"); }, "Unknown name: forms");
    expectRefused([&] { document->setProperty("title", "x"); }, "Unknown name: title");
    expectRefused([&] { document->invoke("write", {"x"}); }, "Unknown name: write");
    expectRefused([&] { body->property("innerHTML"); }, "Unknown name: innerHTML");
    expectRefused([&] { body->setProperty("bgColor", "red"); }, "Unknown name: bgColor");
    expectRefused([&] { body->invoke("click"); }, "Unknown name: click");
}

TEST(WebBrowserModel, PartsKeptPastTheBrowserAnswerWithoutTouchingIt)
{
    auto browser = std::make_unique<TWebBrowser>();
    const AutomationRef application = browser->Application();
    const AutomationRef body = part(part(application, "Document"), "body");
    browser.reset();

    expectRefused([&] { application->property("Document"); }, "The browser is gone");
    expectRefused([&] { application->invoke("Navigate", {"about:blank"}); }, "Unknown name: Navigate");
    EXPECT_NO_THROW(body->setProperty("Scroll", "no")) << "nothing left to change";
    expectRefused([&] { body->property("Scroll"); }, "Unknown name: Scroll");
}
