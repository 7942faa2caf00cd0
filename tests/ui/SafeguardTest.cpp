// The window's wiring of each safeguard, on scripted stations in virtual time
// (the scenarios themselves are the session's tests): the question before a
// port selection replaces the table, the modified mark and the question on
// Exit, the backup before a write and its refusal, the read-back after
// "Записано", and the report of a write cut short.
#include "GuiSupport.h"

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
        lines.clear();
        ports.names.clear();
        seen.clear();
        AddLine(QStringLiteral("ttyS0"), ParamImage());
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
        lines.clear();
        ports.names.clear();
        seen.clear();
        Line& line = AddLine(QStringLiteral("ttyS0"), ParamImage());
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
    int writes = 0; // the first device stores and answers two blocks, then falls silent
    first.station.lose = [&](const QByteArray& request) {
        return request.at(3) == 'W' && ++writes > 2;
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
    form->ComboBox1->setFocus();
    QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    // The edit not on the device is asked about first.
    EXPECT_EQ(Texts(), (QStringList{UiTexts::ReplaceTableQuestion,
                                    UiTexts::WriteCut(QStringLiteral("ttyS0"), 2) + "\n" +
                                        UiTexts::BackupNote(form->LastBackup())}));
    EXPECT_EQ(FileContent(form->LastBackup()), ImageFileText(ParamImage()));
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
        EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("ttyS0[*] — ") + state))
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
        lines.clear();
        ports.names.clear();
        seen.clear();
        Line& line = AddLine(QStringLiteral("ttyS0"), ParamImage());
        int writes = 0; // the device stores and answers two blocks, then falls silent
        line.station.lose = [&](const QByteArray& request) {
            return request.at(3) == 'W' && ++writes > 2;
        };
        Create();
        SelectNextPort();
        EXPECT_FALSE(form->N17->isEnabled());
        model.setCell(1, 3, 1, MessageText(2));
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        for (int i = 0; i < 8; ++i) {
            clock->Advance(100);
            form->Timer1Timer();
            QCoreApplication::processEvents();
        }
        ASSERT_EQ(engine().WriteConfirmedBlocks(), 2);
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
