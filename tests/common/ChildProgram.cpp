#include "common/ChildProgram.h"

#include <QTest>

namespace testsupport {

RunningProgram::RunningProgram(const QStringList &command, const QProcessEnvironment &env)
{
    m_process.setProcessEnvironment(env);
    m_process.start(command.value(0), command.mid(1));
}

RunningProgram::~RunningProgram()
{
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
    }
}

void RunningProgram::readOutput()
{
    m_out += m_process.readAllStandardOutput();
    for (qsizetype end = m_out.indexOf('\n', m_parsed); end >= 0; end = m_out.indexOf('\n', m_parsed)) {
        if (end > m_parsed)
            m_lines << QString::fromUtf8(m_out.mid(m_parsed, end - m_parsed));
        m_parsed = end + 1;
    }
}

const QStringList &RunningProgram::lines()
{
    readOutput();
    return m_lines;
}

bool RunningProgram::waitForLines(int count, int ms)
{
    return QTest::qWaitFor([&] { return lines().size() >= count; }, ms);
}

bool RunningProgram::finish(int ms)
{
    // waitForFinished() answers false for a child that has ended already.
    const bool ended = m_process.state() == QProcess::NotRunning || m_process.waitForFinished(ms);
    // Known only once the start has been tried, which may be in the wait.
    const bool failedToStart = m_process.error() == QProcess::FailedToStart;
    QString why;
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(5000);
        m_timedOut = true;
        why = QStringLiteral("killed: did not end within %1 s").arg(ms / 1000.0);
    } else if (failedToStart) {
        why = QStringLiteral("did not start: %1").arg(m_process.errorString());
    }
    readOutput();
    if (m_parsed < m_out.size()) // a last line without its newline
        m_lines << QString::fromUtf8(m_out.mid(m_parsed));
    m_parsed = m_out.size();

    const bool exited = ended && !failedToStart && m_process.exitStatus() == QProcess::NormalExit;
    m_result.status = exited ? m_process.exitCode() : -1;
    m_result.out = QString::fromUtf8(m_out);
    m_result.lines = m_lines;
    m_result.err = QString::fromUtf8(m_process.readAllStandardError());
    if (!why.isEmpty())
        m_result.err += QStringLiteral("\n(%1 %2)").arg(m_process.program(), why);
    return exited;
}

ProgramRun runProgram(const QStringList &command, const QProcessEnvironment &env, int timeoutMs)
{
    RunningProgram program(command, env);
    program.finish(timeoutMs);
    return program.result();
}

} // namespace testsupport
