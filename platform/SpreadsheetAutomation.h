#pragma once

// What the program and the spreadsheet application it drives by name agree
// on: the name the application is registered under and the file-format
// codes a workbook's "SaveAs" takes. Both sides of the automation calls
// take them from here.
namespace platform::spreadsheet {

// The program identifier of the spreadsheet application.
inline constexpr char kProgId[] = "excel.application";

// The file-format codes of "SaveAs".
enum FileFormat : int {
    xlHtml = 44,           // web page
    xlCSV = 6,             // comma-separated values
    xlXMLSpreadsheet = 46, // XML spreadsheet (2003)
};

} // namespace platform::spreadsheet
