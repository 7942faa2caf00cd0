// Open and Save from the menu: the dialogs' settings, round trips through real
// files, the ".lmk" rule, the locked configuration and the failure boxes.
#include "GuiSupport.h"
#include "TestFiles.h"

#include "BackupsDialog.h"
#include "CoreTexts.h"
#include "FileTexts.h"
#include "LinkFrames.h"
#include "ScriptedStation.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QDir>
#include <QFile>
#include <QFileDialog>
#include <QGroupBox>
#include <QStandardPaths>
#include <QTest>
#include <QMenu>
#include <QTreeWidget>
#include <QPushButton>
#include <QTimer>

#include <sys/stat.h>

using namespace CoreTexts;

namespace {

struct DialogSeen
{
    bool isFileDialog = false;
    QFileDialog::AcceptMode acceptMode = QFileDialog::AcceptOpen;
    QFileDialog::FileMode fileMode = QFileDialog::AnyFile;
    QString directory;
    QStringList filters;
    bool native = true;
    bool confirmsOverwrite = false;
    bool ownedByWindow = false;
};

// Records the file dialog, then chooses `path` (or cancels when it is empty).
DialogSeen chooseInDialog(QWidget* widget, QWidget* window, const QString& path)
{
    DialogSeen seen;
    auto* dialog = qobject_cast<QFileDialog*>(widget);
    if (!dialog) {
        ADD_FAILURE() << "no file dialog came";
        widget->close();
        return seen;
    }
    seen.isFileDialog = true;
    seen.acceptMode = dialog->acceptMode();
    seen.fileMode = dialog->fileMode();
    seen.directory = dialog->directory().absolutePath();
    seen.filters = dialog->nameFilters();
    seen.native = !dialog->testOption(QFileDialog::DontUseNativeDialog);
    seen.confirmsOverwrite = !dialog->testOption(QFileDialog::DontConfirmOverwrite);
    seen.ownedByWindow = dialog->parentWidget() == window;
    if (path.isEmpty()) {
        dialog->reject();
    } else {
        dialog->selectFile(path);
        QMetaObject::invokeMethod(dialog, "accept"); // as the dialog's own button does
    }
    return seen;
}

} // namespace

using FileCommands = WindowTest;

// The user's Documents as the desktop names it (xdg-user-dirs), for one test.
class DocumentsFolder
{
public:
    explicit DocumentsFolder(const QString& folder)
        : file_(QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
                QStringLiteral("/user-dirs.dirs"))
    {
        QDir().mkpath(folder);
        QDir().mkpath(QFileInfo(file_).absolutePath());
        WriteBytes(file_, "XDG_DOCUMENTS_DIR=\"" + QFile::encodeName(folder) + "\"\n");
    }
    ~DocumentsFolder() { QFile::remove(file_); }

private:
    QString file_;
};

TEST_F(FileCommands, DialogsStartInDocumentsThenTheLastFolder_WithTheLmkFilter)
{
    const DocumentsFolder documents(Path("Документы"));
    ASSERT_EQ(QStandardPaths::writableLocation(QStandardPaths::DocumentsLocation),
              Path("Документы"));
    CreateWindow();
    model.ToggleModeColumn(1);
    DialogSeen save;
    {
        ModalWatcher watcher(
            [&](QWidget* w) { save = chooseInDialog(w, form.get(), Path("a.lmk")); });
        form->N6->trigger();
    }
    ASSERT_TRUE(save.isFileDialog);
    EXPECT_EQ(save.acceptMode, QFileDialog::AcceptSave);
    EXPECT_EQ(save.directory, Path("Документы"));
    EXPECT_EQ(save.filters, QStringList{FileTexts::NameFilter});
    EXPECT_FALSE(save.native); // Qt's dialog on Linux
    EXPECT_FALSE(save.confirmsOverwrite); // the window asks, in Russian
    EXPECT_TRUE(save.ownedByWindow);
    EXPECT_EQ(ReadBytes(Path("a.lmk")), model.image().toText() + "\r\n");

    model.ToggleModeColumn(1); // unused again, so the Open visibly restores it
    DialogSeen open;
    {
        std::unique_ptr<ModalWatcher> question; // the change is given up
        ModalWatcher watcher([&](QWidget* w) {
            open = chooseInDialog(w, form.get(), Path("a.lmk"));
            question = std::make_unique<ModalWatcher>(
                [](QWidget* box) { CloseMessageBox(box, QMessageBox::Discard); });
        });
        form->N5->trigger();
    }
    ASSERT_TRUE(open.isFileDialog);
    EXPECT_EQ(open.acceptMode, QFileDialog::AcceptOpen);
    EXPECT_EQ(open.fileMode, QFileDialog::ExistingFile);
    // Then where the last Save went.
    EXPECT_EQ(open.directory, QDir(dir.path()).absolutePath());
    EXPECT_EQ(open.filters, QStringList{FileTexts::NameFilter});
    EXPECT_FALSE(open.native);
    EXPECT_EQ(form->StringGrid1->Cells(1, 16), MessageText(1));
    EXPECT_EQ(form->StringGrid1->Cells(2, 16), Delay30);
}

TEST(FileDialogStart, LastFolderElseDocumentsElseHome_NeverTheProgramFolder)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString last = dir.filePath("last"), docs = dir.filePath("docs"),
                  program = dir.filePath("program"), home = dir.filePath("home");
    for (const QString& folder : {last, docs, program})
        ASSERT_TRUE(QDir().mkdir(folder));
    const struct
    {
        QString last, documents, expected;
    } cases[] = {
        {last, docs, last},
        {QString(), docs, docs},
        {dir.filePath("gone"), docs, docs},
        {program, docs, docs},       // remembered by an earlier version
        {program + "/.", docs, docs}, // the same folder spelt otherwise
        {QString(), dir.filePath("no-documents"), home},
        {QString(), program, home},
    };
    for (const auto& c : cases)
        EXPECT_EQ(FileDialogFolder(c.last, c.documents, home, program), c.expected)
            << c.last.toStdString() << " " << c.documents.toStdString();
}

// Save offers the table's own file and saves over it without a question; another
// existing file is asked about in Russian, and "No" goes back to the dialog.
TEST_F(FileCommands, SaveOffersTheTablesFile_OverwritesItWithoutAsking_AsksForAnother)
{
    WriteBytes(Path("site.lmk"), QByteArray(140, '0') + "\r\n");
    WriteBytes(Path("other.lmk"), QByteArray(140, '1') + "\r\n");
    CreateWindow();
    form->OpenFile(Path("site.lmk"));
    model.ToggleModeColumn(1);

    QString offered;
    bool asked = false;
    QTimer guard; // answers a question that should not come, so the test cannot hang
    QObject::connect(&guard, &QTimer::timeout, [&] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            asked = true;
            box->done(QMessageBox::Yes);
        }
    });
    guard.start(20);
    {
        ModalWatcher watcher([&](QWidget* w) {
            auto* dialog = qobject_cast<QFileDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            offered = dialog->selectedFiles().value(0);
            QMetaObject::invokeMethod(dialog, "accept"); // the name as offered
        });
        form->N6->trigger();
    }
    guard.stop();
    EXPECT_EQ(offered, Path("site.lmk"));
    EXPECT_FALSE(asked);
    EXPECT_EQ(ReadBytes(Path("site.lmk")), model.image().toText() + "\r\n");
    EXPECT_FALSE(form->TableModified());

    // Another existing file: the question, "No" back to the dialog, which is cancelled.
    model.ToggleModeColumn(2);
    BoxSeen question;
    std::unique_ptr<ModalWatcher> questionWatch, againWatch;
    {
        ModalWatcher watcher([&](QWidget* w) {
            chooseInDialog(w, form.get(), Path("other.lmk"));
            questionWatch = std::make_unique<ModalWatcher>([&](QWidget* box) {
                question = CloseMessageBox(box, QMessageBox::No);
                againWatch = std::make_unique<ModalWatcher>(
                    [&](QWidget* d) { chooseInDialog(d, form.get(), QString()); });
            });
        });
        form->N6->trigger();
    }
    ASSERT_TRUE(againWatch && againWatch->Seen());
    EXPECT_EQ(question.text, FileTexts::ReplaceQuestion(Path("other.lmk")));
    EXPECT_EQ(ReadBytes(Path("other.lmk")), QByteArray(140, '1') + "\r\n");
}

TEST_F(FileCommands, CancelledDialogsChangeNothing)
{
    CreateWindow();
    const AddressTable before = model.table();
    {
        ModalWatcher watcher([&](QWidget* w) { chooseInDialog(w, form.get(), QString()); });
        form->N6->trigger();
    }
    {
        ModalWatcher watcher([&](QWidget* w) { chooseInDialog(w, form.get(), QString()); });
        form->N5->trigger();
    }
    EXPECT_EQ(model.table(), before);
    EXPECT_TRUE(QDir(dir.path()).entryList(QDir::Files).isEmpty());
}

TEST_F(FileCommands, LowerCaseFileOpensIntoTheGridsAndIsSavedInUpperCase)
{
    CreateWindow();
    WriteBytes(Path("low.lmk"), "c8"
                                "34" +
                                    QByteArray(2 * 68, '0') + "\r\n");
    form->OpenFile(Path("low.lmk"));
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(4));
    EXPECT_EQ(form->StringGrid1->Cells(2, 1), Delay30);
    EXPECT_EQ(form->StringGrid1->Cells(1, 2), ModeUnused);
    EXPECT_TRUE(form->CheckBox1->isChecked()); // byte 1 has 0x04
    form->SaveFile(Path("low.lmk"));
    EXPECT_EQ(ReadBytes(Path("low.lmk")), "C8"
                                          "04" +
                                              QByteArray(2 * 68, '0') + "\r\n");
}

TEST_F(FileCommands, TextNameSavesAndOpensTheLmkFile)
{
    CreateWindow();
    form->N9->trigger();
    model.ToggleModeColumn(4);
    form->SaveFile(Path("conf.txt"));
    EXPECT_FALSE(QFile::exists(Path("conf.txt")));
    const QByteArray saved = ReadBytes(Path("conf.lmk"));
    ASSERT_EQ(saved.size(), 142);

    form->N8->trigger();
    model.ToggleModeColumn(4);
    WriteBytes(Path("conf.txt"), "not a configuration");
    {
        ModalWatcher question([](QWidget* box) { CloseMessageBox(box, QMessageBox::Discard); });
        form->OpenFile(Path("conf.txt"));
    }
    EXPECT_EQ(model.OperatingMode(), OtherDevicesMode);
    EXPECT_TRUE(form->GroupBox3->isVisible());
    EXPECT_EQ(form->StringGrid4->Cells(1, 8), ModeUsed);
}

TEST_F(FileCommands, OpenWithoutTheLmkFileShowsReadErrorOwnedByTheApplication)
{
    CreateWindow();
    WriteBytes(Path("conf.txt"), QByteArray(140, 'F'));
    const AddressTable before = model.table();
    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
        form->OpenFile(Path("conf.txt"));
    }
    EXPECT_EQ(seen.text, FileTexts::ReadError);
    EXPECT_EQ(seen.title, QString());
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_FALSE(seen.hasOwner);
    EXPECT_EQ(seen.buttons.size(), 1);
    EXPECT_EQ(model.table(), before);
}

TEST_F(FileCommands, FailedSaveShowsWriteErrorAndLeavesTheOldFileIntact)
{
    CreateWindow();
    const QByteArray old = QByteArray(140, '1') + "\r\n";
    WriteBytes(Path("conf.lmk"), old);
    // The target is replaced by a new file; a folder in its place cannot be.
    QDir(dir.path()).mkdir("busy.lmk");
    model.ToggleModeColumn(2);
    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
        form->SaveFile(Path("busy.lmk"));
    }
    EXPECT_EQ(seen.text, FileTexts::WriteError);
    EXPECT_EQ(seen.title, QString());
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_FALSE(seen.hasOwner);
    EXPECT_EQ(ReadBytes(Path("conf.lmk")), old);
}

TEST_F(FileCommands, DifferentExistingLmkFileIsReplacedOnlyAfterYes)
{
    CreateWindow();
    const QByteArray old = QByteArray(140, '1') + "\r\n";
    WriteBytes(Path("conf.lmk"), old);
    model.ToggleModeColumn(1);
    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w, QMessageBox::No); });
        form->SaveFile(Path("conf.txt"));
    }
    EXPECT_TRUE(seen.text.contains(Path("conf.lmk")));
    EXPECT_FALSE(seen.hasOwner);
    EXPECT_EQ(ReadBytes(Path("conf.lmk")), old);
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w, QMessageBox::Yes); });
        form->SaveFile(Path("conf.txt"));
    }
    EXPECT_EQ(ReadBytes(Path("conf.lmk")), model.image().toText() + "\r\n");
}

TEST_F(FileCommands, LockedConfigurationDisablesOpenButNotSave)
{
    WriteBytes(Path("regul.lmk"), "88" + QByteArray(138, '0'));
    CreateWindow();
    EXPECT_FALSE(form->N5->isEnabled());
    EXPECT_TRUE(form->N6->isEnabled());
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(2));

    // Open does nothing, even when asked directly.
    WriteBytes(Path("other.lmk"), QByteArray(140, '0'));
    form->OpenFile(Path("other.lmk"));
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(2));

    // Save may write any name, the locked file's own included.
    model.setCell(1, 3, 1, MessageText(1));
    form->SaveFile(Path("regul.lmk"));
    EXPECT_TRUE(ReadBytes(Path("regul.lmk")).startsWith("8804"));
    EXPECT_EQ(ReadBytes(Path("regul.lmk")).mid(4, 2), "80");

    // Nor from the recent files, though the saved file joined them.
    form->N1Click();
    EXPECT_EQ(RecentFiles(), QStringList{Path("regul.lmk")});
    EXPECT_FALSE(form->N23->menuAction()->isEnabled());
}

TEST_F(FileCommands, OpeningAFileNeverLocks)
{
    CreateWindow();
    WriteBytes(Path("a.lmk"), QByteArray(140, '0'));
    form->OpenFile(Path("a.lmk"));
    EXPECT_TRUE(form->N5->isEnabled());
    EXPECT_FALSE(model.ConfigLocked());
}

// Save or Open while a read is running (their dialogs keep the ticks going):
// Save writes the table as shown, Open shows the file, and neither touches the
// image the read fills, so the read still ends with exactly the device's data.
TEST_F(FileCommands, SaveOrOpenDuringReadLeavesTheReadsImageAlone)
{
    CreateWindow();
    auto clock = std::make_shared<VirtualClock>();
    auto port = std::make_shared<ScriptedPort>(clock);
    link().SetClock(clock);
    link().SetBackend(port);
    ScriptedStation station(*port);
    for (int i = 0; i < 64; ++i)
        station.image.setByte(i, 0xF8); // "Сообщ.4", "240 сек."
    WriteBytes(Path("other.lmk"), QByteArray(140, '0') + "\r\n");
    ConfigModel device;
    device.LabelPages();
    device.image() = station.image;
    device.ImageToTable();

    for (const bool save : {true, false}) {
        SCOPED_TRACE(save ? "save" : "open");
        model.ImageToTable(ParamImage()); // every address "Нет"
        link().Close(); // the scripted line drops what was queued at a close
        port->Deliver(QByteArray(reinterpret_cast<const char*>(InviteFrame), 4));
        session().Connect(QStringLiteral("COM1"));
        for (int tick = 0; tick < 4; ++tick)
            session().Tick(); // blocks 0 to 2 stored
        ParamImage shown = model.image();
        model.TableToImage(shown);
        if (save) {
            form->SaveFile(Path("mid.lmk"));
            EXPECT_EQ(ReadBytes(Path("mid.lmk")), shown.toText() + "\r\n");
        } else {
            ModalWatcher question([](QWidget* box) { CloseMessageBox(box, QMessageBox::Discard); });
            form->OpenFile(Path("other.lmk"));
        }
        for (int tick = 0; tick < 10 && engine().ProgressVisible(); ++tick)
            session().Tick();
        EXPECT_FALSE(engine().ProgressVisible());
        EXPECT_EQ(model.image(), station.image);
        EXPECT_EQ(model.table(), device.table());
    }
}

namespace {
// The recent files' items as the Файл menu shows them now.
QStringList RecentItems(TForm1& form)
{
    emit form.N1->aboutToShow();
    QStringList texts;
    for (const QAction* item : form.N23->actions())
        texts << item->text();
    return texts;
}
} // namespace

TEST_F(FileCommands, RecentFiles_MostRecentFirst_AtMostEight_GoneOnesLeftOut)
{
    CreateWindow();
    for (int i = 0; i < 10; ++i) {
        const QString name = QStringLiteral("f%1.lmk").arg(i);
        WriteBytes(Path(name), QByteArray(140, '0') + "\r\n");
        form->OpenFile(Path(name));
    }
    form->SaveFile(Path("f3.lmk")); // a saved file moves to the head
    QFile::remove(Path("f8.lmk"));
    EXPECT_EQ(RecentItems(*form),
              QStringList({"&1 f3.lmk", "&2 f9.lmk", "&3 f7.lmk", "&4 f6.lmk", "&5 f5.lmk",
                           "&6 f4.lmk", "&7 f2.lmk"}));
    EXPECT_EQ(form->N23->actions().value(0)->toolTip(), QDir::toNativeSeparators(Path("f3.lmk")));
    EXPECT_TRUE(form->N23->menuAction()->isEnabled());
}

TEST_F(FileCommands, RecentFiles_RememberedForTheNextWindow_ChoosingOneOpensIt)
{
    WriteBytes(Path("site.lmk"), "C804" + QByteArray(136, '0') + "\r\n");
    CreateWindow();
    EXPECT_FALSE(form->N23->menuAction()->isEnabled()); // nothing yet
    form->OpenFile(Path("site.lmk"));
    form.reset();
    model.ImageToTable(ParamImage());

    CreateWindow();
    ASSERT_EQ(RecentItems(*form), QStringList{"&1 site.lmk"});
    form->N23->actions().constFirst()->trigger();
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(4));
    EXPECT_EQ(form->Document().FilePath(), Path("site.lmk"));
}

// The window's backups, newest first, with the port and how many addresses
// differ from the table; Открыть loads the chosen one as Открыть does a file.
TEST_F(FileCommands, Backups_ListedNewestFirstWithPortAndDifferences_OpenLoadsOne)
{
    CreateWindow();
    ParamImage table = model.image();
    model.TableToImage(table);
    ParamImage changed = table;
    for (int address : {0, 1, 17})
        changed.setByte(address, 0xC8); // "Сообщ.4", "30 сек."
    ParamImage service = table;
    service.setByte(65, 0x5A);
    QDir folder(TForm1::BackupFolder());
    folder.removeRecursively(); // other tests' writes leave theirs
    ASSERT_TRUE(QDir().mkpath(folder.path()));
    WriteBytes(folder.filePath("COM3.device-20261201-100000.lmk"), table.toText() + "\r\n");
    WriteBytes(folder.filePath("COM3.device-20261201-100000-2.lmk"), service.toText() + "\r\n");
    WriteBytes(folder.filePath("ttyUSB0.device-20261202-090000.lmk"), changed.toText() + "\r\n");
    WriteBytes(folder.filePath("notes.txt"), "not a backup");

    QList<QStringList> rows;
    bool openEnabled = false;
    {
        ModalWatcher watcher([&](QWidget* w) {
            auto* dialog = qobject_cast<BackupsDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            for (int i = 0; i < dialog->List->topLevelItemCount(); ++i) {
                const QTreeWidgetItem* item = dialog->List->topLevelItem(i);
                rows << QStringList{item->text(0), item->text(1), item->text(2)};
            }
            openEnabled = dialog->OpenButton->isEnabled();
            dialog->List->setCurrentItem(dialog->List->topLevelItem(0));
            dialog->OpenButton->click();
        });
        form->N24->trigger();
    }
    EXPECT_EQ(rows, QList<QStringList>({{"02.12.2026 09:00:00", "ttyUSB0", "3 адр."},
                                        {"01.12.2026 10:00:00", "COM3", "1 служ. байт"},
                                        {"01.12.2026 10:00:00", "COM3", "нет"}}));
    EXPECT_TRUE(openEnabled);
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(4));
    EXPECT_EQ(form->StringGrid2->Cells(1, 2), MessageText(4));
    EXPECT_TRUE(form->windowTitle().startsWith(QStringLiteral("ttyUSB0.device-20261202-090000.lmk")));
    folder.removeRecursively();
}
