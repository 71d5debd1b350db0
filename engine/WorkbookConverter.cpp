#include "engine/WorkbookConverter.h"

void WorkbookConverter::Workbook::saveSheetAs(const QString &, FileFormat, int)
{
    throw platform::AutomationError(QStringLiteral("the spreadsheet application cannot save one sheet alone"));
}
