// The port selector's "Сетевой порт…" entry against a real ser2net serving the
// simulated station: the address entered in its dialog is listed, selected
// and read from, and offered again by the next window.
#include "GuiSupport.h"

#include "NetworkPortDialog.h"
#include "NetworkTexts.h"
#include "SerialServers_linux.h"
#include "StationSimulator.h"
#include "UiTexts.h"

#include <QAbstractItemView>
#include <QComboBox>
#include <QLineEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

TEST_F(WindowTest, NetworkPortEntry_ReadsThroughSer2net_AndIsRemembered)
{
    StationSimulator station;
    Ser2net ser2net;
    QString error;
    ASSERT_TRUE(station.Start(&error)) << qPrintable(error);
    ASSERT_TRUE(ser2net.Start(station.ProgramSidePath(), &error)) << qPrintable(error);
    ports.names = {QStringLiteral("ttyS0")};
    CreateWindow();
    QComboBox* box = form->ComboBox1;
    ASSERT_EQ(box->itemText(box->count() - 1), UiTexts::NetworkPortItem);

    const QString url = ser2net.Rfc2217Url();
    bool okForMalformed = true;
    {
        ModalWatcher watcher([&](QWidget* w) {
            auto* dialog = qobject_cast<NetworkPortDialog*>(w);
            ASSERT_NE(dialog, nullptr);
            dialog->Address->setCurrentText(QStringLiteral("rfc2217://127.0.0.1"));
            okForMalformed = dialog->OkButton->isEnabled();
            dialog->Address->setCurrentText(url);
            QTest::mouseClick(dialog->OkButton, Qt::LeftButton);
        });
        box->showPopup();
        QAbstractItemView* list = box->view();
        ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
        QTest::mouseClick(list->viewport(), Qt::LeftButton, {},
                          list->visualRect(list->model()->index(box->count() - 1, 0)).center());
    }
    EXPECT_FALSE(okForMalformed);
    EXPECT_EQ(box->currentText(), url);
    EXPECT_EQ(box->itemText(box->count() - 1), UiTexts::NetworkPortItem);
    EXPECT_TRUE(engine().PortReady());
    ASSERT_TRUE(WaitFor([&] { return !form->ProgressBar1->isVisible(); }, 20000));
    EXPECT_EQ(model.image(), station.Image());

    // The next window lists it after the local ports.
    EXPECT_EQ(RememberedNetworkPorts(), QStringList{url});
    ConfigModel nextModel;
    TForm1 next(nextModel, SessionParts{}, ports);
    QStringList items;
    for (int i = 0; i < next.ComboBox1->count(); ++i)
        items << next.ComboBox1->itemText(i);
    EXPECT_EQ(items, (QStringList{QStringLiteral("ttyS0"), url, UiTexts::NetworkPortItem}));
    EXPECT_EQ(next.ComboBox1->currentIndex(), -1);
    ForgetNetworkPorts();
    link().Close();
}

// A network port that does not open: the box names the address, why in words
// and what to do, under the program's title (a local port's box stays the bare
// "Not open " and its name).
TEST_F(WindowTest, NetworkPortNotOpened_BoxSaysAddressReasonAndWhatToDo)
{
    const QString url = QStringLiteral("rfc2217://127.0.0.1:%1").arg(FreeLoopbackPort());
    ports.names = {url};
    CreateWindow();
    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
        form->ComboBox1->setFocus();
        QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    }
    EXPECT_EQ(seen.title, UiTexts::ApplicationTitle);
    EXPECT_FALSE(seen.hasOwner);
    EXPECT_EQ(seen.text, NetworkTexts::NotOpened.arg(NetworkTexts::ConnectFailed.arg(
                             url, QStringLiteral("сервер отказал в соединении"),
                             QStringLiteral("проверьте номер порта и что сервер портов запущен"))));
    EXPECT_FALSE(link().IsOpen());
}
