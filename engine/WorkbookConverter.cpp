#include "engine/WorkbookConverter.h"

void WorkbookConverter::Workbook::saveCsvAs(const QString &fileName, int sheet, const platform::CsvFormat &format)
{
    if (format != platform::CsvFormat())
        throw platform::AutomationError(QStringLiteral("the spreadsheet application cannot write CSV in another form"));
    if (sheet > 0)
        saveSheetAs(fileName, platform::spreadsheet::xlCSV, sheet);
    else
        saveAs(fileName, platform::spreadsheet::xlCSV);
}

void WorkbookConverter::Workbook::saveSheetAs(const QString &, FileFormat, int)
{
    throw platform::AutomationError(QStringLiteral("the spreadsheet application cannot save one sheet alone"));
}
