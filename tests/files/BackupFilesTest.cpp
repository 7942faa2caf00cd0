// The files lumkctl writes: a file replaced whole or not at all, and backups
// beside the file, dated, never replacing an earlier one.
#include "BackupFiles.h"
#include "ConfigFiles.h"
#include "FileTexts.h"
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

TEST_F(ToolFiles, BackupFileName_OneNameFormBesideAFileOrInAFolder)
{
    const QDateTime at(QDate(2026, 1, 2), QTime(3, 4, 5));
    struct Case
    {
        BackupPlace place;
        QByteArray expected;
    } cases[] = {
        {BackupPlace::BesideFile("conf.lmk"), "conf.device-20260102-030405.lmk"},
        {BackupPlace::BesideFile("dir/site.txt"), "dir/site.device-20260102-030405.lmk"},
        {BackupPlace::BesideFile("/abs/a.b.lmk"), "/abs/a.b.device-20260102-030405.lmk"},
        {BackupPlace::BesideFile("noext"), "noext.device-20260102-030405.lmk"},
        {BackupPlace::BesideFile("dir.d/noext"), "dir.d/noext.device-20260102-030405.lmk"},
        {BackupPlace::InFolder("b", "COM3", 50), "b/COM3.device-20260102-030405.lmk"},
        {BackupPlace::InFolder("b", "/dev/ttyUSB0", 50), "b/ttyUSB0.device-20260102-030405.lmk"},
        {BackupPlace::InFolder("b", "host:2001", 50), "b/host_2001.device-20260102-030405.lmk"},
    };
    for (const Case& c : cases) {
        for (const int attempt : {1, 3}) {
            const QByteArray name = BackupFileName(c.place, at, attempt);
            if (attempt == 1) {
                EXPECT_EQ(name, c.expected);
            }
            // The name tells back what it is of, when and which attempt.
            const QByteArray file = name.mid(name.lastIndexOf('/') + 1);
            EXPECT_TRUE(IsBackupFileName(file)) << file.constData();
            const std::optional<BackupName> parsed = ParseBackupFileName(file);
            ASSERT_TRUE(parsed.has_value()) << file.constData();
            EXPECT_EQ(parsed->label, c.place.label);
            EXPECT_EQ(parsed->at, at);
            EXPECT_EQ(parsed->attempt, attempt);
        }
    }
    EXPECT_EQ(BackupFileName(BackupPlace::BesideFile("conf.lmk"), at, 3),
              "conf.device-20260102-030405-3.lmk");
    for (const QByteArray& other : {QByteArray("2026-01-02-030405-COM3.lmk"),
                                   QByteArray("COM3.device-20260102-030405.lmk.bak")}) {
        EXPECT_FALSE(IsBackupFileName(other));
        EXPECT_FALSE(ParseBackupFileName(other).has_value());
    }
    // The rule's form with no such day or time.
    EXPECT_FALSE(ParseBackupFileName("COM3.device-20261340-250000.lmk").has_value());
}

TEST_F(ToolFiles, WriteBackup_NeverReplacesAnEarlierBackup)
{
    const QDateTime at(QDate(2026, 1, 2), QTime(3, 4, 5));
    ParamImage first, second;
    first.setByte(0, 0x80);
    second.setByte(69, 0x5A);
    const BackupPlace place = BackupPlace::BesideFile(QFile::encodeName(Path("conf.lmk")));
    const BackupResult a = WriteBackup(place, first, at);
    const BackupResult b = WriteBackup(place, second, at);
    ASSERT_TRUE(a.written());
    ASSERT_TRUE(b.written());
    EXPECT_NE(a.name, b.name);
    EXPECT_EQ(ReadBytes(QFile::decodeName(a.name)), first.toText() + "\r\n");
    EXPECT_EQ(ReadBytes(QFile::decodeName(b.name)), second.toText() + "\r\n");
    EXPECT_TRUE(IsBackupContent(ReadBytes(QFile::decodeName(a.name))));
}

// A backup that cannot be written says why in Russian (never the system's
// English text), and a second full of backups does not make it try forever.
TEST_F(ToolFiles, WriteBackup_Failure_NamesItsReasonInRussian)
{
    const QDateTime at(QDate(2026, 1, 2), QTime(3, 4, 5));
    WriteBytes(Path("backups"), "not a folder");
    const BackupPlace full = BackupPlace::InFolder(QFile::encodeName(Path("full")), "COM3", 0);
    ASSERT_TRUE(QDir(dir.path()).mkdir("full"));
    for (int attempt = 1; attempt <= 100; ++attempt)
        WriteBytes(QFile::decodeName(BackupFileName(full, at, attempt)), "x");
    const struct
    {
        const char* what;
        BackupPlace place;
        QString reason;
    } cases[] = {
        {"folder missing", BackupPlace::BesideFile(QFile::encodeName(Path("nowhere/conf.lmk"))),
         QStringLiteral("нет такого файла или папки")},
        {"backups is a file", BackupPlace::InFolder(QFile::encodeName(Path("backups")), "COM3", 50),
         FileTexts::NotAFolder(QDir::toNativeSeparators(Path("backups")))},
        {"under a file", BackupPlace::InFolder(QFile::encodeName(Path("backups/b")), "COM3", 50),
         QStringLiteral("часть пути не является папкой")},
        {"every name taken", full, FileTexts::BackupNamesTaken},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const BackupResult result = WriteBackup(c.place, ParamImage(), at);
        EXPECT_FALSE(result.written());
        EXPECT_EQ(result.reason, c.reason);
        EXPECT_FALSE(result.tried.isEmpty());
    }
    EXPECT_EQ(QDir(Path("full")).count(), 100u + 2u); // with "." and ".."
}

// The folder holds 50 backups dated in the future, and files that only look
// like backups. The new backup stays; only the program's own backups are
// pruned, oldest modification first, whatever their names say.
TEST_F(ToolFiles, PruneBackups_KeepsTheNewOneAndTouchesOnlyItsOwnFiles)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("backups"));
    const BackupPlace place = BackupPlace::InFolder(QFile::encodeName(Path("backups")), "COM3", 50);
    const QByteArray content = ParamImage().toText() + "\r\n";
    const QDateTime future(QDate(2099, 1, 1), QTime(0, 0));
    QStringList own;
    for (int i = 0; i < 50; ++i) {
        // Names sort against their age: the oldest file has the latest name.
        const QString name = QFile::decodeName(BackupFileName(place, future.addDays(-i)));
        WriteBytes(name, content);
        QFile file(name);
        ASSERT_TRUE(file.open(QIODevice::ReadWrite));
        ASSERT_TRUE(file.setFileTime(future.addSecs(60 * i), QFileDevice::FileModificationTime));
        own.append(QFileInfo(name).fileName());
    }
    const QStringList foreign = {
        QStringLiteral("notes.device-20000101-000000.lmk"), // the name, not the content
        QStringLiteral("link.device-20000101-000000.lmk"),  // a symbolic link
        QStringLiteral("2000-01-01-000000-COM3.lmk"),       // another name form
    };
    WriteBytes(Path("backups/" + foreign[0]), "my notes\r\n");
    ASSERT_TRUE(QFile::link(Path("backups/" + own.last()), Path("backups/" + foreign[1])));
    WriteBytes(Path("backups/" + foreign[2]), content);

    const BackupResult result =
        WriteBackup(place, ParamImage(), QDateTime(QDate(2026, 1, 2), QTime(3, 4, 5)));
    ASSERT_TRUE(result.written()) << result.reason.toStdString();
    const QStringList left = QDir(Path("backups")).entryList(QDir::Files | QDir::System);
    EXPECT_TRUE(left.contains(QFileInfo(QFile::decodeName(result.name)).fileName()));
    for (const QString& name : foreign)
        EXPECT_TRUE(left.contains(name)) << name.toStdString();
    // The oldest by modification time went; the 49 newer stayed.
    EXPECT_FALSE(left.contains(own.first()));
    for (qsizetype i = 1; i < own.size(); ++i)
        EXPECT_TRUE(left.contains(own.at(i))) << own.at(i).toStdString();
    EXPECT_EQ(left.size(), 50 + foreign.size());
}
