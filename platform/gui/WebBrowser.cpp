#include "platform/gui/WebBrowser.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScrollBar>
#include <QTextDocument>

namespace {

bool is(const QString &name, const char *expected)
{
    return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

// A part of the object model that the program reaches through the browser.
// Whatever a part does not name is an unknown name, as for any late-bound
// server; the parts hold the browser weakly, since scripts may keep them.
class BrowserPart : public platform::AutomationObject
{
public:
    explicit BrowserPart(TWebBrowser *browser) : m_browser(browser) {}

    QVariant property(const QString &name) override { throw unknownName(name); }
    void setProperty(const QString &name, const QVariant &) override { throw unknownName(name); }
    QVariant invoke(const QString &method, const QVariantList &) override { throw unknownName(method); }

protected:
    static platform::AutomationError unknownName(const QString &name)
    {
        return platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
    }

    QPointer<TWebBrowser> m_browser;
};

// "Document" -> "body" -> "Scroll": the part of the document object model the
// program uses, on top of the browser widget.
class BodyObject : public BrowserPart
{
public:
    using BrowserPart::BrowserPart;

    QVariant property(const QString &name) override
    {
        if (is(name, "Scroll") && m_browser)
            return m_browser->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff ? QStringLiteral("no")
                                                                                  : QStringLiteral("auto");
        throw unknownName(name);
    }

    void setProperty(const QString &name, const QVariant &value) override
    {
        if (!is(name, "Scroll"))
            throw unknownName(name);
        if (!m_browser)
            return;
        const bool off = is(value.toString(), "no");
        const Qt::ScrollBarPolicy policy = off ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
        m_browser->setVerticalScrollBarPolicy(policy);
        m_browser->setHorizontalScrollBarPolicy(policy);
    }
};

class DocumentObject : public BrowserPart
{
public:
    using BrowserPart::BrowserPart;

    QVariant property(const QString &name) override
    {
        if (is(name, "body"))
            return platform::toVariant(std::make_shared<BodyObject>(m_browser));
        if (is(name, "title") && m_browser)
            return m_browser->documentTitle();
        throw unknownName(name);
    }
};

class BrowserObject : public BrowserPart
{
public:
    using BrowserPart::BrowserPart;

    QVariant property(const QString &name) override
    {
        if (!m_browser)
            throw platform::AutomationError(QStringLiteral("The browser is gone"));
        if (is(name, "Document"))
            return platform::toVariant(std::make_shared<DocumentObject>(m_browser));
        if (is(name, "Busy"))
            return m_browser->isBusy();
        throw unknownName(name);
    }
    QVariant invoke(const QString &method, const QVariantList &args) override
    {
        if (m_browser && is(method, "Navigate") && !args.isEmpty()) {
            m_browser->Navigate(args.first().toString());
            return {};
        }
        throw unknownName(method);
    }
};

} // namespace

TWebBrowser::TWebBrowser(QWidget *parent) : QTextBrowser(parent), m_network(new QNetworkAccessManager(this))
{
    setOpenLinks(false);
    setFrameShape(QFrame::NoFrame);
    // Links in the banner open in the user's browser.
    setOpenExternalLinks(true);
}

TWebBrowser::~TWebBrowser() = default;

platform::AutomationRef TWebBrowser::Application()
{
    return std::make_shared<BrowserObject>(this);
}

void TWebBrowser::Navigate(const QString &url)
{
    if (QNetworkReply *previous = m_page.data()) {
        m_page = nullptr; // its completion is no longer this page's
        previous->abort();
    }
    m_url = QUrl::fromUserInput(url);
    m_resources.clear();
    m_requested.clear();
    ++m_pending;
    QNetworkRequest request(m_url);
    request.setAttribute(QNetworkRequest::RedirectPolicyAttribute, QNetworkRequest::NoLessSafeRedirectPolicy);
    QNetworkReply *reply = m_network->get(request);
    m_page = reply;
    connect(reply, &QNetworkReply::finished, this, [this, reply] { pageArrived(reply); });
}

void TWebBrowser::pageArrived(QNetworkReply *reply)
{
    reply->deleteLater();
    if (reply != m_page) { // replaced by a later navigation
        --m_pending;
        return;
    }
    const bool ok = reply->error() == QNetworkReply::NoError;
    const QByteArray body = ok ? reply->readAll() : QByteArray();
    if (ok)
        document()->setBaseUrl(reply->url());
    // Images requested while the page is laid out raise m_pending before the
    // page itself counts as done, so the first completion can still be busy.
    setHtml(ok ? QString::fromUtf8(body) : m_fallbackHtml);
    finishOne();
}

QVariant TWebBrowser::loadResource(int type, const QUrl &name)
{
    const QUrl url = document()->baseUrl().resolved(name);
    if (m_resources.contains(url)) {
        QImage image;
        if (type == QTextDocument::ImageResource && image.loadFromData(m_resources.value(url)))
            return image;
        return m_resources.value(url);
    }
    if (type == QTextDocument::ImageResource && url.isValid() && !m_requested.contains(url)) {
        m_requested.insert(url);
        ++m_pending;
        QNetworkReply *reply = m_network->get(QNetworkRequest(url));
        connect(reply, &QNetworkReply::finished, this, [this, reply, url] { resourceArrived(reply, url); });
    }
    return {};
}

void TWebBrowser::resourceArrived(QNetworkReply *reply, const QUrl &name)
{
    reply->deleteLater();
    m_resources.insert(name, reply->error() == QNetworkReply::NoError ? reply->readAll() : QByteArray());
    // Lay the page out again so the image takes its place.
    document()->markContentsDirty(0, document()->characterCount());
    viewport()->update();
    finishOne();
}

void TWebBrowser::finishOne()
{
    --m_pending;
    emit OnDocumentComplete(this, QVariant(), m_url.toString());
}
