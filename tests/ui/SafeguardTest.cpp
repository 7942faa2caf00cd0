// What keeps the operator's configuration and the device's apart from silent
// loss: the question before a port selection replaces the table, the title's
// modified mark and the cell marks, the question on Exit, the read-back after
// "Записано", the report of a write cut short, and the backup before a write.
#include "GuiSupport.h"

#include "ConfigFiles.h"
#include "CoreTexts.h"
#include "LinkTexts.h"
#include "StationSimulator.h"
#include "UiTexts.h"

#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

using namespace CoreTexts;

namespace {

// The demo configuration with address 3 used (Сообщ.2, 30 s): what the operator prepared.
ParamImage Prepared()
{
    ParamImage image = StationSimulator::DemoImage();
    image.setByte(2, 0x88);
    return image;
}

bool SameStored(const ParamImage& a, const ParamImage& b)
{
    for (int i = 0; i < ParamImage::StoredSize; ++i)
        if (a.byte(i) != b.byte(i))
            return false;
    return true;
}

QByteArray FileContent(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

} // namespace

class Safeguards : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        QDir(TForm1::BackupFolder()).removeRecursively();
        QFile::remove(TForm1::BackupFolder());
        QString error;
        ASSERT_TRUE(station.Start(&error)) << qPrintable(error);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        station.Stop();
        QDir(TForm1::BackupFolder()).removeRecursively();
        QFile::remove(TForm1::BackupFolder());
    }
    // Selects the next port with the keyboard, answering a question if one comes.
    void SelectNextPort(QMessageBox::StandardButton answer = QMessageBox::NoButton)
    {
        form->ComboBox1->setFocus();
        if (answer == QMessageBox::NoButton) {
            QTest::keyClick(form->ComboBox1, Qt::Key_Down);
            return;
        }
        ModalWatcher watcher([&](QWidget* w) { question = CloseMessageBox(w, answer); });
        QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    }
    bool TransferEnded()
    {
        return WaitFor([&] { return !form->ProgressBar1->isVisible(); }, 20000);
    }
    // Clicks "записать" and closes "Записано", running `whileShown` first.
    void WriteAndCloseWritten(const std::function<void()>& whileShown = {})
    {
        BoxSeen seen;
        ModalWatcher watcher(
            [&](QWidget* w) {
                if (whileShown)
                    whileShown();
                seen = CloseMessageBox(w);
            },
            20000);
        QTest::mouseClick(form->Button4, Qt::LeftButton);
        ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 20000));
        EXPECT_EQ(seen.text, LinkTexts::Written);
    }

    StationSimulator station;
    BoxSeen question;
};

// A port selection asks before the device's data replaces a file the operator
// opened; "no" keeps the table, and "записать" then puts it on the device.
TEST_F(Safeguards, PortSelection_AsksBeforeReplacingAnOpenedFile)
{
    ASSERT_TRUE(WriteImageFile(Path("prepared.lmk"), Prepared()));
    for (const bool replace : {true, false}) {
        SCOPED_TRACE(replace ? "replace" : "keep");
        station.SetImage(StationSimulator::DemoImage());
        ports.names = {station.ProgramSidePath()};
        CreateWindow();
        form->OpenFile(Path("prepared.lmk"));
        EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("prepared.lmk")));

        SelectNextPort(replace ? QMessageBox::Yes : QMessageBox::No);
        EXPECT_EQ(question.text, UiTexts::ReplaceTableQuestion);
        ASSERT_TRUE(TransferEnded());
        if (replace) {
            EXPECT_TRUE(SameStored(model.image(), StationSimulator::DemoImage()));
            EXPECT_EQ(form->StringGrid1->Cells(1, 3), ModeUnused);
        } else {
            EXPECT_TRUE(SameStored(model.image(), Prepared()));
            EXPECT_EQ(form->StringGrid1->Cells(1, 3), MessageText(2));
            EXPECT_TRUE(engine.DeviceImageKnown()); // read for the backup only
            WriteAndCloseWritten();
            EXPECT_TRUE(SameStored(station.Image(), Prepared()));
        }
        form.reset();
        link.Close();
    }
}

// Edits show in the title; Exit asks only while they are neither saved nor
// written.
TEST_F(Safeguards, Edits_MarkTheTitle_ExitAsksUntilSaved)
{
    CreateWindow();
    EXPECT_FALSE(form->isWindowModified());
    model.setCell(1, 3, 1, MessageText(2));
    EXPECT_TRUE(form->isWindowModified());

    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w, QMessageBox::Cancel); });
        form->N7->trigger();
    }
    EXPECT_EQ(seen.text, UiTexts::SaveChangesQuestion);
    EXPECT_EQ(seen.buttons.size(), 3);
    EXPECT_TRUE(form->isVisible());

    ASSERT_TRUE(form->SaveFile(Path("site.lmk")));
    EXPECT_FALSE(form->isWindowModified());
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("site.lmk")));

    model.setCell(1, 3, 1, MessageText(3));
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w, QMessageBox::Discard); });
        form->close();
    }
    EXPECT_FALSE(form->isVisible());
}

// After "Записано" the device is read back: a device that does not hold the
// write gets a box naming the differing addresses and offering to write again;
// one that does gets the title's note.
TEST_F(Safeguards, WriteIsReadBack_DifferenceInABox_MatchInTheTitle)
{
    for (const bool deviceChanges : {true, false}) {
        SCOPED_TRACE(deviceChanges ? "device changes" : "device keeps the write");
        station.SetImage(StationSimulator::DemoImage());
        ports.names = {station.ProgramSidePath()};
        CreateWindow();
        SelectNextPort();
        ASSERT_TRUE(TransferEnded());
        model.setCell(1, 3, 1, MessageText(2));

        // While "Записано" is open the device loses address 3 again.
        WriteAndCloseWritten([&] {
            if (deviceChanges)
                station.SetImage(StationSimulator::DemoImage());
        });
        if (deviceChanges) {
            BoxSeen seen;
            {
                ModalWatcher watcher(
                    [&](QWidget* w) { seen = CloseMessageBox(w, QMessageBox::No); }, 20000);
                ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 20000));
            }
            EXPECT_TRUE(seen.text.startsWith(UiTexts::WriteDiffers(1, 0)));
            EXPECT_TRUE(seen.text.contains(form->LastBackup()));
            EXPECT_TRUE(seen.text.endsWith(UiTexts::WriteAgainQuestion));
            EXPECT_TRUE(form->isWindowModified()); // not on the device
        } else {
            ASSERT_TRUE(WaitFor(
                [&] { return form->windowTitle().contains(UiTexts::WriteVerifiedNote); }, 20000));
            EXPECT_FALSE(form->isWindowModified());
        }
        EXPECT_EQ(model.table().cell(1, 3, 1), MessageText(2)); // the read-back left the table
        form.reset();
        link.Close();
    }
}

// A write cut short, by selecting another port while it is stalled or by the
// device hanging up, says which port was left with how many confirmed blocks,
// and where the device's earlier configuration is.
TEST_F(Safeguards, WriteCutShort_NamesThePortLeftHalfWritten)
{
    for (const bool hangUp : {false, true}) {
        SCOPED_TRACE(hangUp ? "hang-up" : "another port selected");
        StationOptions cutting = StationSimulator::DefaultOptions();
        // Frames after the wake: one unsolicited, seven for the read, then the
        // write's: the echoes of W0 and W1 go out, W2 is stored but never answered.
        (hangUp ? cutting.faults.hangUpAfter : cutting.faults.silentAfter) = 10;
        cutting.log = [](const QString&) {};
        StationSimulator first(cutting);
        ASSERT_TRUE(first.Start());
        const QString firstPath = first.ProgramSidePath();
        ports.names = {firstPath, station.ProgramSidePath()};
        CreateWindow();
        SelectNextPort();
        ASSERT_TRUE(TransferEnded());

        BoxSeen seen;
        {
            ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); }, 20000);
            QTest::mouseClick(form->Button4, Qt::LeftButton);
            if (hangUp) {
                ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 20000));
            } else {
                ASSERT_TRUE(WaitFor([&] { return engine.WriteConfirmedBlocks() == 2; }, 20000));
                QTest::qWait(1500);
                ASSERT_EQ(engine.WriteConfirmedBlocks(), 2);
                SelectNextPort();
            }
        }
        EXPECT_EQ(seen.text,
                  UiTexts::WriteCut(firstPath, 2) + "\n" + UiTexts::BackupNote(form->LastBackup()));
        EXPECT_EQ(FileContent(form->LastBackup()), ImageFileText(StationSimulator::DemoImage()));
        if (!hangUp) {
            ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); }, 20000);
            ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 20000));
            EXPECT_EQ(seen.text, LinkTexts::Written); // the second device got the whole write
        }
        form.reset();
        link.Close();
        first.Stop();
    }
}

// The backup before a write: the last 50 are kept; one that cannot be written
// stops the write before anything is sent.
TEST_F(Safeguards, WriteKeepsABackupFirst_OrDoesNotStart)
{
    for (const bool blocked : {false, true}) {
        SCOPED_TRACE(blocked ? "folder blocked" : "55 older backups");
        QDir folder(TForm1::BackupFolder());
        folder.removeRecursively();
        QFile::remove(folder.path());
        ASSERT_TRUE(QDir().mkpath(QFileInfo(folder.path()).path()));
        if (blocked) {
            QFile file(folder.path()); // a file where the folder should be
            ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        } else {
            ASSERT_TRUE(QDir().mkpath(folder.path()));
            for (int i = 0; i < 55; ++i)
                ASSERT_TRUE(
                    WriteImageFile(folder.filePath(QStringLiteral("2000-01-01-0000%1-ttyS0.lmk")
                                                       .arg(i, 2, 10, QLatin1Char('0'))),
                                   ParamImage()));
        }
        station.SetImage(StationSimulator::DemoImage());
        ports.names = {station.ProgramSidePath()};
        CreateWindow();
        SelectNextPort();
        ASSERT_TRUE(TransferEnded());
        model.setCell(1, 3, 1, MessageText(2));
        QTest::qWait(300); // the read's last 'R' is answered
        const int answeredBefore = station.Stats().requestsAnswered;

        if (blocked) {
            BoxSeen seen;
            {
                ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
                QTest::mouseClick(form->Button4, Qt::LeftButton);
            }
            EXPECT_TRUE(seen.text.startsWith(
                UiTexts::BackupFailed(QString(), QString()).section('\n', 0, 0)));
            EXPECT_FALSE(engine.WriteRequested());
            EXPECT_FALSE(form->ProgressBar1->isVisible());
            QTest::qWait(1500);
            EXPECT_EQ(station.Stats().requestsAnswered, answeredBefore); // nothing sent
            EXPECT_EQ(station.Image(), StationSimulator::DemoImage());
        } else {
            WriteAndCloseWritten();
            const QStringList kept = folder.entryList(QDir::Files, QDir::Name);
            EXPECT_EQ(kept.size(), TForm1::BackupsKept);
            EXPECT_FALSE(kept.contains(QStringLiteral("2000-01-01-000005-ttyS0.lmk")));
            EXPECT_TRUE(kept.contains(QStringLiteral("2000-01-01-000006-ttyS0.lmk")));
            EXPECT_EQ(FileContent(form->LastBackup()),
                      ImageFileText(StationSimulator::DemoImage()));
            EXPECT_FALSE(QFileInfo(form->LastBackup()).fileName().contains(QLatin1Char(':')));
        }
        form.reset();
        link.Close();
    }
}
