#pragma once

#include "engine/ConversionRun.h"
#include "engine/WorkbookConverter.h"
#include "platform/gui/Colors.h"
#include "platform/gui/Component.h"

#include <QPointer>
#include <QWidget>

#include <memory>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QStatusBar;
class TDirectoryListBox;
class TDriveComboBox;
class TWebBrowser;

namespace platform {
class FormLoader;
}

// The program's only window, created from its form description. It is the
// conversion run's front end: the run reads the masks, the output directory
// and the output kinds from its controls, live, and writes into its log and
// status bar.
class TFMain : public QWidget, public platform::Component, private RunSettings, private RunView
{
    Q_OBJECT
    Q_PROPERTY(int Color READ color WRITE setColor)

public:
    static constexpr const char *formDescription = ":/forms/FMain.form";

    // The converter defaults to the spreadsheet application registered as
    // "excel.application".
    explicit TFMain(std::unique_ptr<WorkbookConverter> converter = nullptr, QWidget *parent = nullptr);
    ~TFMain() override;

    // The classes a main-window description may name.
    static void registerClasses(platform::FormLoader &loader);

    int StringBase = 0;

    // Text (string base + offset) in the window's language.
    QString text(int offset) const;

    bool isRunning() const { return m_run && m_run->isRunning(); }
    int color() const { return m_color; }
    void setColor(int color);

public slots:
    void FormCreate(QObject *Sender);
    void vexButton2Click(QObject *Sender);
    void DriveComboBox1Change(QObject *Sender);
    void WebBrowser2DocumentComplete(QObject *Sender, const QVariant &pDisp, const QVariant &URL);

signals:
    void OnCreate(QObject *Sender);

protected:
    void showEvent(QShowEvent *event) override;
    void closeEvent(QCloseEvent *event) override;

private:
    template <typename T>
    T *control(const char *name) const;
    void adaptStoredDefaults();
    // Makes the output field's caption as wide as its text in the window's
    // language, and lines it up with the field.
    void fitSavePathLabel();
    static constexpr int LabelGap = 4;          // between the caption and the output field
    static constexpr int StripMargin = 8;       // kept free at the option strip's right end
    static constexpr int MinimumPathWidth = 80; // the output field shrinks no further

    // RunSettings: read from the controls at the moment the run asks.
    QString masks() const override;
    QString outputDirectory() const override;
    bool isChecked(OutputKind kind) const override;

    // RunView
    void setStatusText(const QString &text) override;
    void appendLog(const QString &line) override;
    void clearLog() override;
    void setStartEnabled(bool enabled) override;
    void showCounts(const RunCounts &counts) override;
    void showTotal(int entries) override;
    void showMessage(const QString &text) override;
    void processEvents() override;
    QString successText() const override;
    QString startFailureText() const override;

    std::unique_ptr<WorkbookConverter> ExcelApp;
    std::unique_ptr<ConversionRun> m_run;
    // A relative output directory is taken from where the program started.
    QString m_programDirectory;
    QPointer<QLabel> m_countsLabel; // a permanent section of StatusBar1
    RunCounts m_counts;             // as last shown
    int m_total = -1;               // entries of the run, once counted
    bool m_closeAfterRun = false;
    bool m_prepared = false; // the application was asked to get ready
    int m_color = platform::clBtnFace;
};
