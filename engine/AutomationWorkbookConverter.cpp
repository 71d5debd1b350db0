#include "engine/AutomationWorkbookConverter.h"

using platform::AutomationError;
using platform::AutomationRef;

namespace {

class AutomationWorkbook : public WorkbookConverter::Workbook
{
public:
    explicit AutomationWorkbook(AutomationRef object) : m_object(std::move(object)) {}

    void saveAs(const QString &fileName, FileFormat fileFormat) override
    {
        m_object->invoke(QStringLiteral("SaveAs"), {fileName, int(fileFormat)});
    }

    void saveSheetAs(const QString &fileName, FileFormat fileFormat, int sheet) override
    {
        m_object->invoke(QStringLiteral("SaveAs"), {fileName, int(fileFormat), sheet});
    }

    void saveCsvAs(const QString &fileName, int sheet, const platform::CsvFormat &format) override
    {
        m_object->invoke(QStringLiteral("SaveAs"),
                         {fileName, int(platform::spreadsheet::xlCSV),
                          sheet > 0 ? QVariant(sheet) : platform::omitted(), QVariant::fromValue(format)});
    }

    bool openedWithPassword() const override
    {
        return m_object->property(QStringLiteral("OpenedWithPassword")).toBool();
    }

    QStringList sheetNames() const override { return m_object->property(QStringLiteral("SheetNames")).toStringList(); }

    void close() override { m_object->invoke(QStringLiteral("Close"), {platform::omitted()}); }

private:
    AutomationRef m_object;
};

} // namespace

platform::AutomationObject &AutomationWorkbookConverter::application()
{
    if (!m_application)
        throw AutomationError(QStringLiteral("The spreadsheet application is not started"));
    return *m_application;
}

void AutomationWorkbookConverter::start()
{
    m_application = platform::createAutomationObject(QString::fromLatin1(platform::spreadsheet::kProgId));
}

void AutomationWorkbookConverter::cancelStart()
{
    platform::cancelAutomationCreation(QString::fromLatin1(platform::spreadsheet::kProgId));
}

void AutomationWorkbookConverter::prepare()
{
    platform::prepareAutomationObject(QString::fromLatin1(platform::spreadsheet::kProgId));
}

void AutomationWorkbookConverter::dismiss()
{
    platform::dismissPreparedAutomationObject(QString::fromLatin1(platform::spreadsheet::kProgId));
}

void AutomationWorkbookConverter::hide()
{
    application().setProperty(QStringLiteral("visible"), false);
}

WorkbookConverter::WorkbookRef AutomationWorkbookConverter::open(const QString &path)
{
    const AutomationRef workbooks =
        platform::toObject(application().property(QStringLiteral("workbooks")), QStringLiteral("workbooks"));
    const AutomationRef workbook =
        platform::toObject(workbooks->invoke(QStringLiteral("open"), {path}), QStringLiteral("The opened workbook"));
    return std::make_shared<AutomationWorkbook>(workbook);
}

void AutomationWorkbookConverter::quit()
{
    application().invoke(QStringLiteral("quit"));
}

void AutomationWorkbookConverter::release()
{
    m_application.reset();
}
