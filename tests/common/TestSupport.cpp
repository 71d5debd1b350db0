#include "common/TestSupport.h"

#include <QCoreApplication>
#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTest>
#include <QXmlStreamReader>

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <sys/wait.h>
#include <unistd.h>

namespace testsupport {

bool waitFor(const std::function<bool()> &pred, int ms)
{
    return QTest::qWaitFor(pred, ms);
}

QString writeFile(const QString &dir, const QString &relative, const QByteArray &data)
{
    const QString path = QDir(dir).filePath(relative);
    QDir().mkpath(QFileInfo(path).absolutePath());
    QFile file(path);
    if (file.open(QIODevice::WriteOnly))
        file.write(data);
    return path;
}

QByteArray fileBytes(const QString &path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("(unreadable)");
}

QString refusedAsItself(const QString &output)
{
    return QStringLiteral("Not converted: the output %1 is this workbook itself, which is left as it is").arg(output);
}

QString refusedAsInput(const QString &output)
{
    return QStringLiteral("Not converted: the output %1 is an input, which is left as it is").arg(output);
}

qint64 goneProcessId()
{
    const pid_t child = ::fork();
    if (child == 0)
        ::_exit(0);
    if (child > 0)
        ::waitpid(child, nullptr, 0);
    return child;
}

QStringList everythingIn(const QString &dir)
{
    QStringList found;
    QDirIterator it(dir, QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        found << QDir(dir).relativeFilePath(it.next());
    found.sort();
    return found;
}

QImage filledImage(QSize size, QColor colour)
{
    QImage image(size, QImage::Format_RGB32);
    image.fill(colour);
    return image;
}

unsigned rgbAt(const QImage &image, int x, int y)
{
    return image.pixel(x, y) & 0xFFFFFFu;
}

ScopedEnvironment::ScopedEnvironment(const char *name, const QByteArray &value)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
{
    qputenv(name, value);
}

ScopedEnvironment::ScopedEnvironment(const char *name, UnsetTag)
    : m_name(name), m_old(qgetenv(name)), m_had(qEnvironmentVariableIsSet(name))
{
    qunsetenv(name);
}

ScopedEnvironment::~ScopedEnvironment()
{
    if (m_had)
        qputenv(m_name.constData(), m_old);
    else
        qunsetenv(m_name.constData());
}

bool letPeriodsPass(int periodMs, int periods)
{
    int fired = 0;
    QTimer reference;
    QObject::connect(&reference, &QTimer::timeout, [&] { ++fired; });
    reference.start(periodMs);
    return QTest::qWaitFor([&] { return fired >= periods; }, std::max(5000, 20 * periodMs * periods));
}

ModalScript::ModalScript(std::vector<Step> steps, std::function<void()> escape, int timeoutMs)
    : m_steps(std::move(steps)), m_escape(std::move(escape)), m_timeoutMs(timeoutMs), m_timer(new QTimer)
{
    QObject::connect(m_timer.get(), &QTimer::timeout, [this] { poll(); });
    m_timer->start(5);
    m_sinceStep.start();
}

ModalScript::~ModalScript() = default;

void ModalScript::poll()
{
    if (finished() || m_failed >= 0)
        return;
    const Step &step = m_steps[size_t(m_next)];
    if (step.ready()) {
        ++m_next;
        m_sinceStep.restart();
        step.action();
    } else if (m_sinceStep.hasExpired(m_timeoutMs)) {
        m_failed = m_next;
        m_timer->stop();
        m_escape();
    }
}

int registeredCases(const char *suite)
{
    const ::testing::UnitTest &unit = *::testing::UnitTest::GetInstance();
    for (int i = 0; i < unit.total_test_suite_count(); ++i) {
        if (std::strcmp(unit.GetTestSuite(i)->name(), suite) == 0)
            return unit.GetTestSuite(i)->total_test_count();
    }
    return 0;
}

bool readGoogleTestReport(const QString &path, ChildTestRun *run)
{
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) {
        run->error = QStringLiteral("no test report at %1").arg(path);
        return false;
    }
    QXmlStreamReader xml(&file);
    QString current;
    bool skippedCase = false;
    while (!xml.atEnd()) {
        xml.readNext();
        if (xml.isStartElement() && xml.name() == QLatin1String("testcase")) {
            const QXmlStreamAttributes a = xml.attributes();
            current = a.value(QLatin1String("classname")).toString() + QLatin1Char('.')
                      + a.value(QLatin1String("name")).toString();
            skippedCase = a.value(QLatin1String("result")) == QLatin1String("skipped")
                          || a.value(QLatin1String("status")) == QLatin1String("notrun");
        } else if (xml.isStartElement() && xml.name() == QLatin1String("skipped")) {
            skippedCase = true;
        } else if (xml.isStartElement()
                   && (xml.name() == QLatin1String("failure") || xml.name() == QLatin1String("error"))) {
            run->failures << current + QStringLiteral(": ")
                                 + xml.attributes().value(QLatin1String("message")).toString();
        } else if (xml.isEndElement() && xml.name() == QLatin1String("testcase")) {
            ++(skippedCase ? run->skipped : run->tests);
        }
    }
    if (xml.hasError()) {
        run->error = QStringLiteral("unreadable test report %1: %2").arg(path, xml.errorString());
        return false;
    }
    return true;
}

static ChildTestRun runChild(const QString &program, QStringList arguments, const QString &filter,
                             const QProcessEnvironment &env, int timeoutMs)
{
    ChildTestRun run;
    QTemporaryDir reportDir;
    const QString report = reportDir.filePath(QStringLiteral("report.xml"));
    arguments << QStringLiteral("--gtest_filter=") + filter << QStringLiteral("--gtest_output=xml:") + report;
    QProcessEnvironment childEnv = QProcessEnvironment::systemEnvironment();
    childEnv.insert(env);
    QProcess child;
    child.setProcessEnvironment(childEnv);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(program, arguments);
    if (!child.waitForStarted(10000)) {
        run.error = QStringLiteral("%1 did not start: %2").arg(program, child.errorString());
        return run;
    }
    if (!child.waitForFinished(timeoutMs)) {
        child.kill();
        child.waitForFinished(5000);
        run.output = QString::fromLocal8Bit(child.readAll());
        run.error = QStringLiteral("the child run did not end within %1 ms").arg(timeoutMs);
        return run;
    }
    run.output = QString::fromLocal8Bit(child.readAll());
    run.exitCode = child.exitStatus() == QProcess::NormalExit ? child.exitCode() : -1;
    readGoogleTestReport(report, &run);
    return run;
}

ChildTestRun runThisProgram(const QString &filter, const QProcessEnvironment &env, int timeoutMs)
{
    return runChild(QCoreApplication::applicationFilePath(), {}, filter, env, timeoutMs);
}

ChildTestRun runThisProgramOnXvfb(const QString &filter, const QProcessEnvironment &env, int timeoutMs)
{
    const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("xvfb-run"));
    if (xvfb.isEmpty()) {
        ChildTestRun run;
        run.error = QStringLiteral("xvfb-run is not installed");
        return run;
    }
    QProcessEnvironment onX11 = env;
    if (!onX11.contains(QStringLiteral("QT_QPA_PLATFORM")))
        onX11.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    if (!onX11.contains(QStringLiteral("QT_SCALE_FACTOR")))
        onX11.insert(QStringLiteral("QT_SCALE_FACTOR"), QStringLiteral("1"));
    const QStringList server = {QStringLiteral("-a"), QStringLiteral("-s"), QStringLiteral("-screen 0 1024x768x24"),
                                QCoreApplication::applicationFilePath()};
    return runChild(xvfb, server, filter, onX11, timeoutMs);
}

void expectSuitePassesOnXvfb(const char *suite, int timeoutMs)
{
    const ChildTestRun run = runThisProgramOnXvfb(QString::fromLatin1(suite) + QStringLiteral(".*"), {}, timeoutMs);
    if (run.error == QLatin1String("xvfb-run is not installed"))
        GTEST_SKIP() << run.error.toStdString();
    EXPECT_TRUE(run.passed()) << run.error.toStdString() << "\n"
                              << run.failures.join('\n').toStdString() << "\n"
                              << run.output.toStdString();
    EXPECT_EQ(run.tests, registeredCases(suite)) << "every case ran, none was skipped";
}

ScopedCurrentDirectory::ScopedCurrentDirectory(const QString &path) : m_old(QDir::currentPath())
{
    QDir::setCurrent(path);
}

ScopedCurrentDirectory::~ScopedCurrentDirectory()
{
    QDir::setCurrent(m_old);
}

} // namespace testsupport
