// Open and Save under hostile conditions: a full disk, a read-only folder, names
// that are folders, pipes and unreadable files, a huge file with no line end and
// binary garbage. Each failure must be reported, leave the model as it was, and
// never harm a good file that was there before.
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "FileTexts.h"
#include "ImageFile.h"
#include "PortDoubles.h"
#include "PromptDoubles.h"
#include "StartUp.h"
#include "TestFiles.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <random>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {

void setMode(const QString& path, mode_t mode)
{
    ASSERT_EQ(::chmod(QFile::encodeName(path).constData(), mode), 0) << qPrintable(path);
}

// Exit codes of the child bodies below.
enum ChildCode { Passed = 0, WrongOutcome = 21, WrongReport = 22 };

// The file size limit of a full disk: writes beyond `bytes` fail (EFBIG) and,
// with SIGXFSZ ignored, the process lives on to report it.
void limitFileSize(rlim_t bytes)
{
    ::signal(SIGXFSZ, SIG_IGN);
    const rlimit limit{bytes, bytes};
    ::setrlimit(RLIMIT_FSIZE, &limit);
}

// One Save in a child, expected to fail with "Ошибка записи".
int saveExpectingWriteError(ConfigModel& model, const QString& chosen)
{
    RecordingPrompts prompts(true);
    if (SaveConfigFile(model, chosen, prompts) != FileOutcome::Failed)
        return WrongOutcome;
    return prompts.errors == QStringList{FileTexts::WriteError} ? int(Passed) : int(WrongReport);
}

const QByteArray GoodContent = "C8B4" + QByteArray(136, '0') + "\r\n"; // a saved file

class FileFaults : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        setMode(dir.path(), 0777); // the unprivileged child works in here too
        model.LabelPages();
        model.ImageToTable();
        model.ToggleModeColumn(1); // the table differs from every file on disk
        model.ToggleModeColumn(3);
    }
    QString path(const QString& name) const { return dir.filePath(name); }
    QStringList entries(const QString& folder) const
    {
        return QDir(folder).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden);
    }

    QTemporaryDir dir;
    ConfigModel model;
    RecordingPrompts prompts{true};
};

} // namespace

// --- Save ----------------------------------------------------------------------

// A full disk at every point of the 142 bytes, over a good file: the old file
// stays as it was and no temporary file is left beside it.
TEST_F(FileFaults, SaveOnFullDisk_ReportsAndKeepsTheOldFileAtEveryCutOffPoint)
{
    for (rlim_t limit : {rlim_t(0), rlim_t(1), rlim_t(70), rlim_t(140), rlim_t(141)}) {
        WriteBytes(path("conf.lmk"), GoodContent);
        const int code = RunInChild([&] {
            limitFileSize(limit);
            return saveExpectingWriteError(model, path("conf.lmk"));
        });
        EXPECT_EQ(code, Passed) << "limit " << limit;
        EXPECT_EQ(ReadBytes(path("conf.lmk")), GoodContent) << "limit " << limit;
        EXPECT_EQ(entries(dir.path()), QStringList{"conf.lmk"}) << "limit " << limit;
    }
    // Exactly room for the file: it is written.
    const int code = RunInChild([&] {
        limitFileSize(142);
        RecordingPrompts p(true);
        return SaveConfigFile(model, path("conf.lmk"), p) == FileOutcome::Done ? 0 : 1;
    });
    EXPECT_EQ(code, 0);
    model.TableToImage();
    EXPECT_EQ(ReadBytes(path("conf.lmk")), model.image().toText() + "\r\n");
}

// A full disk and no earlier file: nothing half-written is left under the name.
TEST_F(FileFaults, SaveOnFullDiskOfANewName_LeavesNoFileBehind)
{
    const int code = RunInChild([&] {
        limitFileSize(100);
        return saveExpectingWriteError(model, path("new.txt"));
    });
    EXPECT_EQ(code, Passed);
    EXPECT_TRUE(entries(dir.path()).isEmpty()) << qPrintable(entries(dir.path()).join(' '));
}

// Read-only folder, no file yet: nothing can be created.
TEST_F(FileFaults, SaveIntoReadOnlyFolder_ReportsAndCreatesNothing)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    setMode(path("ro"), 0555);
    const int code = RunUnprivileged([&] { return saveExpectingWriteError(model, path("ro/x")); });
    setMode(path("ro"), 0755);
    EXPECT_EQ(code, Passed);
    EXPECT_TRUE(entries(path("ro")).isEmpty());
}

// Read-only folder holding a good file the user may write, and the disk full:
// no new file can be made beside it, and an in-place rewrite that fails part-way
// would destroy the good file. The old file must survive byte for byte.
TEST_F(FileFaults, SaveIntoReadOnlyFolderOnFullDisk_KeepsTheWritableOldFile)
{
    ASSERT_TRUE(QDir(dir.path()).mkdir("ro"));
    const QString target = path("ro/conf.lmk");
    WriteBytes(target, GoodContent);
    setMode(target, 0666);
    setMode(path("ro"), 0555);
    const int code = RunUnprivileged([&] {
        limitFileSize(40);
        return saveExpectingWriteError(model, target);
    });
    setMode(path("ro"), 0755);
    EXPECT_EQ(code, Passed);
    EXPECT_EQ(ReadBytes(target), GoodContent);
    EXPECT_EQ(entries(path("ro")), QStringList{"conf.lmk"});
}

// The ".lmk" name is a folder holding a good file: reported, and neither the
// folder nor what it holds changes.
TEST_F(FileFaults, SaveOverAFolderName_LeavesTheFolderAndItsFileAlone)
{
    ASSERT_TRUE(QDir(dir.path()).mkpath("conf.lmk"));
    WriteBytes(path("conf.lmk/inner.lmk"), GoodContent);
    for (const QString& chosen : {path("conf.lmk"), path("conf.txt")}) {
        EXPECT_EQ(RunInChild([&] { return saveExpectingWriteError(model, chosen); }), Passed)
            << qPrintable(chosen);
        EXPECT_TRUE(QFileInfo(path("conf.lmk")).isDir());
        EXPECT_EQ(entries(path("conf.lmk")), QStringList{"inner.lmk"});
        EXPECT_EQ(ReadBytes(path("conf.lmk/inner.lmk")), GoodContent);
    }
}

TEST_F(FileFaults, SaveIntoAMissingFolder_Reports)
{
    EXPECT_EQ(SaveConfigFile(model, path("missing/conf.lmk"), prompts), FileOutcome::Failed);
    EXPECT_EQ(prompts.errors, QStringList{FileTexts::WriteError});
    EXPECT_TRUE(entries(dir.path()).isEmpty());
}

// --- Open ----------------------------------------------------------------------

namespace {

// The state an Open must leave alone when it fails.
struct Snapshot
{
    explicit Snapshot(const ConfigModel& m)
        : image(m.image()), table(m.table()), mode(m.OperatingMode()), options(m.options())
    {
    }
    bool operator==(const Snapshot&) const = default;
    ParamImage image;
    AddressTable table;
    int mode;
    CommonOptions options;
};

} // namespace

TEST_F(FileFaults, OpenOfAnUnreadableFile_ReportsAndChangesNothing)
{
    model.TableToImage();
    const Snapshot before(model);

    // A good file that this user may not read.
    WriteBytes(path("secret.lmk"), GoodContent);
    setMode(path("secret.lmk"), 0000);
    const int code = RunUnprivileged([&] {
        RecordingPrompts p(true);
        if (OpenConfigFile(model, path("secret.lmk"), p) != FileOutcome::Failed)
            return int(WrongOutcome);
        if (p.errors != QStringList{FileTexts::ReadError})
            return int(WrongReport);
        return Snapshot(model) == before ? int(Passed) : 30;
    });
    EXPECT_EQ(code, Passed);
}

// The chosen file vanished after the dialog closed (a dangling link counts as
// gone too): nothing happens and nothing is reported.
TEST_F(FileFaults, OpenOfAVanishedFile_DoesNothing)
{
    const Snapshot before(model);
    WriteBytes(path("gone.lmk"), GoodContent);
    ASSERT_TRUE(QFile::remove(path("gone.lmk")));
    ASSERT_TRUE(QFile::link(path("nowhere.lmk"), path("dangling.lmk")));
    for (const QString& chosen : {path("gone.lmk"), path("dangling.lmk")}) {
        EXPECT_EQ(OpenConfigFile(model, chosen, prompts), FileOutcome::NotTried)
            << qPrintable(chosen);
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
    EXPECT_TRUE(Snapshot(model) == before);
}

// A named pipe nobody writes to: opening it for reading would wait forever and
// freeze the window. It is no configuration file: the Open must end, reporting.
TEST_F(FileFaults, OpenOfANamedPipe_EndsWithoutWaitingForAWriter)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("pipe.lmk")).constData(), 0644), 0);
    const Snapshot before(model);
    const int code = RunInChild(
        [&] {
            RecordingPrompts p(true);
            OpenConfigFile(model, path("pipe.lmk"), p);
            return Snapshot(model) == before ? int(Passed) : 30;
        },
        5);
    EXPECT_EQ(code, Passed) << "200 means the Open was still waiting after 5 s";
}

// 1 GiB with no line end (sparse, so it costs no disk): the first line is cut
// where it stops mattering, so memory stays small, and the result is the
// lenient one: NUL characters are no digits, bytes 0..69 read as 0.
TEST_F(FileFaults, OpenOfAGibibyteWithoutLineEnd_UsesBoundedMemory)
{
    const QString big = path("big.lmk");
    {
        QFile f(big);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        ASSERT_TRUE(f.resize(qint64(1) << 30));
    }
    ASSERT_EQ(QFileInfo(big).size(), qint64(1) << 30);
    const int code = RunInChild([&] {
        rusage before{};
        ::getrusage(RUSAGE_SELF, &before);
        ConfigModel m;
        m.LabelPages();
        for (int i = 0; i < ParamImage::Size; ++i)
            m.image().setByte(i, 0x77);
        RecordingPrompts p(true);
        if (OpenConfigFile(m, big, p) != FileOutcome::Done || !p.errors.isEmpty())
            return int(WrongOutcome);
        for (int i = 0; i < ParamImage::StoredSize; ++i) {
            if (m.image().byte(i) != 0)
                return 31;
        }
        if (m.image().byte(70) != 0x77 || m.image().byte(71) != 0x77)
            return 32;
        rusage after{};
        ::getrusage(RUSAGE_SELF, &after);
        // ru_maxrss is in KiB; reading the whole file into memory would add 1 GiB.
        return after.ru_maxrss - before.ru_maxrss < 16 * 1024 ? int(Passed) : 33;
    });
    EXPECT_EQ(code, Passed);
}

// Binary garbage of every kind opens without harm: the file is read, the
// lenient pair rule gives the bytes, and the table shows them.
TEST_F(FileFaults, OpenOfBinaryGarbage_LoadsLenientlyAndDecodes)
{
    std::mt19937 rng(6);
    for (int round = 0; round < 40; ++round) {
        QByteArray junk(int(rng() % 600), '\0');
        for (char& c : junk)
            c = char(rng());
        if (round % 4 == 0)
            junk.prepend("\x1A"); // the text ends before it starts
        WriteBytes(path("junk.lmk"), junk);

        ConfigModel m;
        m.LabelPages();
        m.ImageToTable();
        ASSERT_EQ(OpenConfigFile(m, path("junk.lmk"), prompts), FileOutcome::Done) << round;
        if (round % 4 == 0) {
            for (int i = 0; i < ParamImage::StoredSize; ++i)
                ASSERT_EQ(m.image().byte(i), 0) << round;
        }
        // What is shown is what the image holds: decoding again changes nothing.
        const AddressTable shown = m.table();
        m.ImageToTable();
        EXPECT_EQ(m.table(), shown) << round;
    }
    EXPECT_TRUE(prompts.errors.isEmpty());
}

// The same for the locked file read at start-up: a pipe named "regul.lmk" is
// unreadable, so the start-up goes on unlocked instead of waiting.
TEST_F(FileFaults, StartUpWithAPipeAsLockedFile_GoesOnUnlocked)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path("regul.lmk")).constData(), 0644), 0);
    const int code = RunInChild(
        [&] {
            NoPorts none;
            ConfigModel m;
            RunStartUp(m, none, LoadImageFile, {}, path("regul.lmk"));
            return !m.ConfigLocked() && m.cell(1, 1, 1) == CoreTexts::ModeUnused ? int(Passed) : 30;
        },
        5);
    EXPECT_EQ(code, Passed) << "200 means the start-up was still waiting after 5 s";
}
