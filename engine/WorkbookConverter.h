#pragma once

#include "platform/Automation.h"
#include "platform/CsvFormat.h"
#include "platform/SpreadsheetAutomation.h"

#include <QString>
#include <QStringList>

#include <memory>

// The run's only road to the spreadsheet application: a small typed
// interface; how the calls reach the application (by name, for the one
// registered as "excel.application") is the implementation's business.
// Every failure is raised as platform::AutomationError with the message the
// log shows.
class WorkbookConverter
{
public:
    // One opened workbook; dropping the last reference releases it.
    class Workbook
    {
    public:
        virtual ~Workbook() = default;
        using FileFormat = platform::spreadsheet::FileFormat;
        virtual void saveAs(const QString &fileName, FileFormat fileFormat) = 0;
        // Saves one sheet alone (1-based), for kinds that hold one sheet.
        virtual void saveSheetAs(const QString &fileName, FileFormat fileFormat, int sheet);
        // Saves a CSV of one sheet (1-based; 0: the application's choice) as
        // format says. By default only the default format, through the two
        // above.
        virtual void saveCsvAs(const QString &fileName, int sheet, const platform::CsvFormat &format);
        // Whether it opened only with a password of the application's list.
        virtual bool openedWithPassword() const { return false; }
        // The names of the sheets, in order, as read when the workbook was
        // opened; empty when the application does not tell.
        virtual QStringList sheetNames() const { return {}; }
        virtual void close() = 0;
    };
    using WorkbookRef = std::shared_ptr<Workbook>;

    virtual ~WorkbookConverter() = default;

    virtual void start() = 0;
    // Makes a start in progress (one that yields while it waits) fail soon;
    // called from an event handled during start().
    virtual void cancelStart() {}
    // Lets the application get ready in the background, so that a later
    // start() is quick; returns at once and never fails visibly.
    virtual void prepare() {}
    // Ends an application kept ready by prepare() or after a run's quit().
    virtual void dismiss() {}
    virtual void hide() = 0;
    virtual WorkbookRef open(const QString &path) = 0;
    virtual void quit() = 0;
    // Drops the reference to the application; a converter can be started again.
    virtual void release() = 0;
    virtual bool isStarted() const = 0;
};
