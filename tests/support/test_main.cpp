// GoogleTest entry point with the Qt application object the code under test expects.
#include <gtest/gtest.h>

#include <QFile>
#include <QTemporaryDir>

#ifdef LUMK_TEST_GUI
#include <QApplication>
using TestApplication = QApplication;
#else
#include <QCoreApplication>
using TestApplication = QCoreApplication;
#endif

int main(int argc, char** argv)
{
    ::testing::InitGoogleTest(&argc, argv);
    // Settings and data (the window's backups) of tests are the process's own:
    // never the user's, and never those of a test binary running beside it
    // (Qt's test mode would give every test binary the same folders).
    QTemporaryDir home;
    if (!home.isValid())
        return 1;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
    qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
