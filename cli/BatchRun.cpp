#include "cli/BatchRun.h"

#include "app/ConversionRun.h"
#include "app/Strings.h"
#include "cli/BatchOptions.h"
#include "platform/office/OfficeBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QTextStream>

namespace batch {

namespace {

class FixedSettings : public RunSettings
{
public:
    explicit FixedSettings(const Options &options) : m_options(options) {}
    QString masks() const override { return m_options.masks; }
    QString outputDirectory() const override { return m_options.out; }
    bool isChecked(OutputKind kind) const override { return kind == m_options.kind; }

private:
    const Options &m_options;
};

class StreamView : public RunView
{
public:
    StreamView(QTextStream &out, QTextStream &err)
        : m_out(out), m_err(err), m_base(Strings::GetStringBase()),
          m_success(Strings::load(m_base + Strings::Success)) {}

    void setStatusText(const QString &) override {}
    void appendLog(const QString &line) override
    {
        m_out << line << '\n';
        m_out.flush();
        ++m_files;
        if (line.endsWith(m_success))
            ++m_converted;
    }
    void clearLog() override {}
    void setStartEnabled(bool) override {}
    void showMessage(const QString &text) override
    {
        m_err << text << '\n';
        m_err.flush();
    }
    void processEvents() override { QCoreApplication::processEvents(); }
    QString successText() const override { return m_success; }
    QString startFailureText() const override { return Strings::load(m_base + Strings::StartFailure); }

    int files() const { return m_files; }
    int converted() const { return m_converted; }

private:
    QTextStream &m_out;
    QTextStream &m_err;
    int m_base;
    QString m_success;
    int m_files = 0;
    int m_converted = 0;
};

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    const ParsedArguments parsed = parseArguments(arguments);
    switch (parsed.request) {
    case ParsedArguments::Request::Help:
    case ParsedArguments::Request::Version:
        out << parsed.text;
        out.flush();
        return Completed;
    case ParsedArguments::Request::Error:
        err << "tabulon-batch: " << parsed.text << '\n' << usageLine() << "\nRun 'tabulon-batch --help' for the options.\n";
        err.flush();
        return BadArguments;
    case ParsedArguments::Request::Run:
        break;
    }
    const Options &options = parsed.options;

    platform::office::OfficeOptions office;
    office.program = options.office;
    platform::office::registerExcelApplication(office);

    FixedSettings settings(options);
    StreamView view(out, err);
    AutomationWorkbookConverter converter;
    ConversionRun conversion(settings, view, converter);
    const ConversionRun::Outcome outcome = conversion.execute(QDir(options.source).absolutePath());
    switch (outcome) {
    case ConversionRun::Outcome::ApplicationUnavailable:
        return OfficeUnavailable;
    case ConversionRun::Outcome::OutputDirectoryFailed:
        return OutputUnusable;
    case ConversionRun::Outcome::Completed:
    case ConversionRun::Outcome::Stopped:
        break;
    }
    err << QStringLiteral("%1 files: %2 converted, %3 failed").arg(view.files()).arg(view.converted()).arg(view.files() - view.converted())
        << '\n';
    err.flush();
    return Completed;
}

} // namespace batch
