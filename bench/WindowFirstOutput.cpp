// The main window's click-to-first-output time against the real office:
// shows the window on a source folder, waits as a user would before the
// click (the office starts meanwhile), clicks the start button and prints,
// in milliseconds, the time until the first output file is in the output
// folder, then how long the whole run took.
//   tabulon_window_first_output SOURCE OUT [seconds before the click]
#include "app/MainWindow.h"
#include "platform/gui/DriveControls.h"
#include "platform/office/OfficeBridge.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFileSystemWatcher>
#include <QLineEdit>
#include <QTest>
#include <QTimer>

#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    if (argc < 3) {
        std::fprintf(stderr, "usage: %s SOURCE OUT [seconds before the click]\n", argv[0]);
        return 2;
    }
    const QString source = QString::fromLocal8Bit(argv[1]), out = QString::fromLocal8Bit(argv[2]);
    const int waitMs = argc > 3 ? int(QString::fromLocal8Bit(argv[3]).toDouble() * 1000) : 10 * 1000;
    QDir().mkpath(out);

    platform::office::OfficeOptions options;
    options.keepReadyMs = platform::office::kDefaultKeepReadyMs;
    platform::office::registerExcelApplication(options);
    TFMain window;
    window.findChild<QLineEdit *>("ePath")->setText(out);
    window.findChild<TDirectoryListBox *>("DirectoryListBox1")->setDirectory(source);
    window.show();
    QTest::qWait(waitMs); // the user reads the window

    QElapsedTimer clock;
    qint64 firstOutput = -1;
    QTimer poll; // outputs appear by a rename: a look every millisecond sees them
    QObject::connect(&poll, &QTimer::timeout, [&] {
        if (firstOutput < 0 && !QDir(out).entryList(QDir::Files).isEmpty())
            firstOutput = clock.elapsed();
    });
    poll.start(1);
    clock.start();
    QTest::mouseClick(window.findChild<QWidget *>("vexButton2"), Qt::LeftButton); // returns at the run's end
    const qint64 whole = clock.elapsed();
    if (firstOutput < 0 && !QDir(out).entryList(QDir::Files).isEmpty())
        firstOutput = whole;
    std::printf("%lld %lld\n", static_cast<long long>(firstOutput), static_cast<long long>(whole));
    window.close();
    return firstOutput < 0 ? 1 : 0;
}
