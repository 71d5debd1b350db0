#pragma once

#include "engine/ConversionRun.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QMap>
#include <QStringList>

#include <functional>

// A spreadsheet application that records the calls it gets and "saves" by
// writing the source path into the output file.
class FakeConverter : public WorkbookConverter
{
public:
    void start() override
    {
        calls << "start";
        if (onStart)
            onStart();
        if (failStart || startCancelled)
            throw platform::AutomationError("no application");
        started = true;
    }
    void cancelStart() override
    {
        calls << "cancelStart";
        startCancelled = true;
    }
    // Not among calls: they come from the window, not from the run.
    void prepare() override { ++prepared; }
    void dismiss() override
    {
        ++dismissed;
        callsBeforeDismiss = calls;
    }
    void hide() override { calls << "hide"; }
    WorkbookRef open(const QString &path) override;
    void quit() override { calls << "quit"; }
    void release() override
    {
        calls << "release";
        started = false;
    }
    bool isStarted() const override { return started; }

    QStringList calls;
    int prepared = 0;
    int dismissed = 0;
    QStringList callsBeforeDismiss;
    QStringList opened;
    QStringList saved;       // "file|code"
    QStringList failOpenFor; // file names whose open fails
    QStringList failSaveFor; // file names whose save writes a part and its litter, then fails
    bool failStart = false;
    bool startCancelled = false;
    std::function<void()> onStart; // runs inside start(), as a yielding start would
    bool started = false;
    std::function<void(const QString &)> onOpen;
    std::function<void()> onSaved;         // after a save that succeeded
    QMap<QString, QStringList> sheetsFor;  // file name -> its sheets; none: the application does not tell
    QStringList lockedFor;                 // file names that open only with a password of the list
    QList<platform::CsvFormat> csvFormats; // of every CSV saved
};

class FakeWorkbook : public WorkbookConverter::Workbook
{
public:
    FakeWorkbook(FakeConverter &owner, QString path) : m_owner(owner), m_path(std::move(path)) {}
    void saveAs(const QString &fileName, FileFormat code) override
    {
        m_owner.saved << QStringLiteral("%1|%2").arg(fileName).arg(code);
        QFile out(fileName);
        if (!out.open(QIODevice::WriteOnly))
            throw platform::AutomationError(QStringLiteral(": cannot write %1").arg(fileName));
        if (m_owner.failSaveFor.contains(QFileInfo(m_path).fileName())) {
            // What a writer that dies half-way leaves: a part, a lock, a temporary folder.
            out.write("<html><body><table><tr><td>par");
            const QString dir = QFileInfo(fileName).path();
            QFile(dir + "/.~lock." + QFileInfo(fileName).fileName() + "#").open(QIODevice::WriteOnly);
            QDir(dir).mkpath("lu1234abcd.tmp/inner");
            throw platform::AutomationError(QStringLiteral(": cannot write %1: disk full").arg(fileName));
        }
        out.write(m_path.toUtf8());
        if (m_owner.onSaved)
            m_owner.onSaved();
    }
    // Saves like saveAs, with "#sheet" after the workbook's path in the file.
    void saveSheetAs(const QString &fileName, FileFormat code, int sheet) override
    {
        m_owner.saved << QStringLiteral("%1|%2|%3").arg(fileName).arg(code).arg(sheet);
        QFile out(fileName);
        if (!out.open(QIODevice::WriteOnly))
            throw platform::AutomationError(QStringLiteral(": cannot write %1").arg(fileName));
        out.write((m_path + QStringLiteral("#%1").arg(sheet)).toUtf8());
        if (m_owner.onSaved)
            m_owner.onSaved();
    }
    // Records the format and saves like the two above.
    void saveCsvAs(const QString &fileName, int sheet, const platform::CsvFormat &format) override
    {
        m_owner.csvFormats << format;
        if (sheet > 0)
            saveSheetAs(fileName, platform::spreadsheet::xlCSV, sheet);
        else
            saveAs(fileName, platform::spreadsheet::xlCSV);
    }
    bool openedWithPassword() const override { return m_owner.lockedFor.contains(QFileInfo(m_path).fileName()); }
    QStringList sheetNames() const override { return m_owner.sheetsFor.value(QFileInfo(m_path).fileName()); }
    void close() override { m_owner.calls << "close"; }

private:
    FakeConverter &m_owner;
    QString m_path;
};

inline WorkbookConverter::WorkbookRef FakeConverter::open(const QString &path)
{
    opened << path;
    if (onOpen)
        onOpen(path);
    if (failOpenFor.contains(QFileInfo(path).fileName()))
        throw platform::AutomationError(QStringLiteral(": broken workbook"));
    return std::make_shared<FakeWorkbook>(*this, path);
}
