#include "platform/WebBrowser.h"

#include <QImage>
#include <QNetworkAccessManager>
#include <QNetworkReply>
#include <QScrollBar>
#include <QTextDocument>

namespace {

// "Document" -> "body" -> "Scroll": the part of the document object model the
// program uses, on top of the browser widget.
class BodyObject : public platform::AutomationObject
{
public:
    explicit BodyObject(TWebBrowser *browser) : m_browser(browser) {}

    QVariant property(const QString &name) override
    {
        if (name.compare(QLatin1String("Scroll"), Qt::CaseInsensitive) == 0 && m_browser)
            return m_browser->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff ? QStringLiteral("no")
                                                                                  : QStringLiteral("auto");
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
    }

    void setProperty(const QString &name, const QVariant &value) override
    {
        if (name.compare(QLatin1String("Scroll"), Qt::CaseInsensitive) != 0)
            throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
        if (!m_browser)
            return;
        const bool off = value.toString().compare(QLatin1String("no"), Qt::CaseInsensitive) == 0;
        const Qt::ScrollBarPolicy policy = off ? Qt::ScrollBarAlwaysOff : Qt::ScrollBarAsNeeded;
        m_browser->setVerticalScrollBarPolicy(policy);
        m_browser->setHorizontalScrollBarPolicy(policy);
    }

    QVariant invoke(const QString &method, const QVariantList &) override
    {
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(method));
    }

private:
    QPointer<TWebBrowser> m_browser;
};

class DocumentObject : public platform::AutomationObject
{
public:
    explicit DocumentObject(TWebBrowser *browser) : m_browser(browser) {}

    QVariant property(const QString &name) override
    {
        if (name.compare(QLatin1String("body"), Qt::CaseInsensitive) == 0)
            return platform::toVariant(std::make_shared<BodyObject>(m_browser));
        if (name.compare(QLatin1String("title"), Qt::CaseInsensitive) == 0 && m_browser)
            return m_browser->documentTitle();
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
    }
    void setProperty(const QString &name, const QVariant &) override
    {
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
    }
    QVariant invoke(const QString &method, const QVariantList &) override
    {
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(method));
    }

private:
    QPointer<TWebBrowser> m_browser;
};

class BrowserObject : public platform::AutomationObject
{
public:
    explicit BrowserObject(TWebBrowser *browser) : m_browser(browser) {}

    QVariant property(const QString &name) override
    {
        if (!m_browser)
            throw platform::AutomationError(QStringLiteral("The browser is gone"));
        if (name.compare(QLatin1String("Document"), Qt::CaseInsensitive) == 0)
            return platform::toVariant(std::make_shared<DocumentObject>(m_browser));
        if (name.compare(QLatin1String("Busy"), Qt::CaseInsensitive) == 0)
            return m_browser->isBusy();
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
    }
    void setProperty(const QString &name, const QVariant &) override
    {
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(name));
    }
    QVariant invoke(const QString &method, const QVariantList &args) override
    {
        if (m_browser && method.compare(QLatin1String("Navigate"), Qt::CaseInsensitive) == 0 && !args.isEmpty()) {
            m_browser->Navigate(args.first().toString());
            return {};
        }
        throw platform::AutomationError(QStringLiteral("Unknown name: %1").arg(method));
    }

private:
    QPointer<TWebBrowser> m_browser;
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
