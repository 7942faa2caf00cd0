// Configuration file commands: the ".lmk" name rule, Open and Save round trips,
// the replace question, and saves that fail without harming the old file.
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "FileTexts.h"
#include "PromptDoubles.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

// A model whose table shows a random mix of used and unused rows.
void fillRandomly(ConfigModel& model, std::mt19937& rng)
{
    for (int i = 0; i < ParamImage::Size; ++i)
        model.image().setByte(i, std::uint8_t(rng()));
    model.ImageToTable();
}

const QByteArray OldContent = QByteArray(140, '1') + "\r\n";

// A model as the start-up leaves it without a locked file.
void startUp(ConfigModel& model)
{
    model.LabelPages();
    model.ImageToTable();
}

class ConfigFiles : public ::testing::Test
{
protected:
    void SetUp() override { startUp(model); }
    QString path(const QString& name) const { return dir.filePath(name); }
    QTemporaryDir dir;
    ConfigModel model;
    RecordingPrompts prompts;
};

} // namespace

TEST(LmkFileName, ReplacesTheLastExtensionOfTheFileNameOnly)
{
    const std::vector<std::pair<QString, QString>> cases = {
        {"conf.txt", "conf.lmk"},
        {"conf.lmk", "conf.lmk"},
        {"conf.LMK", "conf.lmk"},
        {"conf", "conf.lmk"},
        {"conf.", "conf.lmk"},
        {"a.tar.gz", "a.tar.lmk"},
        {"/dir.d/conf", "/dir.d/conf.lmk"}, // a full stop in a folder is no extension
        {"/dir.d/conf.x", "/dir.d/conf.lmk"},
        {".hidden", ".lmk"}, // the whole name is the extension
        {"/tmp/.hidden", "/tmp/.lmk"},
    };
    for (const auto& [chosen, expected] : cases)
        EXPECT_EQ(LmkFileName(chosen), expected) << qPrintable(chosen);
}

TEST_F(ConfigFiles, SaveWritesUpperCaseHexLineWithCrLf)
{
    model.image().setByte(69, 0xAB); // kept: the encoder rewrites bytes 0..63 only
    model.image().setByte(70, 0xCD); // never stored
    model.setCell(1, 1, 1, CoreTexts::MessageText(3));
    model.setCell(1, 1, 2, CoreTexts::Delay240);

    ASSERT_EQ(SaveConfigFile(model, path("a.lmk"), prompts), FileOutcome::Done);
    QByteArray expected = "F0"
                          "04" +
                          QByteArray(2 * 67, '0') +
                          "AB"
                          "\r\n";
    EXPECT_EQ(ReadBytes(path("a.lmk")), expected);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_TRUE(prompts.questions.isEmpty());
}

TEST_F(ConfigFiles, SaveThenOpenRestoresImageAndRowsForRandomConfigurations)
{
    std::mt19937 rng(4);
    for (int round = 0; round < 50; ++round) {
        ConfigModel saved;
        startUp(saved);
        fillRandomly(saved, rng);
        ASSERT_EQ(SaveConfigFile(saved, path("r.lmk"), prompts), FileOutcome::Done);

        ConfigModel loaded;
        startUp(loaded);
        loaded.image().setByte(70, 0x5A);
        loaded.image().setByte(71, 0xA5);
        ASSERT_EQ(OpenConfigFile(loaded, path("r.lmk"), prompts), FileOutcome::Done);

        for (int i = 0; i < ParamImage::StoredSize; ++i)
            ASSERT_EQ(loaded.image().byte(i), saved.image().byte(i)) << "byte " << i;
        EXPECT_EQ(loaded.image().byte(70), 0x5A);
        EXPECT_EQ(loaded.image().byte(71), 0xA5);
        EXPECT_EQ(loaded.table(), saved.table());
        EXPECT_EQ(loaded.OperatingMode(), saved.OperatingMode());
        EXPECT_FALSE(loaded.ConfigLocked()); // only the start-up file locks
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(ConfigFiles, LowerCaseFileOpensAndIsWrittenBackInUpperCase)
{
    const QByteArray lower = "87"
                             "04"
                             "c8"
                             "3f" +
                             QByteArray(2 * 66, '0') + "\r\n";
    WriteBytes(path("low.lmk"), lower);
    ASSERT_EQ(OpenConfigFile(model, path("low.lmk"), prompts), FileOutcome::Done);
    EXPECT_EQ(model.OperatingMode(), OtherDevicesMode);
    EXPECT_EQ(model.cell(1, 1, 1), CoreTexts::ModeUsed);
    EXPECT_EQ(model.cell(1, 3, 1), CoreTexts::ModeUsed);
    EXPECT_EQ(model.cell(1, 3, 2), CoreTexts::Delay0);

    ASSERT_EQ(SaveConfigFile(model, path("low.lmk"), prompts), FileOutcome::Done);
    // Address 3 keeps only what the table can show: used, delay code 0.
    EXPECT_EQ(ReadBytes(path("low.lmk")), "87"
                                        "04"
                                        "80" +
                                            QByteArray(2 * 67, '0') + "\r\n");
}

TEST_F(ConfigFiles, OtherExtensionsAreReadAndWrittenAsLmk)
{
    model.ToggleModeColumn(2);

    // Saving as conf.txt writes conf.lmk and leaves conf.txt alone.
    WriteBytes(path("conf.txt"), "text");
    ASSERT_EQ(SaveConfigFile(model, path("conf.txt"), prompts), FileOutcome::Done);
    EXPECT_EQ(ReadBytes(path("conf.txt")), "text");
    EXPECT_EQ(ReadBytes(path("conf.lmk")).size(), 142);
    EXPECT_TRUE(prompts.questions.isEmpty()); // conf.lmk did not exist yet

    // Opening conf.txt reads conf.lmk.
    ConfigModel other;
    startUp(other);
    ASSERT_EQ(OpenConfigFile(other, path("conf.txt"), prompts), FileOutcome::Done);
    EXPECT_EQ(other.table(), model.table());

    // A chosen name without extension reads the ".lmk" file too.
    WriteBytes(path("conf"), "");
    ConfigModel third;
    startUp(third);
    ASSERT_EQ(OpenConfigFile(third, path("conf"), prompts), FileOutcome::Done);
    EXPECT_EQ(third.table(), model.table());
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(ConfigFiles, ReplacingAnotherExistingLmkFileAsksFirst)
{
    model.ToggleModeColumn(1);
    WriteBytes(path("conf.lmk"), OldContent);

    prompts.answer = false;
    EXPECT_EQ(SaveConfigFile(model, path("conf.txt"), prompts), FileOutcome::NotTried);
    ASSERT_EQ(prompts.questions, QStringList{path("conf.lmk")});
    EXPECT_EQ(ReadBytes(path("conf.lmk")), OldContent);
    EXPECT_FALSE(QFile::exists(path("conf.txt")));

    prompts.answer = true;
    EXPECT_EQ(SaveConfigFile(model, path("conf.txt"), prompts), FileOutcome::Done);
    EXPECT_EQ(ReadBytes(path("conf.lmk")), model.image().toText() + "\r\n");

    // Choosing the ".lmk" name itself: the dialog already asked, no second question.
    prompts.questions.clear();
    EXPECT_EQ(SaveConfigFile(model, path("conf.lmk"), prompts), FileOutcome::Done);
    EXPECT_TRUE(prompts.questions.isEmpty());
    EXPECT_TRUE(prompts.errors.isEmpty());
}

TEST_F(ConfigFiles, OpenWithoutReadableLmkReportsAndChangesNothing)
{
    model.ToggleModeColumn(3);
    model.TableToImage();
    const ParamImage imageBefore = model.image();
    const AddressTable tableBefore = model.table();

    WriteBytes(path("conf.txt"), QByteArray(140, 'F'));
    QDir(dir.path()).mkdir("folder.lmk");
    WriteBytes(path("folder.txt"), "");
    for (const QString& chosen : {path("conf.txt"), path("folder.txt")}) {
        prompts.errors.clear();
        EXPECT_EQ(OpenConfigFile(model, chosen, prompts), FileOutcome::Failed);
        EXPECT_EQ(prompts.errors, QStringList{FileTexts::ReadError}) << qPrintable(chosen);
        EXPECT_EQ(model.image(), imageBefore);
        EXPECT_EQ(model.table(), tableBefore);
    }

    // A following Open of a good file works and reports nothing.
    prompts.errors.clear();
    WriteBytes(path("conf.lmk"), QByteArray(140, '0'));
    EXPECT_EQ(OpenConfigFile(model, path("conf.txt"), prompts), FileOutcome::Done);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_EQ(model.cell(3, 1, 1), CoreTexts::ModeUnused);
}

TEST_F(ConfigFiles, ChoiceThatVanishedOrIsEmptyDoesNothing)
{
    const AddressTable before = model.table();
    EXPECT_EQ(OpenConfigFile(model, path("gone.lmk"), prompts), FileOutcome::NotTried);
    EXPECT_EQ(OpenConfigFile(model, QString(), prompts), FileOutcome::NotTried);
    EXPECT_EQ(SaveConfigFile(model, QString(), prompts), FileOutcome::NotTried);
    EXPECT_EQ(model.table(), before);
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_TRUE(QDir(dir.path()).isEmpty());
}

TEST_F(ConfigFiles, FailedSaveReportsButStillRebuildsTheImage)
{
    model.setCell(1, 1, 1, CoreTexts::MessageText(1));
    model.setCell(1, 1, 2, CoreTexts::Delay60);
    QDir(dir.path()).mkdir("busy.lmk"); // a folder where the file would go
    EXPECT_EQ(SaveConfigFile(model, path("busy.lmk"), prompts), FileOutcome::Failed);
    EXPECT_EQ(prompts.errors, QStringList{FileTexts::WriteError});
    EXPECT_EQ(model.image().byte(0), 0x90);
    EXPECT_TRUE(QFileInfo(path("busy.lmk")).isDir());

    // A following good save reports nothing more.
    EXPECT_EQ(SaveConfigFile(model, path("ok.lmk"), prompts), FileOutcome::Done);
    EXPECT_EQ(prompts.errors.size(), 1);
}

TEST_F(ConfigFiles, ReadOnlyFolderAndFileFailWithoutTouchingTheFile)
{
    const QString folder = path("ro");
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    const QString target = folder + "/conf.lmk";
    WriteBytes(target, OldContent);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(target).constData(), 0444);
    ::chmod(QFile::encodeName(folder).constData(), 0555);

    model.ToggleModeColumn(1);
    const int code = RunUnprivileged([&] {
        if (SaveConfigFile(model, target, prompts) != FileOutcome::Failed)
            return 11;
        return prompts.errors == QStringList{FileTexts::WriteError} ? 0 : 12;
    });
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(code, 0);
    EXPECT_EQ(ReadBytes(target), OldContent);
    EXPECT_EQ(QDir(folder).entryList(QDir::Files), QStringList{"conf.lmk"});
}

TEST_F(ConfigFiles, ReadOnlyFolderWithWritableFileIsWrittenInPlace)
{
    const QString folder = path("ro");
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    const QString target = folder + "/conf.lmk";
    WriteBytes(target, OldContent);
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    ::chmod(QFile::encodeName(target).constData(), 0666);
    ::chmod(QFile::encodeName(folder).constData(), 0555);

    model.ToggleModeColumn(1);
    const int code = RunUnprivileged([&] {
        if (SaveConfigFile(model, target, prompts) != FileOutcome::Done)
            return 11;
        return prompts.errors.isEmpty() ? 0 : 12;
    });
    ::chmod(QFile::encodeName(folder).constData(), 0755);
    EXPECT_EQ(code, 0);
    model.TableToImage();
    EXPECT_EQ(ReadBytes(target), model.image().toText() + "\r\n");
}

// In a folder that allows no new file, an in-place rewrite that a file-size limit
// cuts short must give back the old file exactly, whether it was shorter, as long
// as, or longer than the new content; with room enough it is rewritten and
// trimmed to the new content.
TEST_F(ConfigFiles, InPlaceRewriteRestoresOldFilesOfAnyLengthOrTrimsThem)
{
    const QString folder = path("ro");
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    const QString target = folder + "/conf.lmk";
    ::chmod(QFile::encodeName(dir.path()).constData(), 0755);
    model.ToggleModeColumn(2);
    model.TableToImage();
    const QByteArray expected = model.image().toText() + "\r\n";

    const QByteArray olds[] = {QByteArray("ABCD\r\n"), OldContent, OldContent + "second line\r\n"};
    for (const QByteArray& old : olds) {
        for (rlim_t limit : {rlim_t(3), rlim_t(40), rlim_t(100), RLIM_INFINITY}) {
            ::chmod(QFile::encodeName(folder).constData(), 0755);
            WriteBytes(target, old);
            ::chmod(QFile::encodeName(target).constData(), 0666);
            ::chmod(QFile::encodeName(folder).constData(), 0555);
            const bool fits = limit >= rlim_t(expected.size()) || limit == RLIM_INFINITY;
            const int code = RunUnprivileged([&] {
                ::signal(SIGXFSZ, SIG_IGN);
                rlimit r{limit, limit};
                if (::setrlimit(RLIMIT_FSIZE, &r) != 0)
                    return 10;
                const FileOutcome want = fits ? FileOutcome::Done : FileOutcome::Failed;
                return SaveConfigFile(model, target, prompts) == want ? 0 : 11;
            });
            EXPECT_EQ(code, 0) << old.size() << " bytes, limit " << limit;
            EXPECT_EQ(ReadBytes(target), fits ? expected : old)
                << old.size() << " bytes, limit " << limit;
        }
    }
    ::chmod(QFile::encodeName(folder).constData(), 0755);
}

// A symbolic link is written through only where the system lets it be
// followed: not when it lies in a sticky world-writable folder (such as /tmp)
// and belongs neither to the writer nor to the folder's owner. Written through,
// the file it leads to is replaced in its own folder and the link stays.
TEST_F(ConfigFiles, SymbolicLinksInSharedFoldersAreFollowedOnlyWhereTheSystemWould)
{
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to give the folder and links other owners";
    constexpr uid_t FolderOwner = 65533;
    constexpr uid_t Stranger = 65534;
    const QString shared = path("shared");
    ASSERT_TRUE(QDir(dir.path()).mkdir("shared"));
    const QByteArray sharedName = QFile::encodeName(shared);
    ASSERT_EQ(::chown(sharedName.constData(), FolderOwner, FolderOwner), 0);
    ASSERT_EQ(::chmod(sharedName.constData(), 01777), 0);
    model.ToggleModeColumn(1);
    model.TableToImage();
    const QByteArray expected = model.image().toText() + "\r\n";

    const struct
    {
        const char* link;
        uid_t owner;
        bool followed;
    } cases[] = {{"stranger.lmk", Stranger, false},
                 {"folder-owner.lmk", FolderOwner, true},
                 {"mine.lmk", ::geteuid(), true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.link);
        const QString target = path(QStringLiteral("target-%1").arg(c.link));
        WriteBytes(target, OldContent);
        const QByteArray link = QFile::encodeName(shared + '/' + c.link);
        ASSERT_EQ(::symlink(QFile::encodeName(target).constData(), link.constData()), 0);
        ASSERT_EQ(::lchown(link.constData(), c.owner, c.owner), 0);

        EXPECT_EQ(WriteImageFile(QFile::decodeName(link), model.image()), c.followed);
        EXPECT_EQ(ReadBytes(target), c.followed ? expected : OldContent);
        EXPECT_TRUE(QFileInfo(QFile::decodeName(link)).isSymLink());
    }
    EXPECT_EQ(QDir(shared).entryList(QDir::Files | QDir::Hidden | QDir::System).size(), 3);
}
