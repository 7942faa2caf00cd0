// Configuration files on Windows: replacement in one step, exclusive creation,
// and what is refused (folders, devices, a file another program holds).
#include "ConfigFiles.h"
#include "ImageFile.h"
#include "ParamImage.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <cerrno>
#include <windows.h>

namespace {

class FilesWindows : public ::testing::Test
{
protected:
    QByteArray Name(const QString& file) const { return QFile::encodeName(dir.filePath(file)); }
    QByteArray Content(const QString& file) const
    {
        QFile f(dir.filePath(file));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("<unreadable>");
    }
    void Put(const QString& file, const QByteArray& content) const
    {
        QFile f(dir.filePath(file));
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_EQ(f.write(content), content.size());
    }
    // Every name in the folder: a failed save leaves no temporary behind.
    QStringList Names() const
    {
        return QDir(dir.path()).entryList(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir;
};

} // namespace

TEST_F(FilesWindows, Replace_NewAndExistingFiles_TakeTheWholeContent)
{
    ASSERT_TRUE(dir.isValid());
    const QByteArray content = QByteArray(140, '7') + "\r\n";
    for (const char* old :
         {"", "old", "a much longer old content than the new one, kept nowhere"}) {
        SCOPED_TRACE(old);
        if (*old)
            Put("conf.lmk", old);
        QString reason;
        ASSERT_TRUE(ReplaceFileContent(Name("conf.lmk"), content, &reason)) << reason.toStdString();
        EXPECT_EQ(Content("conf.lmk"), content);
        EXPECT_EQ(Names(), QStringList{"conf.lmk"});
    }
    // A Cyrillic name, as the operator's folders have them.
    ASSERT_TRUE(ReplaceFileContent(Name(QStringLiteral("конфигурация.lmk")), content, nullptr));
    EXPECT_EQ(Content(QStringLiteral("конфигурация.lmk")), content);
}

// Another program has the file open without letting it be replaced (reading
// shared, or nothing shared): the save is refused saying so, and the file and
// folder stay as they were.
TEST_F(FilesWindows, Replace_FileHeldByAnotherProgram_IsRefusedAndLeftWhole)
{
    ASSERT_TRUE(dir.isValid());
    Put("conf.lmk", "old");
    const std::wstring path = QDir::toNativeSeparators(dir.filePath("conf.lmk")).toStdWString();
    for (const DWORD share : {DWORD(FILE_SHARE_READ), DWORD(0)}) {
        SCOPED_TRACE(share);
        const HANDLE holder = ::CreateFileW(path.c_str(), GENERIC_READ, share, nullptr,
                                            OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
        ASSERT_NE(holder, INVALID_HANDLE_VALUE);
        QString reason;
        EXPECT_FALSE(ReplaceFileContent(Name("conf.lmk"), "new", &reason));
        EXPECT_EQ(reason, QStringLiteral("файл занят другой программой"));
        ::CloseHandle(holder);
        EXPECT_EQ(Content("conf.lmk"), "old");
        EXPECT_EQ(Names(), QStringList{"conf.lmk"});
    }
}

TEST_F(FilesWindows, CreateNew_NeverReplacesAnExistingName)
{
    ASSERT_TRUE(dir.isValid());
    EXPECT_EQ(CreateNewFile(Name("backup.lmk"), "first"), 0);
    EXPECT_EQ(CreateNewFile(Name("backup.lmk"), "second"), EEXIST);
    EXPECT_EQ(Content("backup.lmk"), "first");
    EXPECT_EQ(CreateNewFile(Name("no-such-folder/backup.lmk"), "x"), ENOENT);
}

// Names that are no regular file are refused before anything is written, and
// never read as a configuration.
TEST_F(FilesWindows, NamesThatAreNoRegularFile_AreRefused)
{
    ASSERT_TRUE(dir.isValid());
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.lmk"));
    Put("conf.lmk", QByteArray(140, '1') + "\r\n");
    const struct
    {
        QByteArray name;
        bool refused;
    } cases[] = {
        {Name("conf.lmk"), false}, {Name("new.lmk"), false},         {Name("folder.lmk"), true},
        {QByteArray("NUL"), true}, {QByteArray("\\\\.\\NUL"), true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name.constData());
        EXPECT_EQ(!OutputRefusal(c.name).isEmpty(), c.refused);
        QByteArray line;
        EXPECT_EQ(ReadFileFirstLine(c.name, line), c.name == Name("conf.lmk"));
    }
    EXPECT_FALSE(ReplaceFileContent(Name("folder.lmk"), "x", nullptr));
    EXPECT_TRUE(QFileInfo(dir.filePath("folder.lmk")).isDir());

    // Why, in words of the operator's language: no English system text.
    static const QRegularExpression latin(QStringLiteral("[A-Za-z]"));
    for (const QByteArray& name : {QByteArray("CON"), QByteArray("PRN"), Name("a<b>.lmk")}) {
        SCOPED_TRACE(name.constData());
        QString reason;
        EXPECT_FALSE(ReplaceFileContent(name, "x", &reason));
        EXPECT_FALSE(reason.isEmpty() || reason.contains(latin)) << reason.toStdString();
    }
}
