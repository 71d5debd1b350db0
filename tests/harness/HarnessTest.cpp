// The helpers other suites lean on to tell passing from failing: a child
// run's XML report, a child program's exit and output, the modal-loop
// script, waiting out a timer's period, restoring the environment and the
// scratch tmpfs. A helper that let a failure through would make
// every suite using it pass falsely.
#include "common/ChildProgram.h"
#include "common/ScratchMount.h"
#include "common/TestSupport.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <QDialog>
#include <QSignalSpy>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

using namespace testsupport;

namespace {

bool inChild()
{
    return qEnvironmentVariableIsSet("TABULON_HARNESS_CHILD");
}

} // namespace

// Cases that only mean something inside the child run below.
TEST(HarnessChild, Passes)
{
    if (!inChild())
        GTEST_SKIP() << "only in the child run";
    EXPECT_EQ(1 + 1, 2);
}

TEST(HarnessChild, FailsWithAMessage)
{
    if (!inChild())
        GTEST_SKIP() << "only in the child run";
    EXPECT_EQ(qgetenv("TABULON_HARNESS_CHILD"), QByteArray("expected <fail> & told")) << "as planned";
}

TEST(HarnessChild, IsSkipped)
{
    GTEST_SKIP() << "skipped in every run";
}

TEST(Harness, ChildRunReportsPassedFailedAndSkippedCasesFromItsXml)
{
    QProcessEnvironment env;
    env.insert(QStringLiteral("TABULON_HARNESS_CHILD"), QStringLiteral("1"));
    const ChildTestRun run = runThisProgram(QStringLiteral("HarnessChild.*"), env, 60000);
    ASSERT_TRUE(run.error.isEmpty()) << run.error.toStdString() << run.output.toStdString();
    EXPECT_NE(run.exitCode, 0);
    EXPECT_EQ(run.tests, 2);
    EXPECT_EQ(run.skipped, 1);
    ASSERT_EQ(run.failures.size(), 1) << run.failures.join('\n').toStdString();
    EXPECT_TRUE(run.failures.first().startsWith(QStringLiteral("HarnessChild.FailsWithAMessage: ")))
        << run.failures.first().toStdString();
    EXPECT_TRUE(run.failures.first().contains(QStringLiteral("expected <fail> & told"))) << "markup is decoded";
    EXPECT_FALSE(run.passed());
    EXPECT_EQ(registeredCases("HarnessChild"), 3);
    EXPECT_EQ(registeredCases("NoSuchSuite"), 0);

    // Only the passing case: a pass, and the skipped case is not counted as run.
    const ChildTestRun good = runThisProgram(QStringLiteral("HarnessChild.Passes:HarnessChild.IsSkipped"), env, 60000);
    EXPECT_TRUE(good.passed()) << good.failures.join('\n').toStdString() << good.output.toStdString();
    EXPECT_EQ(good.tests, 1);
    EXPECT_EQ(good.skipped, 1);

    // A filter that selects nothing runs nothing, which is no pass.
    const ChildTestRun none = runThisProgram(QStringLiteral("NoSuchSuite.*"), env, 60000);
    EXPECT_EQ(none.tests, 0);
    EXPECT_FALSE(none.passed());
}

TEST(Harness, BrokenOrMissingReportsAreErrors)
{
    QTemporaryDir dir;
    ChildTestRun missing;
    EXPECT_FALSE(readGoogleTestReport(dir.filePath(QStringLiteral("none.xml")), &missing));
    EXPECT_FALSE(missing.error.isEmpty());
    EXPECT_FALSE(missing.passed());

    ChildTestRun cut;
    const QString path =
        writeFile(dir.path(), QStringLiteral("cut.xml"),
                  "<?xml version=\"1.0\"?><testsuites><testsuite><testcase name=\"A\" classname=\"S\"");
    EXPECT_FALSE(readGoogleTestReport(path, &cut));
    EXPECT_TRUE(cut.error.contains(QStringLiteral("unreadable"))) << cut.error.toStdString();
}

TEST(Harness, ModalScriptRunsItsStepsInOrderOrEscapesTheLoop)
{
    QDialog dialog;
    QStringList done;
    ModalScript script({{[&] { return dialog.isVisible(); }, [&] { done << QStringLiteral("shown"); }},
                        {[&] { return !done.isEmpty(); }, [&] { dialog.accept(); }}},
                       [&] { dialog.reject(); });
    EXPECT_EQ(dialog.exec(), QDialog::Accepted);
    EXPECT_TRUE(script.finished());
    EXPECT_EQ(script.failedStep(), -1);
    EXPECT_EQ(done, QStringList({QStringLiteral("shown")}));

    // A step that never comes true ends the loop through the escape.
    QDialog stuck;
    bool neverRan = true;
    ModalScript stalled(
        {{[&] { return stuck.isVisible(); }, [] {}}, {[] { return false; }, [&] { neverRan = false; }}},
        [&] { stuck.reject(); }, 200);
    EXPECT_EQ(stuck.exec(), QDialog::Rejected);
    EXPECT_FALSE(stalled.finished());
    EXPECT_EQ(stalled.failedStep(), 1);
    EXPECT_TRUE(neverRan);
}

TEST(Harness, LettingPeriodsPassOutlastsATimerOfThatPeriod)
{
    QTimer earlier;
    earlier.setSingleShot(true);
    QSignalSpy fired(&earlier, &QTimer::timeout);
    earlier.start(50);
    ASSERT_TRUE(letPeriodsPass(50, 1));
    EXPECT_EQ(fired.count(), 1);
}

TEST(Harness, ScopedEnvironmentPutsBackValuesAndAbsence)
{
    const char *name = "TABULON_HARNESS_VARIABLE";
    qunsetenv(name);
    {
        const ScopedEnvironment set(name, "one");
        EXPECT_EQ(qgetenv(name), QByteArray("one"));
        {
            const ScopedEnvironment gone(name, ScopedEnvironment::Unset);
            EXPECT_FALSE(qEnvironmentVariableIsSet(name));
        }
        EXPECT_EQ(qgetenv(name), QByteArray("one"));
        {
            const ScopedEnvironment empty(name, QByteArray(""));
            EXPECT_TRUE(qEnvironmentVariableIsSet(name));
            EXPECT_TRUE(qgetenv(name).isEmpty());
        }
        EXPECT_EQ(qgetenv(name), QByteArray("one"));
    }
    EXPECT_FALSE(qEnvironmentVariableIsSet(name));
}

TEST(Harness, AChildProgramGivesItsExitCodeOutputAndLines)
{
    const ProgramRun run = runProgram({"sh", "-c", "printf 'one\\n\\ntwo\\nlast'; echo told >&2; exit 3"});
    EXPECT_EQ(run.status, 3);
    EXPECT_EQ(run.out, "one\n\ntwo\nlast");
    EXPECT_EQ(run.lines, QStringList({"one", "two", "last"})) << "blank lines are left out, a last line is kept";
    EXPECT_EQ(run.err, "told\n");

    RunningProgram early({"sh", "-c", "exit 5"});
    ASSERT_TRUE(QTest::qWaitFor([&] { return early.process().state() == QProcess::NotRunning; }, 10000));
    EXPECT_TRUE(early.finish()) << "a child that ended before finish() was asked";
    EXPECT_EQ(early.status(), 5);
}

TEST(Harness, AChildThatCrashesHangsOrCannotStartIsNeverASuccess)
{
    const ProgramRun crashed = runProgram({"sh", "-c", "kill -SEGV $$"});
    EXPECT_EQ(crashed.status, -1);

    // Told to print its pid and hang: killed at the limit, and gone after.
    RunningProgram hung({"sh", "-c", "echo $$; exec sleep 60"});
    ASSERT_TRUE(hung.waitForLines(1, 10000));
    const QString pid = hung.lines().first();
    EXPECT_FALSE(hung.finish(200));
    EXPECT_TRUE(hung.timedOut());
    EXPECT_EQ(hung.status(), -1) << "a hung child's exit code would read 0";
    EXPECT_TRUE(hung.err().contains("did not end within 0.2 s")) << qPrintable(hung.err());
    EXPECT_FALSE(QFileInfo::exists("/proc/" + pid + "/cmdline")) << "pid " << qPrintable(pid);

    const ProgramRun missing = runProgram({"/nonexistent/program"});
    EXPECT_EQ(missing.status, -1);
    EXPECT_TRUE(missing.err.contains("did not start")) << qPrintable(missing.err);
}

TEST(Harness, LinesOfARunningChildArriveAsTheyAreWritten)
{
    QTemporaryDir dir;
    const QString go = dir.filePath("go");
    // Two lines, then nothing until the test lets it go on.
    RunningProgram child(
        {"sh", "-c", QStringLiteral("printf 'a\\nb\\n'; while [ ! -e '%1' ]; do sleep 0.01; done; echo c").arg(go)});
    ASSERT_TRUE(child.started());
    ASSERT_TRUE(child.waitForLines(2, 10000));
    EXPECT_EQ(child.lines(), QStringList({"a", "b"}));
    EXPECT_FALSE(child.waitForLines(3, 50)) << "no line before it is written";
    QFile(go).open(QIODevice::WriteOnly);
    EXPECT_TRUE(child.finish(10000));
    EXPECT_EQ(child.status(), 0);
    EXPECT_EQ(child.lines(), QStringList({"a", "b", "c"}));
    EXPECT_EQ(child.result().out, "a\nb\nc\n");
}

TEST(Harness, AScratchMountFillsUpAtItsSizeAndGoesAway)
{
    QString path;
    {
        ScratchMount disk(64 << 10);
        if (!disk.mounted())
            GTEST_SKIP() << qPrintable(disk.whyNot());
        path = disk.path();
        QFile file(path + "/big");
        ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        EXPECT_LT(file.write(QByteArray(256 << 10, 'x')), qint64(256 << 10)) << "64 KB hold no 256 KB";

        ScratchMount readOnly(64 << 10, true);
        ASSERT_TRUE(readOnly.mounted()) << qPrintable(readOnly.whyNot());
        EXPECT_FALSE(QFile(readOnly.path() + "/x").open(QIODevice::WriteOnly));
    }
    EXPECT_FALSE(QFileInfo::exists(path)) << "unmounted and removed";
}
