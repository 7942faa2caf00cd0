// The files lumkctl writes: a file replaced whole or not at all, and backups
// beside the file, dated, never replacing an earlier one.
#include "BackupFiles.h"
#include "ConfigFiles.h"
#include "ParamImage.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QTemporaryDir>

#include <gtest/gtest.h>

class ToolFiles : public ::testing::Test
{
protected:
    QString Path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
};

TEST_F(ToolFiles, ReplaceFileContent_ReplacesWhollyOrLeavesTheOldFile)
{
    const QString file = Path("out.lmk");
    WriteBytes(file, QByteArray(500, 'x'));
    ASSERT_TRUE(ReplaceFileContent(QFile::encodeName(file), "new\r\n", nullptr));
    EXPECT_EQ(ReadBytes(file), QByteArray("new\r\n"));

    // A folder in the way, and a missing folder: failure, nothing left behind.
    ASSERT_TRUE(QDir(dir.path()).mkdir("taken"));
    EXPECT_FALSE(ReplaceFileContent(QFile::encodeName(Path("taken")), "x", nullptr));
    EXPECT_TRUE(QFileInfo(Path("taken")).isDir());
    EXPECT_FALSE(ReplaceFileContent(QFile::encodeName(Path("nowhere/out.lmk")), "x", nullptr));
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList{"out.lmk"});
}

TEST_F(ToolFiles, BackupFileName_SitsBesideTheFileWithDateAndTime)
{
    const QDateTime at(QDate(2026, 1, 2), QTime(3, 4, 5));
    struct Case
    {
        QByteArray file;
        QByteArray expected;
    } cases[] = {
        {"conf.lmk", "conf.device-20260102-030405.lmk"},
        {"dir/site.txt", "dir/site.device-20260102-030405.lmk"},
        {"/abs/a.b.lmk", "/abs/a.b.device-20260102-030405.lmk"},
        {"noext", "noext.device-20260102-030405.lmk"},
        {"dir.d/noext", "dir.d/noext.device-20260102-030405.lmk"},
    };
    for (const Case& c : cases)
        EXPECT_EQ(BackupFileNameNamed(c.file, at), c.expected) << c.file.constData();
    EXPECT_EQ(BackupFileNameNamed("conf.lmk", at, 3), "conf.device-20260102-030405-3.lmk");
}

TEST_F(ToolFiles, WriteBackupFile_NeverReplacesAnEarlierBackup)
{
    const QDateTime at(QDate(2026, 1, 2), QTime(3, 4, 5));
    ParamImage first, second;
    first.setByte(0, 0x80);
    second.setByte(69, 0x5A);
    const QByteArray file = QFile::encodeName(Path("conf.lmk"));
    const QByteArray a = WriteBackupFileNamed(file, first, at, nullptr);
    const QByteArray b = WriteBackupFileNamed(file, second, at, nullptr);
    ASSERT_FALSE(a.isEmpty());
    ASSERT_FALSE(b.isEmpty());
    EXPECT_NE(a, b);
    EXPECT_EQ(ReadBytes(QFile::decodeName(a)), first.toText() + "\r\n");
    EXPECT_EQ(ReadBytes(QFile::decodeName(b)), second.toText() + "\r\n");
    // A folder that does not exist: no backup, and the failure is reported.
    QString reason;
    EXPECT_TRUE(
        WriteBackupFileNamed(QFile::encodeName(Path("nowhere/conf.lmk")), first, at, &reason)
            .isEmpty());
    EXPECT_FALSE(reason.isEmpty());
}
