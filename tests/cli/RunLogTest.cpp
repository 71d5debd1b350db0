#include "cli/RunLog.h"

#include <QDir>

#include <gtest/gtest.h>

namespace {

QList<QByteArray> linesOf(const QByteArray &text)
{
    QList<QByteArray> lines;
    for (const QByteArray &line : text.split('\n')) {
        if (!line.isEmpty())
            lines << line;
    }
    return lines;
}

} // namespace

TEST(RunLog, TheFilesWhoseLastEntryFailedInTheOrderOfTheirFirst)
{
    const QByteArray log =
        R"({"path":"/s/a.xls","status":"failed","outputs":[],"error":"Can't open the workbook: x","seconds":0.1,"replaces":[],"notes":[]}
{"path":"/s/b.xls","status":"ok","outputs":["/o/b.htm"],"error":null,"seconds":0.1,"replaces":[],"notes":[]}
{"path":"/s/c.xls","status":"failed","outputs":[],"error":"y","seconds":0.1,"replaces":[],"notes":[]}
{"path":"/s/d.xls","status":"failed","outputs":[],"error":"z","seconds":0.1,"replaces":[],"notes":[]}
{"path":"/s/e.xls","status":"skipped","outputs":[],"error":null,"seconds":0,"replaces":[],"notes":[]}
{"path":"/s/f.xls","status":"replaced","outputs":["/o/b.htm"],"error":null,"seconds":0.1,"replaces":["/s/b.xls"],"notes":[]}
{"files":6,"converted":2,"failed":3,"replaced":1}
{"path":"/s/c.xls","status":"ok","outputs":["/o/c.htm"],"error":null,"seconds":0.1,"replaces":[],"notes":[]}
{"path":"/s/b.xls","status":"failed","outputs":[],"error":"w","seconds":0.1,"replaces":[],"notes":[]}
{"path":"/s/x\ufffd.xls","path_base64":"L3MveP8ueGxz","status":"failed","outputs":[],"error":"v","seconds":0,"replaces":[],"notes":[]}
{"path":"rel/g.xls","status":"failed","outputs":[],"error":"u","seconds":0,"replaces":[],"notes":[]}
{"path":"/s/a.xls","status":"failed","outputs":[],"error":"again","seconds":0.1,"replaces":[],"notes":[]}
{"files":4,"converted":1,"failed":3,"replaced":0}
)";
    const batch::FileList files = batch::failedFilesOf(linesOf(log), "log.jsonl");
    EXPECT_TRUE(files.error.isEmpty()) << qPrintable(files.error);
    // c.xls succeeded when it was tried again; b.xls failed the second time.
    EXPECT_EQ(files.paths, (QStringList{"/s/a.xls", "/s/b.xls", "/s/d.xls", QFile::decodeName("/s/x\xff.xls"),
                                        QDir::current().absoluteFilePath("rel/g.xls")}));
}

TEST(RunLog, ALogThatIsNotOursIsRefusedWithItsLine)
{
    const struct
    {
        QByteArray log;
        QString error;
    } cases[] = {
        {"/s/a.xlsOK\n", "log.jsonl is not a jsonl log of tabulon-batch (line 1)"},
        {"{\"path\":\"/s/a.xls\",\"status\":\"ok\"}\n[1,2]\n",
         "log.jsonl is not a jsonl log of tabulon-batch (line 2)"},
        {"{\"path\":\"/s/a.xls\",\"status\":\"pending\"}\n", "log.jsonl is not a jsonl log of tabulon-batch (line 1)"},
        {"{\"path\":7,\"status\":\"failed\"}\n", "log.jsonl is not a jsonl log of tabulon-batch (line 1)"},
        {"{\"files\":\"many\"}\n", "log.jsonl is not a jsonl log of tabulon-batch (line 1)"},
        {"{\"path\":\"/s/a.xls\",\"status\":\"failed\"", "log.jsonl is not a jsonl log of tabulon-batch (line 1)"},
        {"", "log.jsonl is not a jsonl log of tabulon-batch (it is empty)"},
    };
    for (const auto &c : cases) {
        const batch::FileList files = batch::failedFilesOf(linesOf(c.log), "log.jsonl");
        EXPECT_EQ(files.error, c.error) << c.log.constData();
        EXPECT_TRUE(files.paths.isEmpty()) << c.log.constData();
    }
}
