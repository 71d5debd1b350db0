#include "common/ChildProgram.h"
#include "skin/VEXMgr.h"
#include "skin/VEXThemes.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QRegularExpression>
#include <QStandardPaths>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using testsupport::ProgramRun;

namespace {

ProgramRun runProgram(const QString &program, const QStringList &arguments)
{
    return testsupport::runProgram(QStringList{program} + arguments, QProcessEnvironment::systemEnvironment(), 120000);
}

// One installation into a temporary prefix, shared by the tests below.
class Installed : public ::testing::Test
{
protected:
    static void SetUpTestSuite()
    {
        prefix = new QTemporaryDir;
        install = new ProgramRun(
            runProgram(QStringLiteral(TABULON_CMAKE), {"--install", TABULON_BUILD_DIR, "--prefix", prefix->path()}));
    }
    static void TearDownTestSuite()
    {
        delete install;
        delete prefix;
    }
    void SetUp() override { ASSERT_EQ(install->status, 0) << qPrintable(install->out + install->err); }
    static QString path(const QString &relative) { return prefix->filePath(relative); }

    static QTemporaryDir *prefix;
    static ProgramRun *install;
};

QTemporaryDir *Installed::prefix = nullptr;
ProgramRun *Installed::install = nullptr;

QString unzipped(const QString &file)
{
    return runProgram(QStringLiteral("gzip"), {"-dc", file}).out;
}

} // namespace

TEST_F(Installed, ProgramsRunFromThePrefixOutsideTheBuildTree)
{
    for (const char *program : {"bin/tabulon", "bin/tabulon-batch"}) {
        const QFileInfo info(path(program));
        EXPECT_TRUE(info.isFile() && info.isExecutable()) << program;
    }
    // The office libraries are found through the installed program's run path.
    const ProgramRun version = runProgram(path("bin/tabulon-batch"), {"--version"});
    EXPECT_EQ(version.status, 0) << qPrintable(version.err);
    EXPECT_EQ(version.out.trimmed(), "tabulon-batch " TABULON_VERSION);
}

TEST_F(Installed, DesktopEntryValidatesAndStartsTheInstalledProgramWithItsIcon)
{
    const QString entry = path("share/applications/tabulon.desktop");
    ASSERT_TRUE(QFile::exists(entry));
    const QString validator = QStandardPaths::findExecutable("desktop-file-validate");
    ASSERT_FALSE(validator.isEmpty()) << "desktop-file-validate (desktop-file-utils) is needed";
    const ProgramRun validated = runProgram(validator, {entry});
    EXPECT_EQ(validated.status, 0) << qPrintable(validated.out + validated.err);
    EXPECT_TRUE(validated.out.isEmpty() && validated.err.isEmpty()) << qPrintable(validated.out + validated.err);

    QFile file(entry);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(file.readAll());
    const QString exec =
        QRegularExpression("^Exec=(\\S+)", QRegularExpression::MultilineOption).match(text).captured(1);
    const QString icon =
        QRegularExpression("^Icon=(\\S+)", QRegularExpression::MultilineOption).match(text).captured(1);
    EXPECT_TRUE(QFileInfo(path("bin/" + exec)).isExecutable()) << qPrintable(exec);
    EXPECT_TRUE(QFile::exists(path("share/icons/hicolor/48x48/apps/" + icon + ".png"))) << qPrintable(icon);
}

TEST_F(Installed, IconsAreTheProgramIconAtEverySizeItHolds)
{
    const QDir hicolor(path("share/icons/hicolor"));
    const QStringList sizes = hicolor.entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    EXPECT_TRUE(sizes.contains("48x48")) << qPrintable(sizes.join(' '));
    for (const QString &size : sizes) {
        const int side = size.section('x', 0, 0).toInt();
        ASSERT_EQ(size, QStringLiteral("%1x%1").arg(side)) << "an hicolor size folder";
        QImage png(hicolor.filePath(size + "/apps/tabulon.png"));
        ASSERT_FALSE(png.isNull()) << qPrintable(size);
        EXPECT_EQ(png.size(), QSize(side, side));
        const QImage art = vex::LoadMainIcon(side);
        EXPECT_EQ(png.convertToFormat(QImage::Format_ARGB32), art.convertToFormat(QImage::Format_ARGB32))
            << "the " << qPrintable(size) << " icon is the program's own";
    }
}

TEST_F(Installed, ManualPageDocumentsEveryOptionOfTheProgram)
{
    const QString page = path("share/man/man1/tabulon-batch.1.gz");
    ASSERT_TRUE(QFile::exists(page));
    const QString roff = unzipped(page);
    EXPECT_TRUE(roff.startsWith(".TH TABULON-BATCH 1 ")) << qPrintable(roff.left(80));
    EXPECT_TRUE(roff.contains("Tabulon " TABULON_VERSION)) << "the version is filled in";
    EXPECT_FALSE(roff.contains('@'));

    const ProgramRun help = runProgram(path("bin/tabulon-batch"), {"--help"});
    const QRegularExpression option("^\\s+(?:-\\w, )?--([a-z-]+)", QRegularExpression::MultilineOption);
    int options = 0;
    for (auto it = option.globalMatch(help.out); it.hasNext(); ++options) {
        const QString name = it.next().captured(1);
        // A hyphen inside the name may be escaped as well (\-), as option names should be.
        const QString escaped = "\\-\\-" + QString(name).replace("-", "\\-");
        EXPECT_TRUE(roff.contains("\\-\\-" + name) || roff.contains(escaped))
            << "--" << qPrintable(name) << " is not in the manual page";
    }
    EXPECT_GE(options, 7) << qPrintable(help.out);

    // man renders it without complaints about the markup.
    const QString man = QStandardPaths::findExecutable("man");
    if (!man.isEmpty()) {
        const ProgramRun rendered = runProgram(man, {"--warnings", "-E", "UTF-8", "-l", page});
        EXPECT_EQ(rendered.status, 0);
        EXPECT_TRUE(rendered.err.isEmpty()) << qPrintable(rendered.err);
        EXPECT_TRUE(rendered.out.contains("EXIT STATUS"));
    }
}

TEST_F(Installed, SampleThemeIsInstalledAsItIs)
{
    const QString theme = path("share/tabulon/themes/Graphite.theme");
    ASSERT_TRUE(vex::TvexFileTheme::IsThemeFile(theme));
    QFile installed(theme), source(TABULON_SOURCE_DIR "/resources/themes/Graphite.theme");
    ASSERT_TRUE(installed.open(QIODevice::ReadOnly) && source.open(QIODevice::ReadOnly));
    EXPECT_EQ(installed.readAll(), source.readAll());
}
