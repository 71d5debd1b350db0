#pragma once

#include "platform/Automation.h"

#include <QPointer>
#include <QTextBrowser>
#include <QUrl>

class QNetworkAccessManager;
class QNetworkReply;

// A small embedded browser: fetches one page and its images with
// QNetworkAccessManager and renders them with QTextBrowser. The page's
// document is reachable by name through Application(), as "Document", whose
// "body" takes "Scroll" = "no" to turn the scroll bars off.
//
// OnDocumentComplete fires when the page itself has been shown (Busy may still
// be true while its images load) and once more when the last image has
// arrived and Busy has become false. A page that cannot be fetched shows the
// fallback page, if one is set, and completes like any other.
class TWebBrowser : public QTextBrowser
{
    Q_OBJECT
    Q_PROPERTY(bool Busy READ isBusy)
    Q_PROPERTY(QString LocationURL READ locationUrl)

public:
    explicit TWebBrowser(QWidget *parent = nullptr);
    ~TWebBrowser() override;

    Q_INVOKABLE void Navigate(const QString &url);
    bool isBusy() const { return m_pending > 0; }
    QString locationUrl() const { return m_url.toString(); }

    void setFallbackHtml(const QString &html) { m_fallbackHtml = html; }

    // The browser's automation object.
    platform::AutomationRef Application();

signals:
    void OnDocumentComplete(QObject *Sender, const QVariant &pDisp, const QVariant &URL);

protected:
    QVariant loadResource(int type, const QUrl &name) override;

private:
    void pageArrived(QNetworkReply *reply);
    void resourceArrived(QNetworkReply *reply, const QUrl &name);
    void finishOne();

    QNetworkAccessManager *m_network;
    QPointer<QNetworkReply> m_page;
    QUrl m_url;
    QString m_fallbackHtml;
    QHash<QUrl, QByteArray> m_resources;
    QSet<QUrl> m_requested;
    int m_pending = 0;
};
