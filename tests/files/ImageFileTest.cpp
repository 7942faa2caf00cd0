// Configuration files read by name: the first line loaded, unreadable names
// refused, bounded memory for a huge file.
#include "ImageFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/resource.h>

class ImageFileTest : public ::testing::Test
{
protected:
    QString write(const QString& name, const QByteArray& content)
    {
        QFile f(dir.filePath(name));
        EXPECT_TRUE(f.open(QIODevice::WriteOnly));
        f.write(content);
        return f.fileName();
    }
    QTemporaryDir dir;
};

TEST_F(ImageFileTest, LoadsFirstLineAndKeepsBytes70And71)
{
    ParamImage image;
    image.setByte(70, 0xAA);
    image.setByte(71, 0xBB);
    QByteArray text(140, '0');
    text.replace(0, 4, "81c4");
    ASSERT_TRUE(LoadImageFile(write("a.lmk", text + "\r\nFFFF\r\n"), image));
    EXPECT_EQ(image.byte(0), 0x81);
    EXPECT_EQ(image.byte(1), 0xC4);
    EXPECT_EQ(image.byte(2), 0);
    EXPECT_EQ(image.byte(70), 0xAA);
    EXPECT_EQ(image.byte(71), 0xBB);
}

TEST_F(ImageFileTest, UnopenableNamesFailAndLeaveTheImage)
{
    ParamImage image;
    image.setByte(3, 0x42);
    EXPECT_FALSE(LoadImageFile(dir.filePath("missing.lmk"), image));
    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.lmk"));
    EXPECT_FALSE(LoadImageFile(dir.filePath("folder.lmk"), image));
    EXPECT_EQ(image.byte(3), 0x42);
}

TEST_F(ImageFileTest, EmptyFileIsAnEmptyLine)
{
    ParamImage image;
    image.setByte(5, 0x42);
    ASSERT_TRUE(LoadImageFile(write("empty.lmk", ""), image));
    EXPECT_EQ(image.byte(5), 0);
}

TEST_F(ImageFileTest, HugeFileWithoutLineEndLoadsInBoundedMemory)
{
    // A sparse 1 GiB file of NUL bytes with 140 digits at its start.
    const QString path = write("huge.lmk", QByteArray(140, 'C'));
    {
        QFile f(path);
        ASSERT_TRUE(f.open(QIODevice::ReadWrite));
        ASSERT_TRUE(f.resize(qint64(1) << 30));
    }
    rusage before{};
    getrusage(RUSAGE_SELF, &before);
    ParamImage image;
    ASSERT_TRUE(LoadImageFile(path, image));
    rusage after{};
    getrusage(RUSAGE_SELF, &after);
    EXPECT_EQ(image.byte(0), 0xCC);
    EXPECT_EQ(image.byte(69), 0xCC);
    // Peak resident size may not grow by anything like the file's size.
    EXPECT_LT(after.ru_maxrss - before.ru_maxrss, 64 * 1024); // KiB
}
