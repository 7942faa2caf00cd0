// The whole program against the simulated station on a pseudo-terminal: select
// its port, read, change a cell in the popup, write, and find the change in the
// station's image. Also a port with nobody behind it.
#include "GuiSupport.h"

#include "CoreTexts.h"
#include "LinkTexts.h"
#include "PrintCommands.h"
#include "StationSimulator.h"
#include "UiTexts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <fcntl.h>
#include <pty.h>
#include <unistd.h>

using namespace CoreTexts;

namespace {

// Picks the port at `index` from the selector's dropped list with the mouse.
void selectPort(TForm1& form, int index)
{
    QComboBox* box = form.ComboBox1;
    box->showPopup();
    QAbstractItemView* list = box->view();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                      list->visualRect(list->model()->index(index, 0)).center());
}

} // namespace

class EndToEnd : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        QString error;
        ASSERT_TRUE(station.Start(&error)) << qPrintable(error);
    }
    void TearDown() override
    {
        WindowTest::TearDown();
        station.Stop();
    }
    StationSimulator station;
};

TEST_F(EndToEnd, ReadEditWriteReachesTheStation)
{
    ports.names = {station.ProgramSidePath()};
    CreateWindow();
    ASSERT_EQ(form->ComboBox1->count(), 2); // the port and "Сетевой порт…"
    // ComboBox1 starts with no selection; one Down key selects the first port.
    form->ComboBox1->setFocus();
    QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    ASSERT_EQ(form->ComboBox1->currentIndex(), 0);
    EXPECT_TRUE(engine().PortReady());

    // The read ends with the station's image decoded into the grids.
    ASSERT_TRUE(WaitFor([&] { return !form->ProgressBar1->isVisible(); }, 20000));
    const ParamImage demo = StationSimulator::DemoImage();
    for (int i = 0; i < ParamImage::Size; ++i)
        ASSERT_EQ(model.image().byte(i), demo.byte(i)) << "byte " << i;
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(1));
    EXPECT_EQ(form->StringGrid1->Cells(2, 1), Delay60);
    EXPECT_EQ(form->StringGrid1->Cells(1, 5), MessageText(3));
    EXPECT_EQ(form->StringGrid1->Cells(2, 5), Delay240);
    EXPECT_EQ(form->StringGrid4->Cells(1, 16), MessageText(1));
    EXPECT_EQ(form->StringGrid1->Cells(1, 3), ModeUnused);

    // Address 3 becomes Сообщ.2 through the popup.
    ClickCell(form->StringGrid1, 1, 3);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    QTest::keyClick(form->ComboBox2, Qt::Key_Down);
    QTest::keyClick(form->ComboBox2, Qt::Key_Down);
    EXPECT_EQ(form->StringGrid1->Cells(1, 3), MessageText(2));
    EXPECT_EQ(form->StringGrid1->Cells(2, 3), Delay30);

    BoxSeen seen;
    ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); }, 20000);
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    EXPECT_FALSE(form->ComboBox2->isVisible()); // the button took the focus
    ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 20000));
    EXPECT_EQ(seen.text, LinkTexts::Written);
    EXPECT_EQ(seen.title, UiTexts::ApplicationTitle);
    ASSERT_TRUE(WaitFor([&] { return !form->ProgressBar1->isVisible(); }, 20000));

    const ParamImage written = station.Image();
    EXPECT_EQ(written.byte(2), 0x88);
    for (int i = 0; i < ParamImage::Size; ++i) {
        if (i != 2) {
            EXPECT_EQ(written.byte(i), demo.byte(i)) << "byte " << i;
        }
    }
}

TEST_F(EndToEnd, Sheet_AfterARead_SaysWhenAndFromWhichPort_AfterAnEditThatTheTableDiffers)
{
    const QString port = station.ProgramSidePath();
    ports.names = {port};
    CreateWindow();
    auto* commands = form->findChild<PrintCommands*>();
    ASSERT_NE(commands, nullptr);
    EXPECT_EQ(commands->Facts().state, QStringLiteral("не известно"));
    form->ComboBox1->setFocus();
    QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    ASSERT_TRUE(WaitFor([&] { return !form->ProgressBar1->isVisible(); }, 20000));

    const SheetFacts read = commands->Facts();
    EXPECT_EQ(read.port, port);
    EXPECT_TRUE(read.file.isEmpty());
    const QString readState = QStringLiteral("прочитано с %1 в %2").arg(port, read.time.toString("HH:mm"));
    // The minute may turn between the read and the sheet.
    EXPECT_TRUE(read.state == readState ||
                read.state.startsWith(QStringLiteral("прочитано с %1 в ").arg(port)))
        << read.state.toStdString();

    model.setCell(1, 3, 1, MessageText(2));
    EXPECT_EQ(commands->Facts().state, QStringLiteral("отличается от устройства (%1)").arg(read.state));
    model.setCell(1, 3, 1, ModeUnused);
    EXPECT_EQ(commands->Facts().state, read.state);
}

TEST_F(EndToEnd, PortWithNoStationShowsNoDeviceAndClearsTheSelection)
{
    int master = -1, slave = -1;
    char name[256] = {};
    ASSERT_EQ(::openpty(&master, &slave, name, nullptr, nullptr), 0);
    ports.names = {QString::fromLocal8Bit(name), station.ProgramSidePath()};
    CreateWindow();

    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
        selectPort(*form, 0);
    }
    ::close(slave);
    ::close(master);
    EXPECT_EQ(seen.text, LinkTexts::NoDevice);
    EXPECT_EQ(seen.title, UiTexts::ApplicationTitle);
    EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
    EXPECT_FALSE(link().IsOpen());
    EXPECT_FALSE(form->ProgressBar1->isVisible());

    // The station's port still works afterwards.
    selectPort(*form, 1);
    EXPECT_EQ(form->ComboBox1->currentIndex(), 1);
    ASSERT_TRUE(WaitFor([&] { return !form->ProgressBar1->isVisible(); }, 20000))
        << "progress " << engine().ProgressPosition() << ", port open " << link().IsOpen()
        << ", station saw " << station.Stats().programCloses << " closes";
    EXPECT_EQ(form->StringGrid1->Cells(1, 1), MessageText(1));
}
