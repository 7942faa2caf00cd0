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
    // Settings the programs remember go to a folder of this run, not the user's.
    QTemporaryDir settings;
    qputenv("XDG_CONFIG_HOME", QFile::encodeName(settings.path()));
    TestApplication app(argc, argv);
    return RUN_ALL_TESTS();
}
