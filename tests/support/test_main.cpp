#include <QApplication>
#include <QDir>
#include <QStandardPaths>
#include <gtest/gtest.h>

int main(int argc, char **argv)
{
    // The settings and cache folders come from the test's environment; make
    // sure they exist so nothing falls back to the user's own.
    for (const char *variable : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME"}) {
        const QByteArray dir = qgetenv(variable);
        if (!dir.isEmpty())
            QDir().mkpath(QString::fromLocal8Bit(dir));
    }
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::FLAGS_gtest_death_test_style = "threadsafe";
    QApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
