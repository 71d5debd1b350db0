#include "platform/office/OfficeBridge.h"

#include "platform/Automation.h"
#include "platform/FileSystem.h"
#include "platform/SystemResources.h"
#include "platform/office/CallGate.h"
#include "platform/office/CsvFilter.h"
#include "platform/office/OfficeProcess.h"
#include "platform/office/ReadyOffice.h"
#include "platform/office/SpreadsheetML.h"
#include "platform/office/StoredInDocument.h"
#include "platform/office/UnoOffice.h"

#include <com/sun/star/container/XIndexAccess.hpp>
#include <com/sun/star/drawing/XDrawPagesSupplier.hpp>
#include <com/sun/star/lang/DisposedException.hpp>
#include <com/sun/star/lang/XServiceInfo.hpp>
#include <com/sun/star/uno/RuntimeException.hpp>

#include <QDir>
#include <QFileInfo>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>
#include <set>
#include <vector>

namespace platform::office {

namespace {

using Document = UnoOffice::Document;
using namespace std::chrono;
using css::uno::Reference;
using css::uno::UNO_QUERY;
namespace container = css::container;
namespace drawing = css::drawing;
namespace lang = css::lang;

bool is(const QString &name, const char *expected)
{
    return name.compare(QLatin1String(expected), Qt::CaseInsensitive) == 0;
}

AutomationError unknownName(const QString &name)
{
    return AutomationError(QStringLiteral("Unknown name: %1").arg(name));
}

// TABULON_OFFICE_TRACE=1 prints every call to stderr: its time as the
// caller waited for it and as the worker spent it in the office.
bool tracing()
{
    static const bool on = qEnvironmentVariableIntValue("TABULON_OFFICE_TRACE") != 0;
    return on;
}

// How long an office to be replaced may take to end by itself.
constexpr int kEndLimitMs = 15 * 1000;

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

// The pictures and charts of a workbook: what a page of it shows as images.
int countPictures(const Document &document)
{
    const Reference<drawing::XDrawPagesSupplier> supplier(document, UNO_QUERY);
    if (!supplier.is())
        return 0;
    const Reference<container::XIndexAccess> pages(supplier->getDrawPages(), UNO_QUERY);
    int pictures = 0;
    for (sal_Int32 p = 0, n = pages.is() ? pages->getCount() : 0; p < n; ++p) {
        const Reference<container::XIndexAccess> shapes(pages->getByIndex(p), UNO_QUERY);
        for (sal_Int32 i = 0, m = shapes.is() ? shapes->getCount() : 0; i < m; ++i) {
            const Reference<lang::XServiceInfo> shape(shapes->getByIndex(i), UNO_QUERY);
            if (shape.is()
                && (shape->supportsService("com.sun.star.drawing.GraphicObjectShape")
                    || shape->supportsService("com.sun.star.drawing.OLE2Shape")))
                ++pictures;
        }
    }
    return pictures;
}

// The office writes a page's pictures beside it ("NAME_htm_<key>.png") and
// reports success also when one of them could not be written (a full
// disk): it leaves the picture out of the page then. A page that refers to
// a picture that is not there failed; so did one with fewer pictures than
// the workbook has when the disk is nearly full (some workbooks hold shapes
// that the page never shows, so the count alone proves nothing). The
// workbook's pictures are counted only then: asking the office costs a
// call per sheet.
void checkPagePictures(const QString &page, const Document &document)
{
    const QFileInfo info(page);
    const QByteArray prefix =
        QFile::encodeName(info.completeBaseName() + QLatin1Char('_') + info.suffix() + QLatin1Char('_'));
    QFile file(page);
    if (!file.open(QIODevice::ReadOnly))
        return; // what is wrong with the page itself shows where it is placed
    const QByteArray html = file.readAll();
    const QByteArray quoted = '"' + prefix;
    int shown = 0;
    bool missing = false;
    for (qsizetype at = html.indexOf(quoted); at >= 0; at = html.indexOf(quoted, at + 1), ++shown) {
        const qsizetype end = html.indexOf('"', at + 1);
        if (end < 0)
            break;
        const QString picture = info.dir().filePath(QFile::decodeName(html.mid(at + 1, end - at - 1)));
        missing = missing || QFileInfo(picture).size() == 0;
    }
    constexpr qint64 kNearlyFull = qint64(64) << 20;
    const bool fewer =
        QStorageInfo(info.absolutePath()).bytesAvailable() < kNearlyFull && shown < countPictures(document);
    if (!missing && !fewer)
        return;
    const QString reason = fewer || platform::writeProblem(info.absolutePath()) == ENOSPC
                               ? platform::describeError(ENOSPC)
                               : QStringLiteral("LibreOffice could not write every picture of the page");
    throw OfficeFailure(QStringLiteral("cannot save %1: %2").arg(QDir::toNativeSeparators(page), reason));
}

// One office and everything needed to talk to it. Shared by the objects
// handed out, so it lives until the last of them is released; then the
// office goes too, unless "quit" handed it to the holder of a ready office.
class OfficeCore : public ReadyOffice::Office, public std::enable_shared_from_this<OfficeCore>
{
public:
    // ready: where "quit" leaves the office for the next run; null when
    // "quit" ends it.
    OfficeCore(const OfficeOptions &options, std::weak_ptr<ReadyOffice> ready)
        : m_options(options), m_ready(std::move(ready)), m_recycle{options.recycleAfterFiles, options.recycleAboveBytes}
    {
        if (m_recycle.aboveBytes < 0)
            m_recycle.aboveBytes = defaultOfficeMemoryLimit(platform::physicalMemory(), 1);
    }
    ~OfficeCore() override;

    // Launches the office and connects to it on the worker, without
    // waiting; start() then waits for that start instead of making one.
    void beginStart();
    void start();
    bool isUsable() override;
    // Makes a start in progress fail soon; set from the calling thread.
    const std::shared_ptr<std::atomic_bool> &cancelFlag() const { return m_cancelled; }
    // A workbook's handle: the document and the office generation it
    // belongs to (a restarted office does not know older documents).
    struct Workbook
    {
        Document document;
        quint64 generation = 0;
        // Read at the first question, by any copy of the handle: only a
        // CSV needs them, and asking costs the office three calls.
        std::shared_ptr<std::optional<QStringList>> sheetNames = std::make_shared<std::optional<QStringList>>();
        bool withPassword = false; // opened with a password of the list
        QString path;
        QString filter; // the import filter that read it
        // What the file stores, read at the first save that needs it.
        std::shared_ptr<std::optional<StoredResults>> stored = std::make_shared<std::optional<StoredResults>>();

        // On the worker only.
        const StoredResults &storedResults() const
        {
            if (!*stored)
                *stored = storedResultsOf(filter, path);
            return **stored;
        }
    };
    Workbook open(const QString &path);
    // sheet: the one sheet (1-based) a CSV holds; 0 for the office's choice.
    void saveAs(const Workbook &workbook, const QString &path, int code, int sheet = 0, const CsvFormat &csv = {});
    void close(const Workbook &workbook);
    QStringList sheetNames(const Workbook &workbook);
    void quit();

    bool visible = false;

private:
    void call(const QString &doing, int limitMs, std::function<void()> job);
    // Hands job to the worker; with the trace on, answers where the job
    // notes its time in the office.
    std::shared_ptr<std::atomic<double>> submit(std::function<void()> job);
    void finishTraced(const QString &doing, int limitMs, steady_clock::time_point begin,
                      const std::shared_ptr<std::atomic<double>> &inOffice);
    void settleClose();
    // Loads into workbook; *locked tells afterwards whether it failed for
    // want of the right password.
    void load(const QString &path, const QString &password, const std::shared_ptr<Workbook> &workbook,
              const std::shared_ptr<std::atomic_bool> &locked);
    void openWithPasswords(const QString &path, const std::shared_ptr<Workbook> &workbook);
    void finishCall(const QString &doing, int limitMs);
    void launchOffice();
    void finishStart();
    void ensureOffice();
    void recycleIfDue();
    void endOffice(int limitMs);
    void discardOffice();
    bool closeForKeeping();
    [[noreturn]] void officeDied(const QString &doing);

    OfficeOptions m_options;
    std::weak_ptr<ReadyOffice> m_ready;
    RecyclePolicy m_recycle;
    // Set from the calling thread, read by the worker while it connects.
    // The job holds it too: a job stuck in the office may outlive this core.
    std::shared_ptr<std::atomic_bool> m_cancelled = std::make_shared<std::atomic_bool>(false);
    std::unique_ptr<CallGate> m_gate = std::make_unique<CallGate>();
    std::unique_ptr<OfficeProcess> m_process;
    std::unique_ptr<UnoOffice> m_uno;
    std::vector<Workbook> m_open; // loaded and not closed yet
    steady_clock::time_point m_startDeadline;
    quint64 m_generation = 0;
    int m_filesOpened = 0; // by the office that runs now
    bool m_startPending = false;
    bool m_quit = false;
    // A close that was handed to the worker and not waited for: the office
    // closes a workbook while the caller delivers its outputs.
    struct PendingClose
    {
        steady_clock::time_point begin;
        std::shared_ptr<std::atomic<double>> inOffice;
    };
    std::optional<PendingClose> m_pendingClose;
    bool m_keepsAClosedWorkbook = false; // it refused a close: replaced before the next file
};

OfficeCore::~OfficeCore()
{
    // A start under way gives up instead of trying again on a killed office.
    m_cancelled->store(true);
    if (m_process)
        m_process->kill();
    m_gate.reset();
    m_uno.reset();
    m_process.reset();
}

void OfficeCore::call(const QString &doing, int limitMs, std::function<void()> job)
{
    if (m_gate->busy() || m_pendingClose)
        throw AutomationError(QStringLiteral("LibreOffice is busy with another call"));
    const auto begin = steady_clock::now();
    const auto inOffice = submit(std::move(job));
    finishTraced(doing, limitMs, begin, inOffice);
}

std::shared_ptr<std::atomic<double>> OfficeCore::submit(std::function<void()> job)
{
    if (!tracing()) {
        m_gate->submit(job);
        return nullptr;
    }
    auto inOffice = std::make_shared<std::atomic<double>>(-1);
    m_gate->submit([job, inOffice] {
        const auto t0 = steady_clock::now();
        job();
        inOffice->store(duration<double, std::milli>(steady_clock::now() - t0).count());
    });
    return inOffice;
}

void OfficeCore::finishTraced(const QString &doing, int limitMs, steady_clock::time_point begin,
                              const std::shared_ptr<std::atomic<double>> &inOffice)
{
    if (!inOffice) {
        finishCall(doing, limitMs);
        return;
    }
    try {
        finishCall(doing, limitMs);
    } catch (...) {
        std::fprintf(stderr, "tabulon-office: %s failed after %.3f ms\n", qPrintable(doing),
                     duration<double, std::milli>(steady_clock::now() - begin).count());
        throw;
    }
    std::fprintf(stderr, "tabulon-office: %s %.3f ms, in the worker %.3f ms\n", qPrintable(doing),
                 duration<double, std::milli>(steady_clock::now() - begin).count(), inOffice->load());
}

// Waits for the close handed to the worker last, before the office is
// needed again. Its outputs were complete before it began, so a failure
// fails no file: an office that died is discarded (the next call starts
// a fresh one), one that kept the workbook is replaced before the next.
void OfficeCore::settleClose()
{
    if (!m_pendingClose)
        return;
    const PendingClose pending = *m_pendingClose;
    m_pendingClose.reset();
    try {
        finishTraced(QStringLiteral("closing the workbook"), m_options.callTimeoutMs, pending.begin, pending.inOffice);
    } catch (const AutomationError &) {
        m_keepsAClosedWorkbook = m_uno && m_process;
    }
}

// Waits for the job submitted last and turns what went wrong into the
// error the log shows.
void OfficeCore::finishCall(const QString &doing, int limitMs)
{
    const auto keepAlive = shared_from_this();
    CallGate::Outcome outcome;
    try {
        outcome = m_gate->wait(milliseconds(limitMs));
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
        throw StoppedError(QStringLiteral("stopped while %1, the program was told to end").arg(doing));
    throw AutomationError(
        QStringLiteral("LibreOffice stopped unexpectedly while %1; the next file gets a new LibreOffice").arg(doing));
}

// Kills the office and forgets it. A job still blocked on it ends with a
// DisposedException once the process is gone; only then may the UNO side
// be dropped, so a job that stays stuck keeps its objects (and its worker).
void OfficeCore::discardOffice()
{
    ++m_generation;
    m_pendingClose.reset(); // the job ends with the office
    m_keepsAClosedWorkbook = false;
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

// Hands the start to the worker; finishStart() waits for it.
void OfficeCore::launchOffice()
{
    m_process = std::make_unique<OfficeProcess>(m_options.program);
    m_uno = std::make_unique<UnoOffice>();
    UnoOffice *uno = m_uno.get();
    OfficeProcess *process = m_process.get();
    m_startDeadline = steady_clock::now() + milliseconds(m_options.startTimeoutMs);
    m_filesOpened = 0;
    // Launched from the worker: the office's parent-death signal is tied to
    // the thread that started it, and the worker lives as long as this core.
    m_gate->submit([uno, process, deadline = m_startDeadline, cancelled = m_cancelled] {
        uno->connect(*process, deadline, cancelled.get());
    });
    m_startPending = true;
}

void OfficeCore::finishStart()
{
    m_startPending = false;
    const auto left = duration_cast<milliseconds>(m_startDeadline - steady_clock::now()).count();
    finishCall(QStringLiteral("starting"), int(std::max<qint64>(left, 0)) + 1000);
    if (tracing()) {
        const double sinceLaunch = duration<double, std::milli>(
                                       steady_clock::now() - (m_startDeadline - milliseconds(m_options.startTimeoutMs)))
                                       .count();
        std::fprintf(stderr, "tabulon-office: starting %.3f ms, in the worker %.3f ms\n", sinceLaunch, sinceLaunch);
    }
}

void OfficeCore::beginStart()
{
    if (!m_startPending && !m_uno)
        launchOffice();
}

void OfficeCore::start()
{
    if (!m_startPending && isUsable())
        return; // kept ready by the run before
    try {
        if (!m_startPending)
            launchOffice();
        finishStart();
    } catch (const AutomationError &error) {
        discardOffice();
        throw AutomationError(QStringLiteral("Can't start LibreOffice: %1").arg(error.message()));
    }
}

bool OfficeCore::isUsable()
{
    // A start still under way counts: waiting for it beats starting anew.
    if (m_startPending)
        return !m_cancelled->load();
    return !m_quit && m_uno && m_process && m_process->isRunning();
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
        finishStart();
    } catch (const AutomationError &error) {
        discardOffice();
        // Ended by the program itself: the file was stopped, not failed.
        if (OfficeProcess::isEnding())
            throw StoppedError(QStringLiteral("stopped while starting the office, the program was told to end"));
        throw AutomationError(QStringLiteral("LibreOffice could not be restarted: %1").arg(error.message()));
    }
}

// Between files only: a workbook still open would be lost with the office.
void OfficeCore::recycleIfDue()
{
    if (!m_open.empty() || !m_process)
        return;
    const qint64 resident = m_recycle.watchesMemory() || tracing() ? m_process->residentBytes() : -1;
    if (tracing())
        std::fprintf(stderr, "tabulon-office: office %d resident %.1f MB after %d files\n", int(m_process->pid()),
                     resident / 1048576.0, m_filesOpened);
    const QString why = m_keepsAClosedWorkbook ? QStringLiteral("as it kept a workbook it was told to close")
                                               : m_recycle.reasonToReplace(m_filesOpened, resident);
    if (why.isEmpty())
        return;
    if (tracing())
        std::fprintf(stderr, "tabulon-office: replacing the office %s\n", qPrintable(why));
    // Not the whole call limit: a fresh office is waited for meanwhile.
    endOffice(std::min(m_options.callTimeoutMs, kEndLimitMs));
    ensureOffice();
}

OfficeCore::Workbook OfficeCore::open(const QString &path)
{
    settleClose();
    // Ended by the program itself while it closed the workbook before: this
    // one is stopped, not failed, and no office starts for it.
    if (OfficeProcess::isEnding())
        throw AutomationError(QStringLiteral("stopped while loading the file, the program was told to end"));
    ensureOffice();
    recycleIfDue();
    ++m_filesOpened;
    auto result = std::make_shared<Workbook>();
    auto locked = std::make_shared<std::atomic_bool>(false);
    try {
        load(path, {}, result, locked);
    } catch (const AutomationError &) {
        if (!locked->load() || m_options.passwords.isEmpty())
            throw;
        openWithPasswords(path, result);
    }
    result->generation = m_generation;
    m_open.push_back(*result);
    return *result;
}

void OfficeCore::load(const QString &path, const QString &password, const std::shared_ptr<Workbook> &workbook,
                      const std::shared_ptr<std::atomic_bool> &locked)
{
    UnoOffice *uno = m_uno.get();
    call(QStringLiteral("loading the file"), m_options.callTimeoutMs, [uno, path, password, workbook, locked] {
        try {
            workbook->document = uno->load(path, password, &workbook->filter);
            workbook->path = path;
        } catch (const PasswordRequired &refusal) {
            locked->store(refusal.passwordsHelp());
            throw;
        }
    });
}

// Each password is a load of its own, with its own time limit. A failure
// other than a refused password (the office died or hung) ends the list.
void OfficeCore::openWithPasswords(const QString &path, const std::shared_ptr<Workbook> &workbook)
{
    const QStringList &passwords = m_options.passwords;
    for (const QString &password : passwords) {
        auto locked = std::make_shared<std::atomic_bool>(false);
        try {
            ensureOffice();
            load(path, password, workbook, locked);
            workbook->withPassword = true;
            return;
        } catch (const AutomationError &) {
            if (!locked->load())
                throw;
        }
    }
    throw AutomationError(passwords.size() == 1
                              ? QStringLiteral("the workbook is password-protected (the one password of the list "
                                               "did not open it)")
                              : QStringLiteral("the workbook is password-protected (none of the %1 passwords "
                                               "opened it)")
                                    .arg(passwords.size()));
}

void OfficeCore::saveAs(const Workbook &workbook, const QString &path, int code, int sheet, const CsvFormat &csv)
{
    settleClose();
    const char *filter = nullptr;
    switch (code) {
    case spreadsheet::xlHtml:
        filter = "HTML (StarCalc)";
        break;
    case spreadsheet::xlCSV:
        filter = kCsvFilterName;
        break;
    case spreadsheet::xlXMLSpreadsheet:
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
    if (sheet > 0 && code != spreadsheet::xlCSV)
        throw AutomationError(QStringLiteral("only a CSV holds one sheet alone"));
    if (sheet > 0 && sheet > sheetNames(workbook).size())
        throw AutomationError(QStringLiteral("the workbook has no sheet %1").arg(sheet));
    if (code == spreadsheet::xlCSV) {
        QString options;
        try {
            // A hidden workbook has no view whose sheet the filter could
            // take: it writes the first. Any other needs the sheet token.
            options = csvFilterOptions(csv, sheet > 1 ? sheet : 0);
        } catch (const OfficeFailure &failure) {
            throw AutomationError(failure.message());
        }
        const QString f = QString::fromLatin1(filter);
        call(QStringLiteral("saving the file"), m_options.callTimeoutMs,
             [uno, document, path, f, options, sheet, csv, workbook] {
                 const StoredResultsInDocument stored(document, workbook.storedResults());
                 std::optional<RawValueFormats> raw;
                 if (csv.values == CsvFormat::Values::Raw)
                     raw.emplace(document, std::max(sheet, 1) - 1);
                 if (sheet > 1)
                     storeOneSheet(*uno, document, path, f, options);
                 else
                     uno->store(document, path, f, options);
                 raw.reset();
                 finishCsvFile(csv, path);
             });
    } else if (filter) {
        const QString f = QString::fromLatin1(filter);
        call(QStringLiteral("saving the file"), m_options.callTimeoutMs, [uno, document, path, f, workbook] {
            const StoredResultsInDocument stored(document, workbook.storedResults());
            uno->store(document, path, f, QString());
            checkPagePictures(path, document);
        });
    } else {
        call(QStringLiteral("saving the file"), m_options.callTimeoutMs,
             [document, path] { writeSpreadsheetML(document, path); });
    }
}

QStringList OfficeCore::sheetNames(const Workbook &workbook)
{
    if (*workbook.sheetNames)
        return **workbook.sheetNames;
    settleClose();
    if (!workbook.document.is())
        throw AutomationError(QStringLiteral("the workbook is closed"));
    if (workbook.generation != m_generation || !m_uno)
        throw AutomationError(QStringLiteral("the workbook is no longer open (LibreOffice was restarted)"));
    auto names = std::make_shared<QStringList>();
    call(QStringLiteral("reading the sheet names"), m_options.callTimeoutMs,
         [names, document = workbook.document] { *names = UnoOffice::sheetNames(document); });
    *workbook.sheetNames = *names;
    return *names;
}

void OfficeCore::close(const Workbook &workbook)
{
    settleClose();
    m_open.erase(std::remove_if(m_open.begin(), m_open.end(),
                                [&](const Workbook &w) { return w.document == workbook.document; }),
                 m_open.end());
    // A workbook of an office that is gone is closed already.
    if (!workbook.document.is() || workbook.generation != m_generation || !m_uno)
        return;
    if (m_gate->busy())
        throw AutomationError(QStringLiteral("LibreOffice is busy with another call"));
    UnoOffice *uno = m_uno.get();
    const Document document = workbook.document;
    const auto begin = steady_clock::now();
    m_pendingClose = PendingClose{begin, submit([uno, document] { uno->close(document); })};
}

// The office as the next run should find it: no documents open, and the
// handles of the run that quit no longer reach it.
bool OfficeCore::closeForKeeping()
{
    const std::vector<Workbook> open = std::move(m_open);
    m_open.clear();
    try {
        for (const Workbook &workbook : open)
            close(workbook);
    } catch (const AutomationError &) {
        return false;
    }
    settleClose();
    if (!isUsable() || m_keepsAClosedWorkbook)
        return false;
    ++m_generation;
    return true;
}

void OfficeCore::quit()
{
    if (m_quit)
        return;
    settleClose();
    if (const std::shared_ptr<ReadyOffice> ready = m_ready.lock()) {
        if (closeForKeeping()) {
            ready->keep(shared_from_this());
            return;
        }
    }
    m_quit = true;
    endOffice(m_options.callTimeoutMs);
}

// Lets the office end by itself (it removes its own files and writes its
// profile whole), and makes sure it is gone.
void OfficeCore::endOffice(int limitMs)
{
    settleClose();
    if (!m_uno || !m_process)
        return;
    UnoOffice *uno = m_uno.get();
    OfficeProcess *process = m_process.get();
    try {
        call(QStringLiteral("quitting"), limitMs, [uno, process] {
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
        : m_core(std::move(core)), m_workbook(std::move(workbook))
    {}

    QVariant property(const QString &name) override
    {
        if (is(name, "SheetNames")) {
            // Locals only: this object may be released during the call.
            const auto core = m_core;
            const OfficeCore::Workbook workbook = m_workbook;
            return core->sheetNames(workbook);
        }
        if (is(name, "OpenedWithPassword"))
            return m_workbook.withPassword;
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
            CsvFormat csv;
            if (args.size() > 3 && !isOmitted(args.at(3))) {
                if (code != spreadsheet::xlCSV || !args.at(3).canConvert<CsvFormat>())
                    throw AutomationError(QStringLiteral("SaveAs takes a CSV format only for a CSV"));
                csv = args.at(3).value<CsvFormat>();
            }
            core->saveAs(workbook, args.at(0).toString(), code, sheet, csv);
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
            } catch (const StoppedError &error) {
                throw StoppedError(QStringLiteral("Can't open the workbook: %1").arg(error.message()));
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
        : m_core(std::move(core)), m_workbooks(std::make_shared<WorkbooksObject>(m_core))
    {}

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

namespace {

// The cancel flags of the starts in progress, shared by the factory and the
// canceller of one registration. Several threads may each start an office of
// their own at once.
struct PendingStarts
{
    std::mutex mutex;
    std::set<std::shared_ptr<std::atomic_bool>> flags;
};

// Starts core and wraps it; while it starts, its cancel flag is among pending's.
AutomationRef startApplication(const std::shared_ptr<OfficeCore> &core, PendingStarts &pending)
{
    const std::shared_ptr<std::atomic_bool> flag = core->cancelFlag();
    {
        std::lock_guard<std::mutex> lock(pending.mutex);
        pending.flags.insert(flag);
    }
    auto forget = [&] {
        std::lock_guard<std::mutex> lock(pending.mutex);
        pending.flags.erase(flag);
    };
    try {
        core->start();
    } catch (...) {
        forget();
        throw;
    }
    forget();
    return std::make_shared<ApplicationObject>(core);
}

} // namespace

void registerExcelApplication(const OfficeOptions &options)
{
    auto pending = std::make_shared<PendingStarts>();
    // The office kept between runs; none when "quit" ends it.
    std::shared_ptr<ReadyOffice> ready;
    if (options.keepReadyMs > 0)
        ready = std::make_shared<ReadyOffice>(options.keepReadyMs);

    auto create = [options, pending, ready]() -> AutomationRef {
        if (ready) {
            if (auto kept = std::static_pointer_cast<OfficeCore>(ready->take())) {
                try {
                    return startApplication(kept, *pending);
                } catch (const AutomationError &) {
                    // Died while it started: a fresh one below, unless the
                    // caller gave up on this start.
                    if (kept->cancelFlag()->load())
                        throw;
                }
            }
        }
        return startApplication(std::make_shared<OfficeCore>(options, ready), *pending);
    };
    auto cancel = [pending] {
        std::lock_guard<std::mutex> lock(pending->mutex);
        for (const auto &flag : pending->flags)
            flag->store(true);
    };
    AutomationReadiness readiness;
    if (ready) {
        readiness.prepare = [options, ready] {
            if (ready->isHolding())
                return;
            auto core = std::make_shared<OfficeCore>(options, ready);
            core->beginStart();
            ready->keep(core);
        };
        readiness.dismiss = [ready] { ready->end(); };
    }
    registerAutomationServer(QString::fromLatin1(kProgId), create, cancel, readiness);
}

} // namespace platform::office
