#include "app/MainWindow.h"

#include "app/PathEdit.h"
#include "app/WindowSettings.h"
#include "engine/AutomationWorkbookConverter.h"
#include "engine/Strings.h"
#include "platform/FileSystem.h"
#include "platform/gui/DriveControls.h"
#include "platform/gui/FormLoader.h"
#include "platform/gui/WebBrowser.h"
#include "skin/VEXButton.h"
#include "skin/VEXForm.h"
#include "skin/VEXImagePanel.h"
#include "skin/VEXRegister.h"

#include <QApplication>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QScreen>
#include <QShowEvent>
#include <QStatusBar>
#include <QTimer>

#include <algorithm>

namespace {

const char *radioFor(OutputKind kind)
{
    switch (kind) {
    case OutputKind::Html:
        return "vexRadioButton1";
    case OutputKind::Csv:
        return "vexRadioButton2";
    case OutputKind::Xml:
        return "vexRadioButton4";
    }
    return "";
}

void registerColorNames(platform::FormLoader &loader)
{
    using namespace platform;
    const std::pair<const char *, TColor> names[] = {
        {"clBtnFace", clBtnFace},     {"clWindow", clWindow}, {"clWindowText", clWindowText}, {"clBtnText", clBtnText},
        {"clHighlight", clHighlight}, {"clMenu", clMenu},     {"clBlack", 0x000000},          {"clWhite", 0xFFFFFF},
        {"clGray", 0x808080},         {"clSilver", 0xC0C0C0},
    };
    for (const auto &[name, value] : names)
        loader.registerConstant(QLatin1String(name), value);
}

} // namespace

TFMain::TFMain(std::unique_ptr<WorkbookConverter> converter, QWidget *parent)
    : QWidget(parent), ExcelApp(converter ? std::move(converter) : std::make_unique<AutomationWorkbookConverter>()),
      m_programDirectory(platform::currentDirectory())
{
    platform::FormLoader loader;
    registerClasses(loader);
    loader.load(this, QString::fromLatin1(formDescription));
    adaptStoredDefaults();
    emit OnCreate(this);
}

TFMain::~TFMain()
{
    markDestroying();
    ExcelApp->dismiss();
}

void TFMain::adaptStoredDefaults()
{
    // The description stores the output directory of the system it was made
    // for; elsewhere the same default means "html" in the home directory.
    // Offline, the banner strip shows the program's own name instead of a blank page.
    if (auto *browser = control<TWebBrowser>("WebBrowser2"))
        browser->setFallbackHtml(QStringLiteral(
            "<body style=\"background:#e7e7e7\"><p style=\"font-size:22px; color:#3b5b8c; margin:30px 20px\">"
            "<b>Tabulon</b> &mdash; workbooks to HTML, CSV and XML in bulk</p></body>"));
    auto *path = control<QLineEdit>("ePath");
    if (path && path->text() == QLatin1String("c:\\html"))
        path->setText(platform::defaultOutputDirectory());
}

void TFMain::registerClasses(platform::FormLoader &loader)
{
    registerColorNames(loader);
    vex::registerSkinClasses(loader);
    loader.registerClass<QLabel>(QStringLiteral("TLabel"));
    loader.registerClass<QLineEdit>(QStringLiteral("TEdit"));
    loader.registerClass<TPathEdit>(QStringLiteral("TPathEdit"));
    loader.registerClass<QPlainTextEdit>(QStringLiteral("TMemo"));
    loader.registerClass<QStatusBar>(QStringLiteral("TStatusBar"));
    loader.registerClass<TDriveComboBox>(QStringLiteral("TDriveComboBox"));
    loader.registerClass<TDirectoryListBox>(QStringLiteral("TDirectoryListBox"));
    loader.registerClass<TWebBrowser>(QStringLiteral("TWebBrowser"));
}

template <typename T>
T *TFMain::control(const char *name) const
{
    return findChild<T *>(QLatin1String(name));
}

QString TFMain::text(int offset) const
{
    return Strings::load(StringBase + offset);
}

void TFMain::setColor(int color)
{
    m_color = color;
    QPalette p = palette();
    p.setColor(QPalette::Window, platform::toQColor(color));
    setPalette(p);
}

// ---------------------------------------------------------------------------
// Handlers

void TFMain::FormCreate(QObject *)
{
    StringBase = Strings::GetStringBase();
    setWindowTitle(text(Strings::Caption));
    if (QWidget *frame = control<QWidget>("vexForm1"))
        frame->setProperty("Caption", text(Strings::Caption));
    if (auto *label = control<QLabel>("Label1"))
        label->setText(text(Strings::SavePathLabel));
    fitSavePathLabel();
    if (QWidget *start = control<QWidget>("vexButton2"))
        start->setProperty("Caption", text(Strings::StartButton));
    if (auto *browser = control<TWebBrowser>("WebBrowser2"))
        browser->Navigate(text(Strings::BannerAddress));
    // What the user left last time replaces the form's first-start values.
    WindowSettings::restore(*this);
}

void TFMain::fitSavePathLabel()
{
    auto *label = control<QLabel>("Label1");
    auto *path = control<QLineEdit>("ePath");
    QWidget *strip = label ? label->parentWidget() : nullptr;
    if (!label || !path || !strip)
        return;
    // The caption's baseline on the fields' beside it: the same rows as the
    // output field, the text centred in them.
    label->setAlignment(Qt::AlignLeft | Qt::AlignVCenter);
    label->setGeometry(label->x(), path->y(), label->width(), path->height());

    // A caption wider than its place pushes the controls after it to the
    // right, into the room the strip has there, and takes the rest from the
    // output field; a caption that fits moves nothing.
    const int needed = label->fontMetrics().horizontalAdvance(label->text()) + 2;
    const int overflow = label->x() + needed + LabelGap - path->x();
    if (needed <= label->width() || overflow <= 0) {
        // The stored box reaches a pixel under the field; the text does not.
        label->resize(std::max(needed, std::min(label->width(), path->x() - label->x())), label->height());
        return;
    }
    label->resize(needed, label->height());
    QList<QWidget *> after;
    int rightmost = 0;
    for (QWidget *child : strip->findChildren<QWidget *>(Qt::FindDirectChildrenOnly)) {
        if (child->x() >= path->x()) {
            after.append(child);
            rightmost = std::max(rightmost, child->geometry().right() + 1);
        }
    }
    const int shift = std::clamp(strip->width() - StripMargin - rightmost, 0, overflow);
    for (QWidget *child : after)
        child->move(child->x() + shift, child->y());
    const int shrink = overflow - shift;
    path->setGeometry(path->x() + shrink, path->y(), std::max(path->width() - shrink, MinimumPathWidth),
                      path->height());
}

void TFMain::DriveComboBox1Change(QObject *)
{
    auto *drives = control<TDriveComboBox>("DriveComboBox1");
    auto *tree = control<TDirectoryListBox>("DirectoryListBox1");
    if (drives && tree)
        tree->setDrive(drives->drive());
}

void TFMain::WebBrowser2DocumentComplete(QObject *, const QVariant &, const QVariant &)
{
    auto *browser = control<TWebBrowser>("WebBrowser2");
    if (!browser || browser->isBusy())
        return;
    try {
        const platform::AutomationRef application = browser->Application();
        const auto document =
            platform::toObject(application->property(QStringLiteral("Document")), QStringLiteral("Document"));
        const auto body = platform::toObject(document->property(QStringLiteral("body")), QStringLiteral("body"));
        body->setProperty(QStringLiteral("Scroll"), QStringLiteral("no"));
    } catch (const platform::AutomationError &) {
        // A page without a body keeps its scroll bars.
    }
}

void TFMain::vexButton2Click(QObject *)
{
    // Running covers the start of the application too, which yields to the
    // message loop for seconds: a second click then must not replace m_run.
    if (isRunning())
        return;
    auto *tree = control<TDirectoryListBox>("DirectoryListBox1");
    m_run =
        std::make_unique<ConversionRun>(static_cast<RunSettings &>(*this), static_cast<RunView &>(*this), *ExcelApp);
    m_run->setBaseDirectory(m_programDirectory);
    m_run->setCountsAhead(true);
    QPointer<TFMain> self(this);
    m_run->execute(tree ? tree->directory() : platform::currentDirectory());
    if (!self)
        return;
    if (m_closeAfterRun)
        QTimer::singleShot(0, this, &QWidget::close);
}

void TFMain::showEvent(QShowEvent *event)
{
    QWidget::showEvent(event);
    // The application starts while the user looks at the window, so a
    // click on the start button converts at once.
    if (!m_prepared && !event->spontaneous()) {
        m_prepared = true;
        ExcelApp->prepare();
    }
}

void TFMain::closeEvent(QCloseEvent *event)
{
    // The run is on the stack below this event (it yields to the message
    // loop): let it cancel the application's start or stop after the file
    // it is converting, then close.
    if (isRunning()) {
        m_closeAfterRun = true;
        m_run->requestStop();
        event->ignore();
        return;
    }
    WindowSettings::save(*this);
    // Nothing is left running behind a closed window.
    ExcelApp->dismiss();
    QWidget::closeEvent(event);
}

// ---------------------------------------------------------------------------
// What the run reads and shows

QString TFMain::masks() const
{
    auto *edit = control<QLineEdit>("eFileType");
    return edit ? edit->text() : QString();
}

QString TFMain::outputDirectory() const
{
    auto *edit = control<QLineEdit>("ePath");
    return edit ? edit->text() : QString();
}

bool TFMain::isChecked(OutputKind kind) const
{
    QWidget *radio = control<QWidget>(radioFor(kind));
    return radio && radio->property("Checked").toBool();
}

void TFMain::setStatusText(const QString &text)
{
    if (auto *status = control<QStatusBar>("StatusBar1"))
        status->showMessage(text);
}

void TFMain::appendLog(const QString &line)
{
    if (auto *memo = control<QPlainTextEdit>("Memo1"))
        memo->appendPlainText(line);
}

void TFMain::clearLog()
{
    m_total = -1;
    if (auto *memo = control<QPlainTextEdit>("Memo1"))
        memo->clear();
}

void TFMain::setStartEnabled(bool enabled)
{
    if (QWidget *start = control<QWidget>("vexButton2"))
        start->setEnabled(enabled);
}

void TFMain::showCounts(const RunCounts &counts)
{
    auto *status = control<QStatusBar>("StatusBar1");
    if (!status)
        return;
    if (!m_countsLabel) {
        m_countsLabel = new QLabel(status);
        m_countsLabel->setObjectName(QStringLiteral("RunCounts"));
        status->addPermanentWidget(m_countsLabel);
    }
    m_counts = counts;
    QString text = QStringLiteral("%1 converted, %2 failed").arg(counts.converted).arg(counts.failed);
    if (m_total >= 0)
        text = QStringLiteral("%1 of %2: ").arg(counts.entries()).arg(m_total) + text;
    if (counts.replaced > 0)
        text += QStringLiteral(", %1 replaced").arg(counts.replaced);
    m_countsLabel->setText(text);
}

void TFMain::showTotal(int entries)
{
    m_total = entries;
    showCounts(m_counts);
}

void TFMain::showMessage(const QString &message)
{
    QMessageBox box(QMessageBox::NoIcon, QApplication::applicationDisplayName(), message, QMessageBox::Ok);
    box.setWindowModality(Qt::ApplicationModal);
    box.exec();
}

void TFMain::processEvents()
{
    QCoreApplication::processEvents();
}

QString TFMain::successText() const
{
    return text(Strings::Success);
}

QString TFMain::startFailureText() const
{
    return text(Strings::StartFailure);
}
