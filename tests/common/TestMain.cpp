#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Test discovery runs the binary at build time without a display.
    if (GTEST_FLAG_GET(list_tests))
        return RUN_ALL_TESTS();
    // CTest's discovered tests do not all get the suite's environment list, so
    // the harness sets what pixel-exact widget tests rely on itself.
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    if (qEnvironmentVariableIsEmpty("QT_SCALE_FACTOR"))
        qputenv("QT_SCALE_FACTOR", "1");
    // Windows read and write their settings under the configuration home:
    // keep the tests away from the user's and from each other's runs.
    QTemporaryDir configHome(QDir::tempPath() + QStringLiteral("/tabulon-test-config-XXXXXX"));
    qputenv("XDG_CONFIG_HOME", configHome.path().toLocal8Bit());
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
