#include "platform/office/UnoOffice.h"

#include "platform/FileSystem.h"
#include "platform/office/EncryptedWorkbook.h"
#include "platform/office/LoadSettings.h"

#include <com/sun/star/beans/PropertyValue.hpp>
#include <com/sun/star/bridge/UnoUrlResolver.hpp>
#include <com/sun/star/connection/NoConnectException.hpp>
#include <com/sun/star/container/NoSuchElementException.hpp>
#include <com/sun/star/document/MacroExecMode.hpp>
#include <com/sun/star/document/UpdateDocMode.hpp>
#include <com/sun/star/frame/Desktop.hpp>
#include <com/sun/star/frame/XLoadable.hpp>
#include <com/sun/star/frame/XModel.hpp>
#include <com/sun/star/frame/XModel3.hpp>
#include <com/sun/star/frame/XStorable.hpp>
#include <com/sun/star/io/IOException.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/IllegalArgumentException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/sheet/XSpreadsheetDocument.hpp>
#include <com/sun/star/sheet/XSpreadsheets.hpp>
#include <com/sun/star/task/XInteractionAbort.hpp>
#include <com/sun/star/task/XInteractionHandler.hpp>
#include <com/sun/star/task/XInteractionRequest.hpp>
#include <com/sun/star/util/CloseVetoException.hpp>
#include <com/sun/star/util/XCloseable.hpp>
#include <cppuhelper/bootstrap.hxx>
#include <cppuhelper/implbase1.hxx>
#include <rtl/ref.hxx>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QStringList>
#include <QUrl>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <mutex>
#include <thread>

using namespace css;
using css::uno::Reference;
using css::uno::UNO_QUERY;
using css::uno::UNO_QUERY_THROW;

namespace platform::office {

QString toQString(const rtl::OUString &text)
{
    return QString(reinterpret_cast<const QChar *>(text.getStr()), text.getLength());
}

rtl::OUString toOUString(const QString &text)
{
    return rtl::OUString(reinterpret_cast<const sal_Unicode *>(text.utf16()), text.size());
}

rtl::OUString fileUrl(const QString &path)
{
    return toOUString(QUrl::fromLocalFile(QFileInfo(path).absoluteFilePath()).toString(QUrl::FullyEncoded));
}

namespace {
beans::PropertyValue property(const char *name, const uno::Any &value)
{
    beans::PropertyValue p;
    p.Name = rtl::OUString::createFromAscii(name);
    p.Value = value;
    return p;
}
} // namespace

// Answers every question of the office with "abort" and remembers what was
// asked since the last forget(), so that a refused load can say why. One per
// office: a handler made per call would be one more object for the bridge
// to map and release for every file.
class RefusingHandler : public cppu::WeakImplHelper1<task::XInteractionHandler>
{
public:
    void SAL_CALL handle(const Reference<task::XInteractionRequest> &request) override
    {
        const uno::Any what = request->getRequest();
        {
            std::lock_guard<std::mutex> lock(m_mutex);
            m_asked << toQString(what.getValueTypeName());
            uno::Exception error;
            if (what >>= error)
                m_messages << toQString(error.Message);
        }
        const uno::Sequence<Reference<task::XInteractionContinuation>> choices = request->getContinuations();
        for (sal_Int32 i = 0; i < choices.getLength(); ++i) {
            Reference<task::XInteractionAbort> abort(choices[i], UNO_QUERY);
            if (abort.is()) {
                abort->select();
                return;
            }
        }
    }

    QStringList asked() const
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        return m_asked;
    }

    void forget()
    {
        std::lock_guard<std::mutex> lock(m_mutex);
        m_asked.clear();
        m_messages.clear();
    }

private:
    mutable std::mutex m_mutex;
    QStringList m_asked;
    QStringList m_messages;
};

namespace {

bool askedForPassword(const QStringList &asked)
{
    return std::any_of(asked.begin(), asked.end(),
                       [](const QString &type) { return type.contains(QLatin1String("PasswordRequest")); });
}

// Why the office refused a file, from the questions it asked.
QString refusalReason(const QStringList &asked)
{
    for (const QString &type : asked) {
        if (type.endsWith(QLatin1String("FilterOptionsRequest")))
            return QStringLiteral("the file is not a workbook (it could only be imported as text)");
        if (type.endsWith(QLatin1String("BrokenPackageRequest")))
            return QStringLiteral("the workbook is damaged");
        if (type.endsWith(QLatin1String("NoSuchFilterRequest"))
            || type.endsWith(QLatin1String("AmbigousFilterRequest")))
            return QStringLiteral("the file is not in a format that LibreOffice can read");
    }
    if (!asked.isEmpty())
        return QStringLiteral("the file is damaged or not a workbook");
    return QStringLiteral("the file is not a workbook or is damaged");
}

const char *const kTextFilter = "Text - txt - csv (StarCalc)";

bool isTextFile(const QString &path)
{
    const QString suffix = QFileInfo(path).suffix().toLower();
    return suffix == QLatin1String("csv") || suffix == QLatin1String("txt");
}

} // namespace

QString filterOf(const Reference<lang::XComponent> &document)
{
    // Only the one argument: the whole media descriptor is a large answer
    // to carry over the pipe for every file.
    uno::Sequence<beans::PropertyValue> args;
    const Reference<frame::XModel3> model3(document, UNO_QUERY);
    if (model3.is()) {
        uno::Sequence<rtl::OUString> wanted(1);
        wanted[0] = "FilterName";
        args = model3->getArgs2(wanted);
    } else {
        const Reference<frame::XModel> model(document, UNO_QUERY);
        if (!model.is())
            return {};
        args = model->getArgs();
    }
    for (sal_Int32 i = 0; i < args.getLength(); ++i) {
        rtl::OUString value;
        if (args[i].Name == "FilterName" && (args[i].Value >>= value))
            return toQString(value);
    }
    return {};
}

namespace {

// What the office would make of a file that loads into service.
QString documentKind(const QString &service)
{
    if (service == QLatin1String("com.sun.star.text.TextDocument")
        || service == QLatin1String("com.sun.star.text.GlobalDocument")
        || service == QLatin1String("com.sun.star.text.WebDocument"))
        return QStringLiteral("a text document");
    if (service == QLatin1String("com.sun.star.drawing.DrawingDocument"))
        return QStringLiteral("a drawing");
    if (service == QLatin1String("com.sun.star.presentation.PresentationDocument"))
        return QStringLiteral("a presentation");
    return QStringLiteral("something else");
}

} // namespace

QString saveFailureReason(const QString &path, const QString &officeMessage)
{
    const QFileInfo target(path);
    if (target.isDir())
        return QStringLiteral("%1 is a folder").arg(QDir::toNativeSeparators(path));
    QFileInfo ancestor(target.absolutePath());
    while (!ancestor.exists() && ancestor.absoluteFilePath() != ancestor.absolutePath())
        ancestor = QFileInfo(ancestor.absolutePath());
    if (ancestor.exists() && !ancestor.isDir())
        return QStringLiteral("the output folder cannot be created, %1 is a file")
            .arg(QDir::toNativeSeparators(ancestor.absoluteFilePath()));
    const QRegularExpressionMatch kind = QRegularExpression(QStringLiteral("Class:(\\w+)")).match(officeMessage);
    const QString cls = kind.hasMatch() ? kind.captured(1) : QString();
    if (cls == QLatin1String("Space"))
        return platform::describeError(ENOSPC);
    // The office's error classes are coarse: the file system tells what is in the way.
    if (ancestor.isDir()) {
        if (const int error = platform::writeProblem(ancestor.absoluteFilePath()))
            return platform::describeError(error);
    }
    if (cls == QLatin1String("Access"))
        return platform::describeError(EACCES);
    if (cls == QLatin1String("NotExists"))
        return QStringLiteral("the output folder does not exist");
    return QStringLiteral("write error");
}

UnoOffice::UnoOffice() = default;
UnoOffice::~UnoOffice() = default;

RefusingHandler *UnoOffice::interactionHandler()
{
    if (!m_handler.is())
        m_handler = new RefusingHandler;
    return m_handler.get();
}

Reference<uno::XComponentContext> UnoOffice::localContext()
{
    // Never destroyed: the UNO runtime must not be torn down by static
    // destructors while bridges may still exist.
    static std::once_flag once;
    static auto *context = new Reference<uno::XComponentContext>;
    static auto *failure = new QString;
    std::call_once(once, [] {
        ::setenv("URE_BOOTSTRAP", "vnd.sun.star.pathname:" TABULON_OFFICE_PROGRAM_DIR "/fundamentalrc", 1);
        try {
            *context = cppu::defaultBootstrap_InitialComponentContext();
        } catch (const uno::Exception &e) {
            *failure = toQString(e.Message);
        }
    });
    if (!context->is())
        throw OfficeFailure(QStringLiteral("the UNO runtime cannot be started: %1").arg(*failure));
    return *context;
}

void UnoOffice::connect(OfficeProcess &process, std::chrono::steady_clock::time_point deadline,
                        const std::atomic_bool *cancelled)
{
    // The office first: our own UNO runtime boots while it starts.
    process.launch();
    const Reference<bridge::XUnoUrlResolver> resolver = bridge::UnoUrlResolver::create(localContext());
    int restarts = 0;
    for (;;) {
        try {
            m_context.set(resolver->resolve(toOUString(process.connectUrl())), UNO_QUERY_THROW);
            m_desktop = frame::Desktop::create(m_context);
            m_services = m_context->getServiceManager();
            applyLoadSettings(m_context);
            return;
        } catch (const connection::NoConnectException &) {}
        // Before any restart: a cancelled start may have killed the office.
        if (cancelled && cancelled->load())
            throw OfficeFailure(QStringLiteral("the start was cancelled"));
        if (!process.isRunning()) {
            // A fresh profile makes the first start ask for a restart.
            if (process.exitStatus() == 81 && restarts++ < 3) {
                process.launch();
                continue;
            }
            // A profile of an earlier run that the office cannot start on.
            if (process.renewDamagedProfile()) {
                process.launch();
                continue;
            }
            throw OfficeFailure(
                QStringLiteral("LibreOffice ended during start-up (exit status %1)").arg(process.exitStatus()));
        }
        if (std::chrono::steady_clock::now() >= deadline)
            throw OfficeFailure(QStringLiteral("LibreOffice did not accept a connection in time"));
        // A failed connect costs next to nothing: a short pause finds the
        // office soon after it listens.
        std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
}

QString UnoOffice::detectFilter(uno::Sequence<beans::PropertyValue> &descriptor, bool *aborted)
{
    if (!m_detection.is()) {
        m_detection.set(m_services->createInstanceWithContext("com.sun.star.document.TypeDetection", m_context),
                        UNO_QUERY_THROW);
    }
    const rtl::OUString type = m_detection->queryTypeByDescriptor(descriptor, true);
    QString filter;
    for (const beans::PropertyValue &p : std::as_const(descriptor)) {
        bool flag = false;
        rtl::OUString text;
        if (p.Name == "Aborted" && (p.Value >>= flag))
            *aborted = flag;
        else if (p.Name == "FilterName" && (p.Value >>= text))
            filter = toQString(text);
    }
    if (type.isEmpty() || *aborted || !filter.isEmpty())
        return filter;
    // The detection named the type alone: its preferred filter loads it.
    const QString typeName = toQString(type);
    const auto known = m_filterOfType.constFind(typeName);
    if (known != m_filterOfType.constEnd())
        return *known;
    const Reference<container::XNameAccess> types(m_detection, UNO_QUERY_THROW);
    uno::Sequence<beans::PropertyValue> properties;
    types->getByName(type) >>= properties;
    for (const beans::PropertyValue &p : std::as_const(properties)) {
        rtl::OUString text;
        if (p.Name == "PreferredFilter" && (p.Value >>= text))
            filter = toQString(text);
    }
    m_filterOfType.insert(typeName, filter);
    return filter;
}

QString UnoOffice::documentServiceOf(const QString &filter)
{
    const auto known = m_serviceOfFilter.constFind(filter);
    if (known != m_serviceOfFilter.constEnd())
        return *known;
    if (!m_filters.is()) {
        m_filters.set(m_services->createInstanceWithContext("com.sun.star.document.FilterFactory", m_context),
                      UNO_QUERY_THROW);
    }
    QString service;
    uno::Sequence<beans::PropertyValue> properties;
    try {
        m_filters->getByName(toOUString(filter)) >>= properties;
    } catch (const container::NoSuchElementException &) {}
    for (const beans::PropertyValue &p : std::as_const(properties)) {
        rtl::OUString text;
        if (p.Name == "DocumentService" && (p.Value >>= text))
            service = toQString(text);
    }
    m_serviceOfFilter.insert(filter, service);
    return service;
}

UnoOffice::Document UnoOffice::load(const QString &path, const QString &password, QString *filterName)
{
    const QFileInfo info(path);
    if (!info.exists())
        throw OfficeFailure(QStringLiteral("the file does not exist"));
    if (!info.isFile())
        throw OfficeFailure(QStringLiteral("not a file"));
    if (info.size() == 0)
        throw OfficeFailure(QStringLiteral("the file is empty"));
    if (!m_desktop.is())
        throw OfficeFailure(QStringLiteral("LibreOffice is not connected"));

    RefusingHandler *handler = interactionHandler();
    handler->forget();
    const bool text = isTextFile(path);
    uno::Sequence<beans::PropertyValue> descriptor(6 + (text ? 2 : 0) + (password.isEmpty() ? 0 : 1));
    descriptor[0] = property("URL", uno::Any(fileUrl(path)));
    descriptor[1] = property("ReadOnly", uno::Any(true));
    descriptor[2] = property("MacroExecutionMode", uno::Any(document::MacroExecMode::NEVER_EXECUTE));
    descriptor[3] = property("UpdateDocMode", uno::Any(document::UpdateDocMode::NO_UPDATE));
    descriptor[4] = property("InteractionHandler", uno::Any(Reference<task::XInteractionHandler>(handler)));
    descriptor[5] = property("Silent", uno::Any(true));
    if (text) {
        // Text files are workbooks only when asked for by their name; they
        // are read as comma-separated UTF-8 then, without an options dialog.
        descriptor[6] = property("FilterName", uno::Any(rtl::OUString::createFromAscii(kTextFilter)));
        descriptor[7] = property("FilterOptions", uno::Any(rtl::OUString("44,34,76,1")));
    }
    if (!password.isEmpty())
        descriptor[descriptor.getLength() - 1] = property("Password", uno::Any(toOUString(password)));

    // Whatever the office answers for an encrypted workbook (a question, an
    // unknown format, a damaged file), the file itself tells the truth. An
    // .xls whose password the office did not even ask for is one it cannot
    // decrypt.
    const auto refuse = [&](const QString &reason) {
        if (askedForPassword(handler->asked()))
            throw PasswordRequired();
        switch (const Encryption encryption = encryptionOf(path)) {
        case Encryption::None:
            throw OfficeFailure(reason);
        case Encryption::Ooxml:
            throw PasswordRequired();
        case Encryption::BiffXor:
        case Encryption::BiffRc4:
        case Encryption::BiffCryptoApi:
            throw PasswordRequired(encryptionName(encryption));
        }
    };

    // What the office would open the file as is known before it is read: a
    // file that is not a workbook is never loaded. A question the detection
    // asked and had refused (a password, a repair) tells why it is not one.
    QString filter = QLatin1String(kTextFilter);
    if (!text) {
        bool aborted = false;
        filter = detectFilter(descriptor, &aborted);
        if (aborted || (filter.isEmpty() && !handler->asked().isEmpty()))
            refuse(refusalReason(handler->asked()));
        if (filter.isEmpty())
            refuse(QStringLiteral("the file is not in a format that LibreOffice can read"));
    }
    const QString service = documentServiceOf(filter);
    const bool takenForText = !text && filter == QLatin1String(kTextFilter);
    if (service != QLatin1String("com.sun.star.sheet.SpreadsheetDocument") || takenForText) {
        if (!handler->asked().isEmpty())
            refuse(refusalReason(handler->asked()));
        throw OfficeFailure(
            takenForText
                ? QStringLiteral("the file is not a workbook (it could only be imported as text)")
                : QStringLiteral("the file is not a workbook (LibreOffice reads it as %1)").arg(documentKind(service)));
    }

    const Reference<frame::XLoadable> loadable(m_services->createInstanceWithContext(toOUString(service), m_context),
                                               UNO_QUERY_THROW);
    const Document document(loadable, UNO_QUERY_THROW);
    // A load that fails leaves a model without contents behind.
    const auto discard = [&] {
        try {
            close(document);
        } catch (const OfficeFailure &) {}
    };
    try {
        loadable->load(descriptor);
    } catch (const lang::IllegalArgumentException &) {
        discard();
        refuse(QStringLiteral("the file is not in a format that LibreOffice can read"));
    } catch (const io::IOException &) {
        discard();
        refuse(refusalReason(handler->asked()));
    } catch (const uno::RuntimeException &) {
        throw; // the office is gone: the caller knows what to do
    } catch (const uno::Exception &) {
        discard();
        refuse(refusalReason(handler->asked()));
    }
    if (filterName)
        *filterName = filter;
    return document;
}

void UnoOffice::store(const Document &document, const QString &path, const QString &filter, const QString &options)
{
    uno::Sequence<beans::PropertyValue> props(options.isEmpty() ? 3 : 4);
    props[0] = property("FilterName", uno::Any(toOUString(filter)));
    props[1] = property("Overwrite", uno::Any(true));
    props[2] = property("InteractionHandler", uno::Any(Reference<task::XInteractionHandler>(interactionHandler())));
    if (!options.isEmpty())
        props[3] = property("FilterOptions", uno::Any(toOUString(options)));
    const Reference<frame::XStorable> storable(document, UNO_QUERY_THROW);
    try {
        storable->storeToURL(fileUrl(path), props);
    } catch (const io::IOException &e) {
        throw OfficeFailure(QStringLiteral("cannot save %1: %2")
                                .arg(QDir::toNativeSeparators(path), saveFailureReason(path, toQString(e.Message))));
    }
}

QStringList UnoOffice::sheetNames(const Document &document)
{
    QStringList names;
    const Reference<sheet::XSpreadsheetDocument> spreadsheet(document, UNO_QUERY);
    if (!spreadsheet.is())
        return names;
    const uno::Sequence<rtl::OUString> elements = spreadsheet->getSheets()->getElementNames();
    for (const rtl::OUString &name : elements)
        names << toQString(name);
    return names;
}

void UnoOffice::close(const Document &document)
{
    const Reference<util::XCloseable> closeable(document, UNO_QUERY);
    try {
        if (closeable.is())
            closeable->close(true);
        else
            document->dispose();
    } catch (const util::CloseVetoException &) {
        throw OfficeFailure(QStringLiteral("LibreOffice refused to close the workbook"));
    }
}

void UnoOffice::terminate()
{
    if (!m_desktop.is())
        return;
    try {
        m_desktop->terminate();
    } catch (const uno::RuntimeException &) {
        // The bridge goes down with the office: that is the point.
    }
    m_desktop.clear();
    m_detection.clear();
    m_filters.clear();
    m_services.clear();
    m_context.clear();
}

} // namespace platform::office
