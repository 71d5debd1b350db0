#include "platform/office/OfficeBridge.h"

#include "platform/Automation.h"
#include "platform/FileSystem.h"
#include "platform/office/CallGate.h"
#include "platform/office/OfficeProcess.h"
#include "platform/office/SpreadsheetML.h"
#include "platform/office/UnoOffice.h"

#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>

#include <cerrno>
#include <cstdio>
#include <memory>

namespace platform::office {

namespace {

using Document = UnoOffice::Document;
using namespace std::chrono;

bool is(const QString &name, const char *expected)
{
    return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

AutomationError unknownName(const QString &name)
{
    return AutomationError(QStringLiteral("Unknown name: %1").arg(name));
}

// After "44,34,76,1", the filter's tokens 5 to 11 as it takes them when the
// list stops there (text quoted, cells as shown), then the sheet number.
const char *const kCsvSheetTokens = ",,0,true,true,false,false,false,%1";

// With a sheet number the CSV filter writes "<name>-<sheet name>.csv" beside
// the name it is given, and takes a failed write for success. It writes into
// a folder of its own here, so that the one file found there is the sheet;
// a file system left without space afterwards means the file may be short.
void storeOneSheet(UnoOffice &uno, const Document &document, const QString &path, const QString &filter,
                   const QString &options)
{
    const QFileInfo target(path);
    const auto failure = [&path](const QString &why) {
        return OfficeFailure(QStringLiteral("cannot save %1: %2").arg(QDir::toNativeSeparators(path), why));
    };
    QTemporaryDir folder(target.absolutePath() + QStringLiteral("/.tabulon-sheet-XXXXXX"));
    if (!folder.isValid())
        throw failure(saveFailureReason(path));
    uno.store(document, folder.filePath(target.fileName()), filter, options);
    const QFileInfoList written = QDir(folder.path()).entryInfoList(QDir::Files | QDir::Hidden);
    if (written.size() != 1)
        throw failure(QStringLiteral("LibreOffice wrote %1 files for one sheet").arg(written.size()));
    if (platform::writeProblem(folder.path()) == ENOSPC)
        throw failure(platform::describeError(ENOSPC));
    if (::rename(QFile::encodeName(written.first().filePath()).constData(), QFile::encodeName(path).constData()) != 0)
        throw failure(platform::describeError(errno));
}

// One office and everything needed to talk to it. Shared by the objects
// handed out, so it lives until the last of them is released; then the
// office goes too.
class OfficeCore : public std::enable_shared_from_this<OfficeCore>
{
public:
    OfficeCore(const OfficeOptions &options, std::shared_ptr<std::atomic_bool> cancelled)
        : m_options(options), m_cancelled(std::move(cancelled)) {}
    ~OfficeCore();

    void start();
    // A workbook's handle: the document and the office generation it
    // belongs to (a restarted office does not know older documents).
    struct Workbook
    {
        Document document;
        quint64 generation = 0;
        QStringList sheetNames;
    };
    Workbook open(const QString &path);
    // sheet: the one sheet (1-based) a CSV holds; 0 for the office's choice.
    void saveAs(const Workbook &workbook, const QString &path, int code, int sheet = 0);
    void close(const Workbook &workbook);
    void quit();

    bool visible = false;

private:
    void call(const QString &doing, int limitMs, std::function<void()> job);
    void launchOffice();
    void ensureOffice();
    void discardOffice();
    [[noreturn]] void officeDied(const QString &doing);

    OfficeOptions m_options;
    // Set from the calling thread, read by the worker while it connects.
    std::shared_ptr<std::atomic_bool> m_cancelled;
    std::unique_ptr<CallGate> m_gate = std::make_unique<CallGate>();
    std::unique_ptr<OfficeProcess> m_process;
    std::unique_ptr<UnoOffice> m_uno;
    quint64 m_generation = 0;
    bool m_quit = false;
};

OfficeCore::~OfficeCore()
{
    if (m_process)
        m_process->kill();
    m_gate.reset();
    m_uno.reset();
    m_process.reset();
}

void OfficeCore::call(const QString &doing, int limitMs, std::function<void()> job)
{
    if (m_gate->busy())
        throw AutomationError(QStringLiteral("LibreOffice is busy with another call"));
    const auto keepAlive = shared_from_this();
    CallGate::Outcome outcome;
    try {
        outcome = m_gate->run(job, milliseconds(limitMs));
    } catch (const OfficeFailure &failure) {
        throw AutomationError(failure.message());
    } catch (const css::lang::DisposedException &) {
        officeDied(doing);
    } catch (const css::uno::RuntimeException &e) {
        if (!m_process || !m_process->isRunning())
            officeDied(doing);
        throw AutomationError(QStringLiteral("LibreOffice failed while %1: %2").arg(doing, toQString(e.Message)));
    } catch (const css::uno::Exception &e) {
        throw AutomationError(QStringLiteral("LibreOffice failed while %1: %2").arg(doing, toQString(e.Message)));
    }
    if (outcome == CallGate::Outcome::TimedOut) {
        discardOffice();
        throw AutomationError(QStringLiteral("LibreOffice did not finish %1 within %2 s and was stopped; "
                                             "the next file gets a new LibreOffice")
                                  .arg(doing)
                                  .arg(limitMs / 1000.0));
    }
}

void OfficeCore::officeDied(const QString &doing)
{
    discardOffice();
    if (OfficeProcess::isEnding())
        throw AutomationError(QStringLiteral("stopped while %1, the program was told to end").arg(doing));
    throw AutomationError(QStringLiteral("LibreOffice stopped unexpectedly while %1; the next file gets a new LibreOffice").arg(doing));
}

// Kills the office and forgets it. A job still blocked on it ends with a
// DisposedException once the process is gone; only then may the UNO side
// be dropped, so a job that stays stuck keeps its objects (and its worker).
void OfficeCore::discardOffice()
{
    ++m_generation;
    if (m_process)
        m_process->kill();
    if (!m_gate->waitIdle(seconds(10))) {
        (void)m_uno.release();
        (void)m_process.release();
        m_gate = std::make_unique<CallGate>();
        return;
    }
    m_uno.reset();
    m_process.reset();
}

void OfficeCore::launchOffice()
{
    m_process = std::make_unique<OfficeProcess>(m_options.program);
    m_uno = std::make_unique<UnoOffice>();
    UnoOffice *uno = m_uno.get();
    OfficeProcess *process = m_process.get();
    const auto deadline = steady_clock::now() + milliseconds(m_options.startTimeoutMs);
    // Launched from the worker: the office's parent-death signal is tied to
    // the thread that started it, and the worker lives as long as this core.
    // The job holds the flag itself: a job stuck in the office may outlive this core.
    call(QStringLiteral("starting"), m_options.startTimeoutMs + 1000, [uno, process, deadline, cancelled = m_cancelled] {
        uno->connect(*process, deadline, cancelled.get());
    });
}

void OfficeCore::start()
{
    try {
        launchOffice();
    } catch (const AutomationError &error) {
        discardOffice();
        throw AutomationError(QStringLiteral("Can't start LibreOffice: %1").arg(error.message()));
    }
}

void OfficeCore::ensureOffice()
{
    if (m_quit)
        throw AutomationError(QStringLiteral("LibreOffice has been told to quit"));
    if (m_uno && m_process && m_process->isRunning())
        return;
    discardOffice();
    try {
        launchOffice();
    } catch (const AutomationError &error) {
        discardOffice();
        throw AutomationError(QStringLiteral("LibreOffice could not be restarted: %1").arg(error.message()));
    }
}

OfficeCore::Workbook OfficeCore::open(const QString &path)
{
    ensureOffice();
    auto result = std::make_shared<Workbook>();
    UnoOffice *uno = m_uno.get();
    call(QStringLiteral("loading the file"), m_options.callTimeoutMs, [uno, path, result] {
        result->document = uno->load(path);
        result->sheetNames = UnoOffice::sheetNames(result->document);
    });
    result->generation = m_generation;
    return *result;
}

void OfficeCore::saveAs(const Workbook &workbook, const QString &path, int code, int sheet)
{
    const char *filter = nullptr;
    const char *options = "";
    switch (code) {
    case 44:
        filter = "HTML (StarCalc)";
        break;
    case 6:
        // Comma, double quote, UTF-8, from line 1.
        filter = "Text - txt - csv (StarCalc)";
        options = "44,34,76,1";
        break;
    case 46:
        break;
    default:
        throw AutomationError(QStringLiteral("unsupported file format code %1").arg(code));
    }
    if (!workbook.document.is())
        throw AutomationError(QStringLiteral("the workbook is closed"));
    if (workbook.generation != m_generation || !m_uno)
        throw AutomationError(QStringLiteral("the workbook is no longer open (LibreOffice was restarted)"));
    UnoOffice *uno = m_uno.get();
    const Document document = workbook.document;
    if (sheet > 0 && code != 6)
        throw AutomationError(QStringLiteral("only a CSV holds one sheet alone"));
    if (sheet > workbook.sheetNames.size())
        throw AutomationError(QStringLiteral("the workbook has no sheet %1").arg(sheet));
    if (filter) {
        const QString f = QString::fromLatin1(filter), o = QString::fromLatin1(options);
        // A hidden workbook has no view whose sheet the filter could take:
        // it writes the first. Any other needs the filter's sheet option.
        call(QStringLiteral("saving the file"), m_options.callTimeoutMs, [uno, document, path, f, o, sheet] {
            if (sheet > 1)
                storeOneSheet(*uno, document, path, f, o + QString::fromLatin1(kCsvSheetTokens).arg(sheet));
            else
                uno->store(document, path, f, o);
        });
    } else {
        call(QStringLiteral("saving the file"), m_options.callTimeoutMs, [document, path] { writeSpreadsheetML(document, path); });
    }
}

void OfficeCore::close(const Workbook &workbook)
{
    // A workbook of an office that is gone is closed already.
    if (!workbook.document.is() || workbook.generation != m_generation || !m_uno)
        return;
    UnoOffice *uno = m_uno.get();
    const Document document = workbook.document;
    call(QStringLiteral("closing the workbook"), m_options.callTimeoutMs, [uno, document] { uno->close(document); });
}

void OfficeCore::quit()
{
    if (m_quit)
        return;
    m_quit = true;
    if (!m_uno || !m_process)
        return;
    UnoOffice *uno = m_uno.get();
    OfficeProcess *process = m_process.get();
    try {
        call(QStringLiteral("quitting"), m_options.callTimeoutMs, [uno, process] {
            uno->terminate();
            process->waitForExit(10 * 1000);
        });
    } catch (const AutomationError &) {
        // Whatever went wrong, the office is to be gone now.
    }
    discardOffice();
}

class WorkbookObject : public AutomationObject
{
public:
    WorkbookObject(std::shared_ptr<OfficeCore> core, OfficeCore::Workbook workbook)
        : m_core(std::move(core)), m_workbook(std::move(workbook)) {}

    QVariant property(const QString &name) override
    {
        if (is(name, "SheetNames"))
            return m_workbook.sheetNames;
        throw unknownName(name);
    }
    void setProperty(const QString &name, const QVariant &) override { throw unknownName(name); }

    QVariant invoke(const QString &method, const QVariantList &args) override
    {
        // Locals only: this object may be released by events handled during
        // the call.
        const auto core = m_core;
        const OfficeCore::Workbook workbook = m_workbook;
        if (is(method, "SaveAs")) {
            if (args.isEmpty() || isOmitted(args.at(0)) || args.at(0).toString().isEmpty())
                throw AutomationError(QStringLiteral("SaveAs needs a file name"));
            bool ok = false;
            const int code = args.size() > 1 && !isOmitted(args.at(1)) ? args.at(1).toInt(&ok) : 0;
            if (!ok)
                throw AutomationError(QStringLiteral("SaveAs needs a file format code"));
            int sheet = 0;
            if (args.size() > 2 && !isOmitted(args.at(2))) {
                sheet = args.at(2).toInt(&ok);
                if (!ok || sheet < 1)
                    throw AutomationError(QStringLiteral("SaveAs needs a sheet number from 1"));
            }
            core->saveAs(workbook, args.at(0).toString(), code, sheet);
            return {};
        }
        if (is(method, "Close")) {
            m_workbook.document.clear();
            core->close(workbook);
            return {};
        }
        throw unknownName(method);
    }

private:
    std::shared_ptr<OfficeCore> m_core;
    OfficeCore::Workbook m_workbook;
};

class WorkbooksObject : public AutomationObject
{
public:
    explicit WorkbooksObject(std::shared_ptr<OfficeCore> core) : m_core(std::move(core)) {}

    QVariant property(const QString &name) override { throw unknownName(name); }
    void setProperty(const QString &name, const QVariant &) override { throw unknownName(name); }

    QVariant invoke(const QString &method, const QVariantList &args) override
    {
        const auto core = m_core;
        if (is(method, "open")) {
            if (args.isEmpty() || isOmitted(args.at(0)) || args.at(0).toString().isEmpty())
                throw AutomationError(QStringLiteral("open needs a file name"));
            const QString path = args.at(0).toString();
            try {
                return toVariant(std::make_shared<WorkbookObject>(core, core->open(path)));
            } catch (const AutomationError &error) {
                throw AutomationError(QStringLiteral("Can't open the workbook: %1").arg(error.message()));
            }
        }
        throw unknownName(method);
    }

private:
    std::shared_ptr<OfficeCore> m_core;
};

class ApplicationObject : public AutomationObject
{
public:
    explicit ApplicationObject(std::shared_ptr<OfficeCore> core)
        : m_core(std::move(core)), m_workbooks(std::make_shared<WorkbooksObject>(m_core)) {}

    QVariant property(const QString &name) override
    {
        if (is(name, "visible"))
            return m_core->visible;
        if (is(name, "workbooks"))
            return toVariant(m_workbooks);
        throw unknownName(name);
    }

    void setProperty(const QString &name, const QVariant &value) override
    {
        if (!is(name, "visible"))
            throw unknownName(name);
        // A headless office has nothing to show; the value is kept.
        m_core->visible = value.toBool();
    }

    QVariant invoke(const QString &method, const QVariantList &) override
    {
        const auto core = m_core;
        if (is(method, "quit")) {
            core->quit();
            return {};
        }
        throw unknownName(method);
    }

private:
    std::shared_ptr<OfficeCore> m_core;
    AutomationRef m_workbooks;
};

} // namespace

void registerExcelApplication(const OfficeOptions &options)
{
    // The cancel flag of the start in progress, shared by the factory and
    // the canceller of this registration.
    auto pending = std::make_shared<std::shared_ptr<std::atomic_bool>>();
    auto create = [options, pending]() -> AutomationRef {
        auto cancelled = std::make_shared<std::atomic_bool>(false);
        *pending = cancelled;
        auto core = std::make_shared<OfficeCore>(options, cancelled);
        try {
            core->start();
        } catch (...) {
            pending->reset();
            throw;
        }
        pending->reset();
        return std::make_shared<ApplicationObject>(core);
    };
    auto cancel = [pending] {
        if (*pending)
            (*pending)->store(true);
    };
    registerAutomationServer(QString::fromLatin1(kProgId), create, cancel);
}

} // namespace platform::office
