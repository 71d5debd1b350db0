// The browser's object model as the window drives it: Document, body and
// Scroll by name without regard to case, every other name refused with the
// name in the error, and parts kept by a caller that outlive the browser.
#include "platform/WebBrowser.h"

#include <gtest/gtest.h>

#include <functional>
#include <memory>

using namespace platform;

namespace {

// The message of the AutomationError that call throws, or "(no error)".
QString errorOf(const std::function<void()> &call)
{
    try {
        call();
    } catch (const AutomationError &e) {
        return e.message();
    }
    return QStringLiteral("(no error)");
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

    EXPECT_EQ(errorOf([&] { application->property("Width"); }), "Unknown name: Width");
    EXPECT_EQ(errorOf([&] { application->setProperty("Busy", true); }), "Unknown name: Busy");
    EXPECT_EQ(errorOf([&] { application->invoke("Navigate"); }), "Unknown name: Navigate") << "needs its address";
    EXPECT_EQ(errorOf([&] { document->property("forms"); }), "Unknown name: forms");
    EXPECT_EQ(errorOf([&] { document->setProperty("title", "x"); }), "Unknown name: title");
    EXPECT_EQ(errorOf([&] { document->invoke("write", {"x"}); }), "Unknown name: write");
    EXPECT_EQ(errorOf([&] { body->property("innerHTML"); }), "Unknown name: innerHTML");
    EXPECT_EQ(errorOf([&] { body->setProperty("bgColor", "red"); }), "Unknown name: bgColor");
    EXPECT_EQ(errorOf([&] { body->invoke("click"); }), "Unknown name: click");
}

TEST(WebBrowserModel, PartsKeptPastTheBrowserAnswerWithoutTouchingIt)
{
    auto browser = std::make_unique<TWebBrowser>();
    const AutomationRef application = browser->Application();
    const AutomationRef body = part(part(application, "Document"), "body");
    browser.reset();

    EXPECT_EQ(errorOf([&] { application->property("Document"); }), "The browser is gone");
    EXPECT_EQ(errorOf([&] { application->invoke("Navigate", {"about:blank"}); }), "Unknown name: Navigate");
    EXPECT_EQ(errorOf([&] { body->setProperty("Scroll", "no"); }), "(no error)") << "nothing left to change";
    EXPECT_EQ(errorOf([&] { body->property("Scroll"); }), "Unknown name: Scroll");
}
