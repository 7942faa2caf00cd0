// GoogleTest entry point with the Qt application object the code under test expects.
#include <gtest/gtest.h>

#include <QStandardPaths>

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
    TestApplication app(argc, argv);
    // Settings and standard folders of tests never touch the user's own.
    QStandardPaths::setTestModeEnabled(true);
    return RUN_ALL_TESTS();
}
