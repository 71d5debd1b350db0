// The helpers other suites lean on to tell passing from failing: a child
// run's XML report, the modal-loop script, waiting out a timer's period and
// restoring the environment. A helper that let a failure through would make
// every suite using it pass falsely.
#include "common/TestSupport.h"

#include <QDialog>
#include <QSignalSpy>
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
