// The window's document without a window: what the modified mark and the cell
// marks compare with, the title, Open and Save moving the baseline, and when a
// connection's read asks before replacing the table.
#include "DocumentState.h"

#include "ConfigModel.h"
#include "CoreTexts.h"
#include "PromptDoubles.h"
#include "UiTexts.h"

#include <QDateTime>
#include <QDir>
#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

using namespace CoreTexts;
using Origin = DocumentState::Origin;

namespace {

class Document : public ::testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        model.LabelPages();
        model.ImageToTable();
        document.SetBaseline(Origin::StartUp, QString());
    }
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    ConfigModel model;
    RecordingPrompts prompts;
    DocumentState document{model, prompts};
};

} // namespace

// Any edit that changes what a write or Save would produce marks the document;
// undoing it clears the mark (the marks compare with the baseline, not history).
TEST_F(Document, EditsMarkTheDocument_UndoingThemClearsTheMark)
{
    const struct
    {
        const char* what;
        std::function<void()> before, edit, undo;
        bool cellMarked;
    } cases[] = {
        {"mode cell", {}, [&] { model.setCell(1, 3, 1, MessageText(2)); },
         [&] { model.setCell(1, 3, 1, ModeUnused); }, true},
        {"operating mode", {}, [&] { model.setOperatingMode(OtherDevicesMode); },
         [&] { model.setOperatingMode(SpeechMode); }, false},
        // The options are stored in the other devices' mode only.
        {"option",
         [&] {
             model.setOperatingMode(OtherDevicesMode);
             document.SetBaseline(Origin::StartUp, QString());
         },
         [&] { model.setCheckFaultInput(true); }, [&] { model.setCheckFaultInput(false); }, false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        if (c.before)
            c.before();
        int changes = 0;
        QObject::connect(&document, &DocumentState::changed, [&] { ++changes; });
        c.edit();
        EXPECT_TRUE(document.Modified());
        EXPECT_EQ(document.CellChanged(1, 3, 1), c.cellMarked);
        EXPECT_FALSE(document.CellChanged(1, 4, 1));
        EXPECT_FALSE(document.CellChanged(1, 0, 1)); // headers are never marked
        EXPECT_GT(changes, 0);
        c.undo();
        EXPECT_FALSE(document.Modified());
        EXPECT_FALSE(document.CellChanged(1, 3, 1));
        QObject::disconnect(&document, &DocumentState::changed, nullptr, nullptr);
    }
}

// The title names the file or port, then (with a port) where the table stands
// against the device, then the caption; "[*]" is where the window puts its
// modified mark. The write's claim goes with the first edit and comes back
// with the table it was about.
TEST_F(Document, TitleNamesTheOriginThenTheStateThenTheCaption)
{
    EXPECT_EQ(document.Title(), UiTexts::WindowCaption + "[*]");
    model.setCell(1, 3, 1, MessageText(2));
    const AddressTable written = model.table();
    ParamImage image = model.image();
    model.TableToImage(image);
    DeviceRecord record;
    record.port = QStringLiteral("ttyUSB0");
    record.content = DeviceRecord::Content::Holds;
    record.image = image;
    record.source = DeviceRecord::Source::WrittenAndVerified;
    record.at = QDateTime(QDate(2026, 1, 2), QTime(14, 5));
    document.SetDevice(record);
    model.setCell(1, 4, 1, MessageText(1)); // edited again while the write ran
    document.AdoptWritten(QStringLiteral("ttyUSB0"), written, image);
    EXPECT_EQ(document.Title(),
              "ttyUSB0[*] — отличается, 1 адр. — " + UiTexts::WindowCaption);
    EXPECT_EQ(document.origin(), Origin::Device);
    EXPECT_TRUE(document.Modified()); // the later edit is not on the device
    EXPECT_FALSE(document.CellChanged(1, 3, 1));
    EXPECT_TRUE(document.CellChanged(1, 4, 1));
    model.setCell(1, 4, 1, ModeUnused);
    EXPECT_EQ(document.Title(),
              "ttyUSB0[*] — записано и проверено 14:05 — " + UiTexts::WindowCaption);
}

// Save and Open make the file the baseline and the origin, after which a read
// asks before it replaces the table even without edits. A locked
// configuration is never replaced by Open and never asked about.
TEST_F(Document, SaveAndOpenMoveTheBaseline_AnOpenedFileIsAskedAbout)
{
    EXPECT_FALSE(document.AsksBeforeReplacing());
    model.setCell(1, 3, 1, MessageText(2));
    EXPECT_TRUE(document.AsksBeforeReplacing()); // unsaved edits
    ASSERT_TRUE(document.Save(Path("site.txt"), false));
    EXPECT_FALSE(document.Modified());
    EXPECT_FALSE(document.CellChanged(1, 3, 1));
    EXPECT_EQ(document.Title(), "site.lmk[*] — " + UiTexts::WindowCaption);
    EXPECT_EQ(document.FilePath(), Path("site.lmk")); // what Save offers next
    EXPECT_EQ(document.origin(), Origin::File);
    EXPECT_TRUE(document.AsksBeforeReplacing());

    model.setCell(1, 3, 1, ModeUnused);
    EXPECT_TRUE(document.Modified());
    ASSERT_TRUE(document.Open(Path("site.lmk"), false));
    EXPECT_EQ(model.cell(1, 3, 1), MessageText(2));
    EXPECT_FALSE(document.Modified());
    EXPECT_EQ(document.origin(), Origin::File);
    EXPECT_TRUE(document.AsksBeforeReplacing());

    ASSERT_TRUE(QDir(dir.path()).mkdir("folder.lmk")); // exists, cannot be read
    EXPECT_FALSE(document.Open(Path("folder.lmk"), false));
    EXPECT_EQ(prompts.errors.size(), 1);
    EXPECT_EQ(document.origin(), Origin::File); // a failed Open changes nothing
    EXPECT_EQ(document.FilePath(), Path("site.lmk"));
    // A read replaces the table: the file is no longer its own.
    document.SetBaseline(Origin::Device, QStringLiteral("COM3"));
    EXPECT_TRUE(document.FilePath().isEmpty());

    model.setConfigLocked(true);
    EXPECT_FALSE(document.AsksBeforeReplacing());
    model.setCell(1, 3, 1, ModeUnused);
    EXPECT_FALSE(document.Open(Path("site.lmk"), false));
    EXPECT_EQ(model.cell(1, 3, 1), ModeUnused);
    EXPECT_EQ(prompts.errors.size(), 1); // refused without a report
}

// Along read, Open, verified write, edit and Save over the opened file, a read
// asks whenever the table is not what the device holds: a table saved after a
// write is the file's, not the device's.
TEST_F(Document, ReadAsksWheneverTheTableIsNotTheDevices)
{
    model.setCell(1, 3, 1, MessageText(2));
    ASSERT_TRUE(document.Save(Path("site.lmk"), false));
    const struct
    {
        const char* step;
        std::function<void()> run;
        bool asks;
    } steps[] = {
        {"read", [&] { document.SetBaseline(Origin::Device, "ttyS0"); }, false},
        {"open", [&] { ASSERT_TRUE(document.Open(Path("site.lmk"), false)); }, true},
        {"write",
         [&] {
             ParamImage image = model.image();
             model.TableToImage(image);
             document.AdoptWritten("ttyS0", model.table(), image);
         },
         false},
        {"edit", [&] { model.setCell(1, 4, 1, MessageText(1)); }, true},
        {"save over the file", [&] { ASSERT_TRUE(document.Save(Path("site.lmk"), false)); }, true},
    };
    for (const auto& s : steps) {
        SCOPED_TRACE(s.step);
        s.run();
        EXPECT_EQ(document.AsksBeforeReplacing(), s.asks);
    }
}

// A file whose bytes the table cannot show all of (random digits) is said to
// be changed by a write; a file of the table's own encoding is not, and a
// verified write of the table ends the note.
TEST_F(Document, FileWithBitsTheTableCannotShow_TitleSaysAWriteChangesThem)
{
    const struct
    {
        QByteArray text;
        bool unshown;
    } cases[] = {
        {"82B70EEE7F1A5039BEF07EC2347F066ED08F5DC7512447E3404300026B6E545594A065685D64C498"
         "0BB8D4544A8721A99A01AD219EB59CF6A15EF6F15A1D830BB7CE09D6BBC0",
         true},
        {QByteArray(140, '0'), false},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text.constData());
        QFile file(Path("site.lmk"));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(c.text + "\r\n");
        file.close();
        ASSERT_TRUE(document.Open(Path("site.lmk"), false));
        EXPECT_EQ(document.HoldsUnshownBytes(), c.unshown);
        EXPECT_EQ(document.Title().contains(UiTexts::UnshownBitsNote), c.unshown);
        EXPECT_FALSE(document.Modified());
    }
    ASSERT_TRUE(document.Open(Path("site.lmk"), false));
    ParamImage image = model.image();
    model.TableToImage(image);
    document.AdoptWritten(QStringLiteral("ttyUSB0"), model.table(), image);
    EXPECT_FALSE(document.Title().contains(UiTexts::UnshownBitsNote));
}
