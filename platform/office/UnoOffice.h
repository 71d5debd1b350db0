#pragma once

#include "platform/office/OfficeProcess.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/container/XNameAccess.hpp>
#include <com/sun/star/document/XTypeDetection.hpp>
#include <com/sun/star/frame/XDesktop2.hpp>
#include <com/sun/star/lang/XComponent.hpp>
#include <com/sun/star/lang/XMultiComponentFactory.hpp>
#include <com/sun/star/uno/XComponentContext.hpp>
#include <rtl/ref.hxx>

#include <QHash>
#include <QString>
#include <QStringList>

#include <atomic>
#include <chrono>

namespace platform::office {

class RefusingHandler;

// A workbook that opens only with a password, and none (or a wrong one) was
// given; or one whose encryption the office does not decrypt at all, which
// no password helps.
class PasswordRequired : public OfficeFailure
{
public:
    // scheme: the name of an encryption the office does not decrypt.
    explicit PasswordRequired(const QString &undecryptable = {})
        : OfficeFailure(undecryptable.isEmpty()
                            ? QStringLiteral("the workbook is password-protected")
                            : QStringLiteral("the workbook is password-protected (%1 encryption, which LibreOffice "
                                             "does not decrypt)")
                                  .arg(undecryptable)),
          m_passwordsHelp(undecryptable.isEmpty())
    {}
    bool passwordsHelp() const { return m_passwordsHelp; }

private:
    bool m_passwordsHelp;
};

// The UNO side of one office process: connecting, loading, storing,
// closing, terminating. Every function blocks until the office answers and
// throws OfficeFailure with a readable message; UNO exceptions that mean the
// office is gone (DisposedException and other RuntimeExceptions of the
// bridge) pass through as they are, so the caller can tell the two apart.
class UnoOffice
{
public:
    using Document = css::uno::Reference<css::lang::XComponent>;

    UnoOffice();
    ~UnoOffice();

    // Launches the process (again, when a fresh profile asks for a restart)
    // and connects to it, retrying until the deadline or until *cancelled
    // (when given) turns true.
    void connect(OfficeProcess &process, std::chrono::steady_clock::time_point deadline,
                 const std::atomic_bool *cancelled = nullptr);

    // Loads a workbook read-only, without macros or link updates, refusing
    // every question, and without a window: a document that is only stored
    // needs no frame or view. Fails for anything that is not a spreadsheet
    // (before loading it), with PasswordRequired for an encrypted workbook
    // that the password (if any) does not open. *filter (when given) gets
    // the import filter that read it.
    Document load(const QString &path, const QString &password = {}, QString *filter = nullptr);
    // Stores with an export filter of the office.
    void store(const Document &document, const QString &path, const QString &filter, const QString &options);
    void close(const Document &document);
    // The names of a loaded workbook's sheets, in order.
    static QStringList sheetNames(const Document &document);
    void terminate();

    static css::uno::Reference<css::uno::XComponentContext> localContext();

private:
    RefusingHandler *interactionHandler();
    // The import filter for a file, found by the office's type detection;
    // empty when it recognises none. *aborted: a question of the detection
    // was refused.
    QString detectFilter(css::uno::Sequence<css::beans::PropertyValue> &descriptor, bool *aborted);
    // The document service a filter loads into ("com.sun.star.sheet.
    // SpreadsheetDocument", ...). Asked once per filter and office.
    QString documentServiceOf(const QString &filter);

    css::uno::Reference<css::uno::XComponentContext> m_context;
    css::uno::Reference<css::lang::XMultiComponentFactory> m_services;
    css::uno::Reference<css::frame::XDesktop2> m_desktop;
    css::uno::Reference<css::document::XTypeDetection> m_detection;
    css::uno::Reference<css::container::XNameAccess> m_filters;
    QHash<QString, QString> m_serviceOfFilter;
    QHash<QString, QString> m_filterOfType;
    rtl::Reference<RefusingHandler> m_handler;
};

QString toQString(const rtl::OUString &text);
rtl::OUString toOUString(const QString &text);
rtl::OUString fileUrl(const QString &path);
// The name of the import filter that loaded a document ("MS Excel 97", "calc8", ...).
QString filterOf(const css::uno::Reference<css::lang::XComponent> &document);

// What is wrong with an output path that could not be written, judged from
// the file system (and the office's error class, when it gave one).
QString saveFailureReason(const QString &path, const QString &officeMessage = {});

} // namespace platform::office
