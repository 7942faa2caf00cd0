// Start-up sequence: the port list filled, labels, the locked configuration file.
#include "StartUp.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "ImageFile.h"
#include "PortDoubles.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>


using namespace CoreTexts;

namespace {

// Runs each test in a fresh working directory, where "regul.lmk" is looked for.
class StartUp : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        previous = QDir::currentPath();
        ASSERT_TRUE(QDir::setCurrent(dir.path()));
    }
    void TearDown() override { QDir::setCurrent(previous); }
    void writeLocked(const QByteArray& content)
    {
        QFile f(dir.filePath(LockedFileName));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    void run()
    {
        portReadyCleared = false;
        ports = UsablePortNames(RunStartUp(model, FixedPorts({"COM1", "COM3"}), LoadImageFile,
                                           [this] { portReadyCleared = true; }));
    }
    QTemporaryDir dir;
    QString previous;
    ConfigModel model;
    QStringList ports; // handed to the caller
    bool portReadyCleared = false;
};

} // namespace

TEST_F(StartUp, WithoutLockedFileShowsAnUnusedTableAndListsPorts)
{
    model.image().setByte(10, 0x99);
    model.image().setByte(70, 0x55);
    run();
    EXPECT_TRUE(portReadyCleared);
    EXPECT_FALSE(model.ConfigLocked());
    EXPECT_EQ(ports, (QStringList{"COM1", "COM3"}));
    EXPECT_EQ(model.OperatingMode(), SpeechMode);
    EXPECT_EQ(model.image().byte(10), 0);
    EXPECT_EQ(model.image().byte(70), 0x55);
    for (int page = 1; page <= 4; ++page) {
        EXPECT_EQ(model.cell(page, 0, 0), HeaderAddress);
        EXPECT_EQ(model.cell(page, 0, 1), HeaderMode);
        EXPECT_EQ(model.cell(page, 0, 2), HeaderDelay);
        for (int row = 1; row <= 16; ++row) {
            EXPECT_EQ(model.cell(page, row, 0).toInt(), (page - 1) * 16 + row);
            EXPECT_EQ(model.cell(page, row, 1), ModeUnused);
            EXPECT_EQ(model.cell(page, row, 2), QString());
        }
    }
}

TEST_F(StartUp, LockedFileIsLoadedAndLocks)
{
    QByteArray text(140, '0');
    text.replace(0, 2, "87");
    text.replace(2, 2, "04");
    text.replace(126, 2, "b0"); // address 64
    writeLocked(text + "\r\n");
    run();
    EXPECT_TRUE(model.ConfigLocked());
    EXPECT_EQ(model.OperatingMode(), OtherDevicesMode);
    EXPECT_EQ(model.cell(1, 1, 1), ModeUsed);
    EXPECT_EQ(model.cell(4, 16, 1), ModeUsed);
    EXPECT_EQ(model.cell(4, 16, 2), Delay360);
}

TEST_F(StartUp, EmptyLockedFileLocksAnAllZeroImage)
{
    writeLocked("");
    run();
    EXPECT_TRUE(model.ConfigLocked());
    EXPECT_EQ(model.image().toText(), QByteArray(140, '0'));
}

TEST_F(StartUp, LockedNameThatIsAFolderIsIgnoredSilently)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir(LockedFileName));
    run();
    EXPECT_FALSE(model.ConfigLocked());
    EXPECT_EQ(model.image().toText(), QByteArray(140, '0'));
}

TEST_F(StartUp, UnreadableLockedFileIsIgnoredSilently)
{
    writeLocked(QByteArray(140, 'F'));
    ASSERT_EQ(::chmod(QFile::encodeName(dir.filePath(LockedFileName)).constData(), 0), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir.path()).constData(), 0755), 0);
    const int code = RunUnprivileged([] {
        ConfigModel child;
        RunStartUp(child, FixedPorts(), LoadImageFile);
        return !child.ConfigLocked() && child.image().toText() == QByteArray(140, '0') ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
}

TEST_F(StartUp, LockedFileElsewhereThanTheWorkingDirectoryIsNotUsed)
{
    QTemporaryDir other;
    QFile f(QDir(other.path()).filePath(LockedFileName));
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(QByteArray(140, 'F'));
    f.close();
    run();
    EXPECT_FALSE(model.ConfigLocked());
}
