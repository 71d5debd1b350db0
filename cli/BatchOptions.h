#pragma once

#include "app/ConversionRun.h"
#include "cli/ResultPrinter.h"

#include <QString>
#include <QStringList>

namespace batch {

// What tabulon-batch was asked to do, read from its command line.
struct Options
{
    QString source;
    QString out;
    QString masks = QStringLiteral("*.xls");
    OutputKind kind = OutputKind::Html;
    QString office;
    bool keepTree = false;
    LogFormat logFormat = LogFormat::Text;
    bool csvAllSheets = false;
};

struct ParsedArguments
{
    enum class Request { Run, Help, Version, Error };

    Request request = Request::Run;
    Options options;
    // The help text, the version line or the error message; empty for Run.
    QString text;
};

// Reads the arguments (without the program name). Unknown options, stray
// words, missing values, an unknown kind, a missing --source/--out and a
// source that is not a directory are errors.
ParsedArguments parseArguments(const QStringList &arguments);

// "usage: tabulon-batch --source DIR ..." on one line, from the option table.
QString usageLine();

QString versionLine();

} // namespace batch
