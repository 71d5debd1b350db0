#include "cli/ResultPrinter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTextStream>

#include <gtest/gtest.h>

using batch::JsonLinesPrinter;

namespace {

FileResult result(const QString &path, FileResult::Status status)
{
    FileResult r;
    r.path = path;
    r.status = status;
    return r;
}

QList<QJsonObject> parseLines(const QString &text)
{
    QList<QJsonObject> objects;
    const QStringList lines = text.split('\n');
    EXPECT_TRUE(lines.last().isEmpty()) << "every object ends its line";
    for (const QString &line : lines.mid(0, lines.size() - 1)) {
        QJsonParseError error;
        const QJsonDocument document = QJsonDocument::fromJson(line.toUtf8(), &error);
        EXPECT_EQ(error.error, QJsonParseError::NoError) << qPrintable(line) << ": " << qPrintable(error.errorString());
        EXPECT_TRUE(document.isObject()) << qPrintable(line);
        objects << document.object();
    }
    return objects;
}

} // namespace

TEST(JsonLinesPrinter, EveryEntryAndTheCountIsOneParsableLine)
{
    FileResult ok = result("/s/a \"quoted\" \\ name\nwith a line break.xls", FileResult::Status::Ok);
    ok.outputs << "/o/a \"quoted\".htm";
    ok.seconds = 1.25;
    ok.notes << "the CSV holds only the first of 3 sheets";
    FileResult failed = result("/s/bad.xls", FileResult::Status::Failed);
    failed.error = "Can't open the workbook: the workbook is password-protected";
    FileResult replaced = result("/s/d/a.xls", FileResult::Status::Replaced);
    replaced.outputs << "/o/a.htm";
    replaced.replacedOwners << "/s/a.xls";

    QString out, err;
    QTextStream outStream(&out), errStream(&err);
    JsonLinesPrinter printer(outStream, errStream);
    printer.print(ok);
    printer.print(failed);
    printer.print(replaced);
    printer.finish(RunCounts{2, 1, 1});

    const QList<QJsonObject> objects = parseLines(out);
    ASSERT_EQ(objects.size(), 4) << qPrintable(out);
    EXPECT_EQ(objects[0]["path"].toString(), ok.path);
    EXPECT_EQ(objects[0]["status"].toString(), "ok");
    EXPECT_EQ(objects[0]["outputs"].toArray(), QJsonArray({"/o/a \"quoted\".htm"}));
    EXPECT_TRUE(objects[0]["error"].isNull());
    EXPECT_DOUBLE_EQ(objects[0]["seconds"].toDouble(), 1.25);
    EXPECT_EQ(objects[0]["notes"].toArray(), QJsonArray({"the CSV holds only the first of 3 sheets"}));
    EXPECT_FALSE(objects[0].contains("path_base64")) << "a UTF-8 path needs no bytes beside it";

    EXPECT_EQ(objects[1]["status"].toString(), "failed");
    EXPECT_EQ(objects[1]["error"].toString(), failed.error);
    EXPECT_EQ(objects[1]["outputs"].toArray(), QJsonArray());

    EXPECT_EQ(objects[2]["status"].toString(), "replaced");
    EXPECT_EQ(objects[2]["replaces"].toArray(), QJsonArray({"/s/a.xls"}));
    EXPECT_TRUE(objects[2]["error"].isNull());

    EXPECT_EQ(objects[3], QJsonObject({{"files", 3}, {"converted", 2}, {"failed", 1}, {"replaced", 1}}));
    EXPECT_EQ(err, "3 files: 2 converted, 1 failed, 1 replaced\n");
}
