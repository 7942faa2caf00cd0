// The port selector's "Сетевой порт…" entry against a real ser2net serving the
// simulated station: the address entered in its dialog is listed, selected
// and read from, and offered again by the next window.
#include "GuiSupport.h"

#include "NetworkPortDialog.h"
#include "SerialServers.h"
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
