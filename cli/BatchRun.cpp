#include "cli/BatchRun.h"

#include "app/ConversionRun.h"
#include "app/Strings.h"
#include "platform/FileSystem.h"
#include "platform/SignalBridge.h"
#include "platform/office/OfficeBridge.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QTextStream>

namespace batch {

namespace {

const char *const kUsage =
    "usage: tabulon-batch --source DIR --out DIR [--masks \"*.xls\"] [--kind html|csv|xml] [--office PROGRAM]\n";

struct Options
{
    QString source;
    QString out;
    QString masks = QStringLiteral("*.xls");
    OutputKind kind = OutputKind::Html;
    QString office;
};

// Parses the arguments; returns an error text, empty when they are good.
QString parse(const QStringList &arguments, Options &options)
{
    for (int i = 0; i < arguments.size(); ++i) {
        const QString &name = arguments.at(i);
        if (i + 1 >= arguments.size())
            return QStringLiteral("%1 needs a value").arg(name);
        const QString value = arguments.at(++i);
        if (name == QLatin1String("--source")) {
            options.source = value;
        } else if (name == QLatin1String("--out")) {
            options.out = value;
        } else if (name == QLatin1String("--masks")) {
            options.masks = value;
        } else if (name == QLatin1String("--office")) {
            options.office = value;
        } else if (name == QLatin1String("--kind")) {
            if (value == QLatin1String("html"))
                options.kind = OutputKind::Html;
            else if (value == QLatin1String("csv"))
                options.kind = OutputKind::Csv;
            else if (value == QLatin1String("xml"))
                options.kind = OutputKind::Xml;
            else
                return QStringLiteral("unknown kind \"%1\" (html, csv or xml)").arg(value);
        } else {
            return QStringLiteral("unknown argument \"%1\"").arg(name);
        }
    }
    if (options.source.isEmpty() || options.out.isEmpty())
        return QStringLiteral("--source and --out are required");
    if (!QFileInfo(options.source).isDir())
        return QStringLiteral("%1 is not a directory").arg(options.source);
    return {};
}

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
    }
    void clearLog() override {}
    void setStartEnabled(bool) override {}
    void showCounts(const RunCounts &) override {}
    void showMessage(const QString &text) override
    {
        m_err << text << '\n';
        m_err.flush();
    }
    void processEvents() override { QCoreApplication::processEvents(); }
    QString successText() const override { return m_success; }
    QString startFailureText() const override { return Strings::load(m_base + Strings::StartFailure); }

private:
    QTextStream &m_out;
    QTextStream &m_err;
    int m_base;
    QString m_success;
};

} // namespace

int run(const QStringList &arguments, QTextStream &out, QTextStream &err)
{
    Options options;
    const QString error = parse(arguments, options);
    if (!error.isEmpty()) {
        err << "tabulon-batch: " << error << '\n' << kUsage;
        err.flush();
        return BadArguments;
    }

    // Unlike the window, which goes on and lets every save fail, the batch
    // ends here: a run that can write nothing is not worth an office.
    if (const int failure = platform::makeDirectories(options.out)) {
        err << "tabulon-batch: cannot make the output directory " << options.out << ": "
            << platform::describeError(failure) << '\n';
        err.flush();
        return OutputUnusable;
    }

    platform::office::OfficeOptions office;
    office.program = options.office;
    platform::office::registerExcelApplication(office);

    FixedSettings settings(options);
    StreamView view(out, err);
    AutomationWorkbookConverter converter;
    ConversionRun conversion(settings, view, converter);
    QObject stopContext;
    if (platform::SignalBridge *endSignals = platform::SignalBridge::instance())
        QObject::connect(endSignals, &platform::SignalBridge::endRequested, &stopContext, [&conversion] { conversion.requestStop(); });
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
    const RunCounts counts = conversion.counts();
    err << QStringLiteral("%1 files: %2 converted, %3 failed, %4 replaced")
               .arg(counts.converted + counts.failed)
               .arg(counts.converted)
               .arg(counts.failed)
               .arg(counts.replaced)
        << '\n';
    err.flush();
    return Completed;
}

} // namespace batch
