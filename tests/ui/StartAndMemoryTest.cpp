// What the window takes from outside a run: the file named on the command line
// (opened as Open would; the locked configuration wins; a missing name is
// reported) and the port of the last run, offered first but never selected.
#include "GuiSupport.h"
#include "TestFiles.h"

#include "CoreTexts.h"
#include "FileTexts.h"

#include <QAbstractItemView>
#include <QComboBox>

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
        {"extension rule as Open", false, "named.txt", MessageText(1), {}},
        {"locked wins", true, "named.lmk", MessageText(2), {}},
        {"missing", false, "missing.lmk", ModeUnused, FileTexts::ReadError},
    };
    WriteBytes(Path("named.lmk"), "80" + QByteArray(138, '0') + "\r\n");
    WriteBytes(Path("named.txt"), QByteArray(140, '0') + "\r\n");
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
