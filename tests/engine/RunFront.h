#pragma once

#include "engine/ConversionRun.h"

#include <QList>
#include <QStringList>

// Settings and view in plain fields, so a test can change them mid-run.
struct Front : RunSettings, RunView
{
    QString masksText = "*.xls";
    QString output;
    bool kinds[3] = {true, false, false};

    QString masks() const override { return masksText; }
    QString outputDirectory() const override { return output; }
    bool isChecked(OutputKind kind) const override { return kinds[int(kind)]; }
    bool keepsTree() const override { return keepTree; }
    bool savesEverySheet() const override { return everySheet; }
    QStringList csvSheetPatterns() const override { return sheetPatterns; }
    platform::CsvFormat csvFormat() const override { return csv; }
    bool keepTree = false;
    bool everySheet = false;
    QStringList sheetPatterns;
    platform::CsvFormat csv;

    void setStatusText(const QString &text) override { status << text; }
    void appendLog(const QString &line) override { log << line; }
    void showResult(const FileResult &result) override
    {
        results << result;
        RunView::showResult(result);
    }
    QList<FileResult> results;
    void clearLog() override { log.clear(); }
    void setStartEnabled(bool enabled) override { startEnabled << enabled; }
    void showCounts(const RunCounts &c) override { counts = c; }
    void showMessage(const QString &text) override { messages << text; }
    void processEvents() override { ++yields; }
    QString successText() const override { return "OK"; }
    QString startFailureText() const override { return "Can't Open Excel"; }

    QStringList status, log, messages;
    QList<bool> startEnabled;
    RunCounts counts;
    int yields = 0;
};
