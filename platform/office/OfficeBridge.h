#pragma once

#include "platform/SpreadsheetAutomation.h"
#include "platform/office/RecyclePolicy.h"

#include <QString>
#include <QStringList>

// The spreadsheet application on Linux: a headless LibreOffice Calc that the
// bridge starts itself and drives through UNO, published as the automation
// server "excel.application".
//
// Objects and calls it serves (names compared without regard to case):
//   application  property "visible" (Boolean; the office always stays
//                hidden), property "workbooks", method "quit"
//   workbooks    method "open"(path) -> workbook, loaded without a window, read-only,
//                without running macros or updating links, refusing every
//                question the office would ask (password, repair, import
//                options), so that such files fail at once
//   workbook     method "SaveAs"(path, code [, sheet [, csv]]) with code 44
//                (HTML), 6 (CSV as the platform::CsvFormat csv says, by
//                default UTF-8, comma-separated, quoted where needed; with a
//                sheet number from 1, that sheet alone) or 46 (XML
//                spreadsheet), property "SheetNames" (the sheets' names in
//                order, read when first asked), property "OpenedWithPassword"
//                (only a password of OfficeOptions::passwords opened it),
//                method "Close"(omitted): the office closes it while the
//                caller goes on; the next call waits for that, and a close
//                that fails fails nothing (an office that died or kept the
//                workbook is replaced before the next file)
// Every failure raises platform::AutomationError with a message for the log.
//
// Creating the object starts the office (a few seconds) and fails when it
// cannot be started; it takes the office kept ready instead when there is
// one that still runs. platform::prepareAutomationObject(kProgId) starts an
// office in the background to be kept ready (creating the object meanwhile
// waits for that start), and platform::dismissPreparedAutomationObject(kProgId)
// ends the office kept ready at once. The office lives until "quit" or until the last
// reference to any of its objects is dropped, and it dies with the program,
// also when the program is killed. A call that does not finish within the
// time limit, or an office that dies, makes the bridge kill that office; the
// call fails with a message saying so and the next "open" starts a fresh one.
//
// Re-entrancy: every call blocks its caller, but while it waits for the
// office the calling thread keeps processing its events (paint, input,
// timers, posted events), like a modal dialog. Code run from those events
// may therefore run in the middle of a call: it may read state and repaint,
// but a call into the bridge made from there (on any of its objects) fails
// at once with a "busy" error instead of nesting, and an object may be
// released meanwhile (the call in progress keeps what it needs alive).
// Anything the caller owns may be destroyed by such event handlers, so the
// caller must not assume its own objects survive a call (hold QPointers).
namespace platform::office {

// Time limit for one whole load, store, close or quit.
inline constexpr int kDefaultCallTimeoutMs = 120 * 1000;
// Time limit for starting the office and connecting to it.
inline constexpr int kDefaultStartTimeoutMs = 60 * 1000;

// How long a window keeps its office ready after a run.
inline constexpr int kDefaultKeepReadyMs = 5 * 60 * 1000;

struct OfficeOptions
{
    // The office executable; empty means the installed LibreOffice.
    QString program;
    int callTimeoutMs = kDefaultCallTimeoutMs;
    int startTimeoutMs = kDefaultStartTimeoutMs;
    // 0: "quit" ends the office. Otherwise "quit" closes the documents still
    // open and keeps the office ready for the next creation, for at most
    // this long while idle.
    int keepReadyMs = 0;
    // An office is replaced by a fresh one, between two files, after this
    // many files (0: never) and once its resident memory passes this many
    // bytes (0: never; negative: defaultOfficeMemoryLimit() for one office).
    // The results of the files do not change.
    int recycleAfterFiles = kDefaultRecycleAfterFiles;
    qint64 recycleAboveBytes = -1;
    // Tried in order on a workbook that opens only with a password. Kept
    // in memory only: never on a command line, in a message or a trace.
    QStringList passwords;
};

// Whether the office writes CSV in this character set (a MIME or Unix name,
// or "UTF-16").
bool canWriteCsvEncoding(const QString &name);

// The program identifier the bridge registers.
using spreadsheet::kProgId;

// Registers (or re-registers with new options) "excel.application".
void registerExcelApplication(const OfficeOptions &options = {});

// Ends every office this program runs, at once, and removes their temporary
// folders and pipes; no office starts after it. For a program that is told
// to end by a signal: a call in progress then fails at once.
void endAllOffices();

} // namespace platform::office
