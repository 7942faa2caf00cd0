// The window's wiring of each safeguard, on scripted stations in virtual time
// (the scenarios themselves are the session's tests): the question before a
// port selection, "прочесть" or Открыть replaces the table, a read undone, the
// modified mark and the question on
// Exit, the backup before a write and its refusal, the read-back after
// "Записано", the report of a write cut short, and the comparisons with the
// device and with a file.
#include "GuiSupport.h"

#include "ComparisonMarks.h"
#include "ConfigFiles.h"
#include "CoreTexts.h"
#include "LinkTexts.h"
#include "ScriptedStation.h"
#include "UiTexts.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <map>

using namespace CoreTexts;

namespace {

const QByteArray Invitation = QByteArray::fromHex("FF0000FF");

// A configuration with address 3 used (Сообщ.2, 30 s).
ParamImage Prepared()
{
    ParamImage image;
    image.setByte(2, 0x88);
    return image;
}

QByteArray FileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// A scripted line with its station.
struct Line
{
    explicit Line(std::shared_ptr<VirtualClock> clock)
        : port(std::make_shared<ScriptedPort>(std::move(clock)))
    {
        port->Deliver(Invitation);
    }
    std::shared_ptr<ScriptedPort> port;
    ScriptedStation station{*port};
    bool Sent(char command) const
    {
        return std::any_of(station.requests.begin(), station.requests.end(),
                           [command](const QByteArray& r) { return r.at(3) == command; });
    }
};

} // namespace

class Safeguards : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        QDir(TForm1::BackupFolder()).removeRecursively();
        QFile::remove(TForm1::BackupFolder());
        parts.clock = clock;
        parts.transports = [this](const QString& name) { return lines.at(name)->port; };
        boxes.setInterval(5);
        QObject::connect(&boxes, &QTimer::timeout, [this] { closeBox(); });
        boxes.start();
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        QDir(TForm1::BackupFolder()).removeRecursively();
        QFile::remove(TForm1::BackupFolder());
    }
    // `line`'s device stores and answers two blocks of a write, then falls
    // silent; an edit is written from the window until those two are confirmed.
    void WriteStoppingAfterTwoBlocks(Line& line)
    {
        writesSeen = 0;
        line.station.lose = [this](const QByteArray& request) {
            return request.at(3) == 'W' && ++writesSeen > 2;
        };
        Create();
        SelectNextPort();
        model.setCell(1, 3, 1, MessageText(2));
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        for (int i = 0; i < 8; ++i) {
            clock->Advance(100);
            form->Timer1Timer();
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(engine().WriteConfirmedBlocks(), 2);
    }
    int writesSeen = 0;
    // A case of a table-driven test starts over: one line "ttyS0" holding
    // `image`, nothing seen yet.
    Line& OnlyLine(const ParamImage& image)
    {
        lines.clear();
        ports.names.clear();
        seen.clear();
        return AddLine(QStringLiteral("ttyS0"), image);
    }
    Line& AddLine(const QString& name, const ParamImage& image)
    {
        auto& line = lines[name] = std::make_unique<Line>(clock);
        line->station.image = image;
        ports.names.append(name);
        return *line;
    }
    // The window's ticks are the test's: one per 100 ms of virtual time.
    void Create()
    {
        CreateWindow();
        form->Timer1->stop();
    }
    void TickToEnd()
    {
        for (int i = 0; i < 400 && session().Busy(); ++i) {
            clock->Advance(100);
            form->Timer1Timer();
            QCoreApplication::processEvents();
        }
        ASSERT_FALSE(session().Busy());
    }
    // Selects the next port with the keyboard and reads it.
    void SelectNextPort()
    {
        form->ComboBox1->setFocus();
        QTest::keyClick(form->ComboBox1, Qt::Key_Down);
        TickToEnd();
    }
    // Every box that comes is recorded and answered with `answer` when it has
    // that button, else with OK.
    void closeBox()
    {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        seen.append(CloseMessageBox(box, box->button(answer) ? answer : QMessageBox::Ok));
    }
    QStringList Texts() const
    {
        QStringList texts;
        for (const BoxSeen& box : seen)
            texts << box.text;
        return texts;
    }

    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
    std::map<QString, std::unique_ptr<Line>> lines;
    QTimer boxes;
    QMessageBox::StandardButton answer = QMessageBox::No;
    QList<BoxSeen> seen;
};

// A port selection asks before the device's data replaces a file the operator
// opened; "no" keeps the table and reads the device for the record only.
TEST_F(Safeguards, PortSelection_AsksBeforeReplacingAnOpenedFile)
{
    ASSERT_TRUE(WriteImageFile(Path("prepared.lmk"), Prepared()));
    for (const bool replace : {true, false}) {
        SCOPED_TRACE(replace ? "replace" : "keep");
        OnlyLine(ParamImage());
        Create();
        form->OpenFile(Path("prepared.lmk"));
        answer = replace ? QMessageBox::Yes : QMessageBox::No;
        SelectNextPort();
        EXPECT_EQ(Texts(), QStringList{UiTexts::ReplaceTableQuestion});
        EXPECT_TRUE(session().record().known());
        EXPECT_EQ(form->StringGrid1->Cells(1, 3), replace ? ModeUnused : MessageText(2));
        form.reset();
    }
}

// Edits show in the title; Exit asks only while they are neither saved nor
// written.
TEST_F(Safeguards, Edits_MarkTheTitle_ExitAsksUntilSaved)
{
    Create();
    EXPECT_FALSE(form->isWindowModified());
    model.setCell(1, 3, 1, MessageText(2));
    EXPECT_TRUE(form->isWindowModified());

    answer = QMessageBox::Cancel;
    form->N7->trigger();
    EXPECT_EQ(Texts(), QStringList{UiTexts::SaveChangesQuestion});
    EXPECT_EQ(seen.value(0).buttons.size(), 3);
    EXPECT_TRUE(form->isVisible());

    ASSERT_TRUE(form->SaveFile(Path("site.lmk")));
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("site.lmk")));

    model.setCell(1, 3, 1, MessageText(3));
    answer = QMessageBox::Discard;
    form->close();
    EXPECT_EQ(seen.size(), 2);
    EXPECT_FALSE(form->isVisible());
}

// A write keeps what the device held in a backup first, then is read back:
// a device that holds the write gets the title's note; one on which two
// read-backs agree on something else gets a box naming the difference and the
// backup, offering to write again.
TEST_F(Safeguards, WriteKeepsABackup_IsReadBack_DifferenceInABox_MatchInTheTitle)
{
    for (const bool deviceChanges : {false, true}) {
        SCOPED_TRACE(deviceChanges ? "device changes" : "device keeps the write");
        Line& line = OnlyLine(ParamImage());
        Create();
        SelectNextPort();
        model.setCell(1, 3, 1, MessageText(2));
        if (deviceChanges) // the device drops the write's block 0 once it is stored
            line.station.alter = [&](QByteArray&, int) {
                if (line.Sent('W'))
                    line.station.image.setByte(2, 0);
            };
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        TickToEnd();
        EXPECT_EQ(FileContent(form->LastBackup()), ImageFileText(ParamImage()));
        ASSERT_FALSE(seen.isEmpty());
        EXPECT_EQ(seen.first().text, LinkTexts::Written);
        if (deviceChanges) {
            ASSERT_EQ(seen.size(), 2);
            EXPECT_EQ(seen[1].text, UiTexts::WriteDiffers(1, 0) + "\n" +
                                        UiTexts::BackupNote(form->LastBackup()) + "\n\n" +
                                        UiTexts::WriteAgainQuestion);
            EXPECT_TRUE(form->isWindowModified()); // not on the device
        } else {
            EXPECT_EQ(seen.size(), 1);
            EXPECT_FALSE(form->isWindowModified());
        }
        EXPECT_EQ(model.table().cell(1, 3, 1), MessageText(2)); // the read-back left the table
        form.reset();
    }
}

// A backup that cannot be written stops the write before anything is sent.
TEST_F(Safeguards, BackupThatCannotBeWritten_WriteDoesNotStart)
{
    QFile blocker(TForm1::BackupFolder()); // a file where the folder should be
    ASSERT_TRUE(QDir().mkpath(QFileInfo(blocker.fileName()).path()));
    ASSERT_TRUE(blocker.open(QIODevice::WriteOnly));
    blocker.close();
    Line& line = AddLine(QStringLiteral("ttyS0"), ParamImage());
    Create();
    SelectNextPort();
    model.setCell(1, 3, 1, MessageText(2));
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    TickToEnd();
    ASSERT_EQ(seen.size(), 1);
    EXPECT_TRUE(
        seen[0].text.startsWith(UiTexts::BackupFailed(QString(), QString()).section('\n', 0, 0)));
    EXPECT_FALSE(engine().WriteRequested());
    EXPECT_FALSE(line.Sent('W'));
}

// A write cut short by selecting another port says which port was left with
// how many confirmed blocks, and where the device's earlier configuration is.
TEST_F(Safeguards, WriteCutShort_NamesThePortLeftHalfWritten)
{
    Line& first = AddLine(QStringLiteral("ttyS0"), ParamImage());
    AddLine(QStringLiteral("ttyS1"), ParamImage());
    ASSERT_NO_FATAL_FAILURE(WriteStoppingAfterTwoBlocks(first));
    form->ComboBox1->setFocus();
    QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    // The edit not on the device is asked about first.
    EXPECT_EQ(Texts(), (QStringList{UiTexts::ReplaceTableQuestion,
                                    UiTexts::WriteCut(QStringLiteral("ttyS0"), 2) + "\n" +
                                        UiTexts::BackupNote(form->LastBackup())}));
    EXPECT_EQ(FileContent(form->LastBackup()), ImageFileText(ParamImage()));
}

// "прочесть" asks before replacing edits the device does not hold; "no" starts
// no read. With nothing to lose it asks nothing.
TEST_F(Safeguards, ReadButton_AsksBeforeReplacingEdits_NoStartsNothing)
{
    Line& line = AddLine(QStringLiteral("ttyS0"), Prepared());
    Create();
    SelectNextPort();
    ASSERT_TRUE(seen.isEmpty());
    const struct
    {
        bool edited;
        QMessageBox::StandardButton answer;
        bool read;
    } cases[] = {
        {false, QMessageBox::No, true},
        {true, QMessageBox::No, false},
        {true, QMessageBox::Yes, true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(testing::Message() << c.edited << " " << c.answer);
        seen.clear();
        answer = c.answer;
        if (c.edited)
            model.setCell(1, 5, 1, MessageText(1));
        const auto requests = line.station.requests.size();
        QTest::mouseClick(form->Button3, Qt::LeftButton);
        TickToEnd();
        EXPECT_EQ(Texts(), c.edited ? QStringList{UiTexts::ReplaceTableQuestion} : QStringList());
        EXPECT_EQ(line.station.requests.size() > requests, c.read);
        EXPECT_EQ(model.cell(1, 5, 1), c.read ? ModeUnused : MessageText(1));
    }
}

// Open over unsaved edits asks "Сохранить изменения?": cancel opens nothing,
// discard opens, save writes the edits into the file the table came from first.
TEST_F(Safeguards, OpenOverEdits_AsksToSaveThem_IntoTheFileTheTableCameFrom)
{
    ASSERT_TRUE(WriteImageFile(Path("a.lmk"), ParamImage()));
    ASSERT_TRUE(WriteImageFile(Path("b.lmk"), Prepared()));
    const struct
    {
        QMessageBox::StandardButton answer;
        bool opened;
    } cases[] = {{QMessageBox::Cancel, false}, {QMessageBox::Discard, true},
                 {QMessageBox::Save, true}};
    for (const auto& c : cases) {
        SCOPED_TRACE(c.answer);
        seen.clear();
        Create();
        form->OpenFile(Path("a.lmk"));
        model.setCell(1, 5, 1, MessageText(1));
        ParamImage edited = model.image();
        model.TableToImage(edited);
        answer = c.answer;
        form->OpenFile(Path("b.lmk"));
        EXPECT_EQ(Texts(), QStringList{UiTexts::SaveChangesQuestion});
        EXPECT_EQ(model.cell(1, 3, 1), c.opened ? MessageText(2) : ModeUnused);
        EXPECT_EQ(form->windowTitle().startsWith("b.lmk"), c.opened);
        EXPECT_EQ(FileContent(Path("a.lmk")),
                  ImageFileText(c.answer == QMessageBox::Save ? edited : ParamImage()));
        ASSERT_TRUE(WriteImageFile(Path("a.lmk"), ParamImage()));
        form.reset();
    }
}

namespace {
// The addresses a comparison marked.
QList<int> MarkedAddresses(const TForm1& form)
{
    QList<int> marked;
    for (int a = 1; a <= 64; ++a)
        if (form.Marks().Marked((a - 1) / 16 + 1, (a - 1) % 16 + 1))
            marked << a;
    return marked;
}
} // namespace

// "Сравнить с устройством" reads the device beside the table: the differing
// addresses are marked, the table and image stay; a read that fails says so.
TEST_F(Safeguards, CompareWithTheDevice_MarksTheDifferences_NeverTouchesTheTable)
{
    for (const bool answering : {true, false}) {
        SCOPED_TRACE(answering ? "device answers" : "device silent");
        Line& line = OnlyLine(Prepared());
        Create();
        SelectNextPort();
        // Since the read: address 3 moved on the device, address 10 in the table.
        line.station.image.setByte(2, 0x80 | 0x40);
        line.station.answering = answering;
        model.setCell(1, 10, 1, MessageText(1));
        const AddressTable table = model.table();
        const ParamImage image = model.image();
        seen.clear();
        form->N21->trigger();
        TickToEnd();
        EXPECT_EQ(model.table(), table);
        EXPECT_EQ(model.image(), image);
        if (answering) {
            EXPECT_EQ(Texts(), QStringList{UiTexts::CompareDiffers(
                                   UiTexts::CompareDeviceSide(QStringLiteral("ttyS0")), 2)});
            EXPECT_EQ(MarkedAddresses(*form), QList<int>({3, 10}));
        } else {
            EXPECT_EQ(Texts().value(Texts().size() - 1), UiTexts::CompareReadFailed);
            EXPECT_TRUE(MarkedAddresses(*form).isEmpty());
        }
        form.reset();
    }
}

// A read is one step: undone, the table and its origin are as before it, and the
// state says the table differs from the device (undo never touches it); redone,
// the device's again. Neither undo nor redo while a transfer runs.
TEST_F(Safeguards, ReadIsUndoneWithItsTitle_NotWhileATransferRuns)
{
    AddLine(QStringLiteral("ttyS0"), Prepared());
    Create();
    ClickCell(form->StringGrid1, 1, 0); // a step before the read
    const AddressTable before = model.table();
    answer = QMessageBox::Yes;
    form->ComboBox1->setFocus();
    QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    clock->Advance(100);
    form->Timer1Timer();
    ASSERT_TRUE(session().Busy());
    EXPECT_FALSE(form->N19->isEnabled());
    TickToEnd();
    ASSERT_EQ(model.cell(1, 3, 1), MessageText(2));
    const QString readTitle = form->windowTitle();
    EXPECT_TRUE(form->N19->isEnabled());
    EXPECT_EQ(form->N19->text(), "&" + UiTexts::UndoItem + " " + UiTexts::ReadStep);

    form->N19->trigger();
    EXPECT_EQ(model.table(), before);
    EXPECT_EQ(form->Document().origin(), DocumentState::Origin::StartUp);
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("ttyS0: отличается, ")))
        << form->windowTitle().toStdString();
    form->N20->trigger();
    EXPECT_EQ(model.cell(1, 3, 1), MessageText(2));
    EXPECT_EQ(form->windowTitle(), readTitle);
}

// "Сравнить с файлом…" marks exactly the addresses whose rows would change and
// counts the bytes whose differing bits the table cannot show; marked cells
// look unlike both plain and changed ones.
TEST_F(Safeguards, CompareWithAFile_MarksExactlyTheDifferingAddresses_CountsUnshownBits)
{
    Create();
    model.setCell(1, 5, 1, MessageText(1));
    model.setCell(1, 5, 2, Delay30);
    ParamImage file;
    file.setByte(0, 0x80);          // address 1 used
    file.setByte(4, 0x80 | 0x10);   // address 5: 60 s instead of 30 s
    file.setByte(6, 0x10);          // address 7 unused, with delay bits no cell shows
    file.setByte(65, 0x01);         // a byte no cell shows
    ASSERT_TRUE(WriteImageFile(Path("site.lmk"), file));
    form->CompareWithFile(Path("site.lmk"));
    EXPECT_EQ(Texts(), QStringList{UiTexts::CompareDiffers(
                                       UiTexts::CompareFileSide(QStringLiteral("site.lmk")), 2) +
                                   "\n" + UiTexts::CompareUnshownBytes(2)});
    EXPECT_EQ(MarkedAddresses(*form), QList<int>({1, 5}));
    EXPECT_EQ(model.cell(1, 1, 1), ModeUnused);

    // Address 1 marked, address 3 plain, address 9 changed since start-up.
    model.blockSignals(true); // an edit would take the marks away
    model.setCell(1, 9, 1, MessageText(2));
    model.blockSignals(false);
    const QImage shot = form->StringGrid1->grab().toImage();
    const auto inside = [&](int row) {
        return shot.pixelColor(form->StringGrid1->ClientOrigin() +
                               form->StringGrid1->CellRect(1, row).topLeft() + QPoint(1, 1));
    };
    EXPECT_NE(inside(1), inside(3));
    EXPECT_NE(inside(1), inside(9));
}

// The marks go with the next edit and when the table is replaced (the model's
// own changes are the marks' tests).
TEST_F(Safeguards, ComparisonMarks_GoWithAnEditOrANewTable)
{
    ParamImage file;
    file.setByte(0, 0x80);
    ASSERT_TRUE(WriteImageFile(Path("site.lmk"), file));
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"a pick in the popup",
         [&] {
             ClickCell(form->StringGrid4, 1, 16);
             QTest::keyClick(form->ComboBox2, Qt::Key_Down);
         }},
        {"Open",
         [&] {
             answer = QMessageBox::Discard; // the pick is given up
             form->OpenFile(Path("site.lmk"));
         }},
    };
    Create();
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        form->CompareWithFile(Path("site.lmk"));
        ASSERT_TRUE(form->Marks().Any());
        change();
        EXPECT_FALSE(form->Marks().Any());
    }
}

// The state line and the title say where the table stands: nothing without a
// port, the device's configuration after a read, the count of differing
// addresses from the first edit on (in a warning tone), a verified write.
TEST_F(Safeguards, StateLineAndTitle_FollowReadEditAndWrite)
{
    ParamImage speech = Prepared(); // as the table encodes it: nothing it cannot show
    speech.setByte(1, 0x04);
    AddLine(QStringLiteral("ttyS0"), speech);
    Create();
    const auto says = [this](const QString& state) {
        EXPECT_TRUE(form->StateLine->text().startsWith(state))
            << form->StateLine->text().toStdString();
        // The title names the port once.
        EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("ttyS0[*] — ") +
                                                   state.mid(QStringLiteral("ttyS0: ").size())))
            << form->windowTitle().toStdString();
    };
    EXPECT_EQ(form->StateLine->text(), QStringLiteral("порт не выбран"));
    EXPECT_EQ(form->windowTitle(), UiTexts::WindowCaption + "[*]");
    SelectNextPort();
    says(QStringLiteral("ttyS0: как в устройстве, "));
    EXPECT_FALSE(form->StateLine->text().contains(UiTexts::UnshownBitsNote));
    EXPECT_TRUE(form->StateLine->styleSheet().isEmpty());
    model.setCell(1, 4, 1, MessageText(1));
    says(QStringLiteral("ttyS0: отличается, 1 адр."));
    EXPECT_FALSE(form->StateLine->styleSheet().isEmpty());
    EXPECT_TRUE(form->StateLine->toolTip().contains(QStringLiteral("адресов: 1")));
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    TickToEnd();
    says(QStringLiteral("ttyS0: записано и проверено "));
    EXPECT_TRUE(form->StateLine->styleSheet().isEmpty());
}

// Esc, or the device hanging up, ends a running write: the device is reported
// partly written, the progress bar goes, the state line says so, and Exit names
// it even with nothing unsaved; "no" stays.
TEST_F(Safeguards, WriteEndedByEscOrHangUp_StateLineAndExitNameThePartlyWrittenDevice)
{
    for (const bool hangUp : {false, true}) {
        SCOPED_TRACE(hangUp ? "hang-up" : "Esc");
        Line& line = OnlyLine(ParamImage());
        ASSERT_NO_FATAL_FAILURE(WriteStoppingAfterTwoBlocks(line));
        ASSERT_TRUE(form->N17->isEnabled());
        if (hangUp) {
            line.port->hungUp = true;
            form->Timer1Timer();
            QCoreApplication::processEvents();
        } else {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Escape);
        }
        EXPECT_FALSE(session().Busy());
        EXPECT_FALSE(form->ProgressBar1->isVisible());
        EXPECT_FALSE(form->N17->isEnabled());
        const QString partly = QStringLiteral("Устройство на ttyS0 записано не полностью (2 из 6 "
                                              "блоков). Резервная копия: ") +
                               form->LastBackup();
        EXPECT_EQ(Texts(), QStringList{UiTexts::WriteCut(QStringLiteral("ttyS0"), 2) + "\n" +
                                       UiTexts::BackupNote(form->LastBackup())});
        EXPECT_EQ(form->StateLine->text(), QStringLiteral("ttyS0: записано не полностью, 2 из 6"));
        EXPECT_EQ(form->StateLine->toolTip(), partly);

        ASSERT_TRUE(form->SaveFile(Path("site.lmk"))); // nothing unsaved
        answer = QMessageBox::No;
        form->N7->trigger();
        EXPECT_EQ(Texts().value(1), partly + "\n\n" + UiTexts::ExitAnywayQuestion);
        EXPECT_TRUE(form->isVisible());
        form.reset();
    }
}
