// Configuration files read by name: the first line loaded, unreadable names
// refused. (A huge file and a pipe: FileFaultsTest.)
#include "ImageFile.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

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
