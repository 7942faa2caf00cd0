// What the window takes from outside a run: the file named on the command line
// (exactly that file, without Open's ".lmk" rule; the locked configuration
// wins; a missing name is reported) and the port of the last run, offered first but never selected.
#include "GuiSupport.h"
#include "TestFiles.h"

#include "CoreTexts.h"
#include "FileTexts.h"
#include "NetworkPortDialog.h"
#include "SettingsFile.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QDir>

#include <sys/stat.h>

using namespace CoreTexts;

using StartAndMemory = WindowTest;

TEST_F(StartAndMemory, FileNamedAtStartUp_OpensUnlessLocked_MissingOneReported)
{
    struct Case
    {
        const char* name;
        bool locked;
        QString file;
        QString cellOneMode; // address 1 afterwards
        QString box;         // the box shown, empty for none
    } cases[] = {
        {"opens", false, "named.lmk", MessageText(1), {}},
        // Exactly the file named, not the Open dialog's ".lmk" rule.
        {"named exactly", false, "named.txt", ModeUnused, {}},
        {"upper-case extension", false, "NAMED.LMK", MessageText(1), {}},
        {"locked wins", true, "named.lmk", MessageText(2), {}},
        {"missing", false, "missing.lmk", ModeUnused, FileTexts::ReadError},
    };
    WriteBytes(Path("named.lmk"), "80" + QByteArray(138, '0') + "\r\n");
    WriteBytes(Path("named.txt"), QByteArray(140, '0') + "\r\n");
    WriteBytes(Path("NAMED.LMK"), "80" + QByteArray(138, '0') + "\r\n");
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QFile::remove(Path("regul.lmk"));
        if (c.locked)
            WriteBytes(Path("regul.lmk"), "88" + QByteArray(138, '0'));
        model.image().zeroStoredPrefix();
        model.setConfigLocked(false);
        CreateWindow();
        BoxSeen seen;
        if (c.box.isEmpty()) {
            form->OpenNamedFile(Path(c.file)); // a box would block here
        } else {
            ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
            form->OpenNamedFile(Path(c.file));
        }
        EXPECT_EQ(seen.text, c.box);
        EXPECT_EQ(form->StringGrid1->Cells(1, 1), c.cellOneMode);
        form.reset();
    }
}

TEST_F(StartAndMemory, LastPort_HighlightedInTheListWhenPresent_NeverSelected)
{
    ports.names = {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")};
    for (const QString& last : {QStringLiteral("ttyUSB0"), QStringLiteral("ttyUSB7")}) {
        SCOPED_TRACE(last.toStdString());
        RememberPort(last);
        CreateWindow();
        form->ComboBox1->showPopup();
        const int highlighted = form->ComboBox1->view()->currentIndex().row();
        form->ComboBox1->hidePopup();
        EXPECT_EQ(highlighted == 1, last == QLatin1String("ttyUSB0"));
        EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
        EXPECT_EQ(form->Selector().Index(), -1);
        EXPECT_FALSE(engine().PortReady());
        form.reset();
    }
}

// A settings file that is no regular file of reasonable size is neither read
// nor replaced (Qt's plain open of a named pipe would hold the window before
// it ever shows): the window starts on its defaults.
TEST_F(StartAndMemory, SettingsFileNotARegularFile_WindowStartsOnDefaultsAndLeavesIt)
{
    const QString path = SettingsFilePath();
    const QByteArray stored = "[ports]\nlast=ttyS0\n[network]\nports=socket://127.0.0.1:9\n";
    const QByteArray huge = stored + ';' + QByteArray(1 << 20, '-') + '\n';
    struct Case
    {
        const char* name;
        std::function<bool()> make;
        mode_t kind;
    } cases[] = {
        {"huge", [&] { WriteBytes(path, huge); return true; }, S_IFREG},
        {"folder", [&] { return QDir().mkpath(path); }, S_IFDIR},
        {"named pipe", [&] { return ::mkfifo(QFile::encodeName(path), 0600) == 0; }, S_IFIFO},
    };
    ports.names = {QStringLiteral("ttyS0")};
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        QDir(path).removeRecursively();
        QFile::remove(path);
        QDir().mkpath(QFileInfo(path).path());
        ASSERT_TRUE(c.make());
        CreateWindow();
        EXPECT_EQ(RememberedPort(), QString());
        EXPECT_EQ(RememberedNetworkPorts(), QStringList());
        RememberPort(QStringLiteral("ttyS0"));
        RememberNetworkPort(QStringLiteral("socket://127.0.0.1:7"));
        ForgetRemembered();
        struct stat info = {};
        ASSERT_EQ(::lstat(QFile::encodeName(path).constData(), &info), 0);
        EXPECT_EQ(info.st_mode & S_IFMT, c.kind);
        if (c.kind == S_IFREG) {
            EXPECT_EQ(qint64(info.st_size), huge.size());
        }
        form.reset();
    }
    QDir(path).removeRecursively();
    QFile::remove(path);
}
