// The window's side of the transfer engine: the timer driving ticks, the
// progress bar, the read and write commands, the port selector and the boxes.
#include "GuiSupport.h"

#include "LinkTexts.h"
#include "UiTexts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDialog>
#include <QLibraryInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

#include <tuple>

class EngineWiring : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // Ticks without a port sleep 300 ms: make that virtual.
        parts.clock = clock;
    }
    std::shared_ptr<VirtualClock> clock = std::make_shared<VirtualClock>();
};

TEST_F(EngineWiring, ReadWithoutPortTimesOutThroughTimerTicksWithAPlainMessage)
{
    CreateWindow();
    QTest::mouseClick(form->Button3, Qt::LeftButton);
    EXPECT_TRUE(form->ProgressBar1->isVisible());
    EXPECT_EQ(form->ProgressBar1->value(), 0);
    ASSERT_TRUE(WaitFor([&] { return form->ProgressBar1->value() >= 3; }));
    EXPECT_TRUE(form->ProgressBar1->isVisible());

    BoxSeen seen;
    ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
    ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 10000));
    EXPECT_EQ(seen.text, LinkTexts::NotConnected);
    EXPECT_EQ(seen.title, UiTexts::ApplicationTitle);
    EXPECT_EQ(seen.icon, QMessageBox::NoIcon);
    EXPECT_FALSE(seen.hasOwner);
    EXPECT_FALSE(form->ProgressBar1->isVisible());
    EXPECT_FALSE(engine().ReadRequested());
}

TEST_F(EngineWiring, MenuItemsStartTheSameTransfersAsTheButtons)
{
    CreateWindow();
    form->N10->trigger();
    EXPECT_TRUE(engine().ReadRequested());
    EXPECT_TRUE(form->ProgressBar1->isVisible());

    model.setCell(1, 1, 1, QStringLiteral("Сообщ.2"));
    form->N11->trigger();
    EXPECT_TRUE(engine().WriteRequested());
    EXPECT_EQ(model.image().byte(0), 0x88); // the write encoded the table first

    // The write button does the same.
    model.setCell(1, 1, 1, QStringLiteral("Сообщ.3"));
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    EXPECT_EQ(model.image().byte(0), 0xC0);

    ModalWatcher watcher([&](QWidget* w) { CloseMessageBox(w); });
    ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 10000));
}

TEST_F(EngineWiring, CtrlO_CtrlS_AndF5_TriggerOpenSaveAndRead)
{
    CreateWindow();
    // The file dialogs the first two open are dismissed as they come.
    QTimer dismiss;
    QObject::connect(&dismiss, &QTimer::timeout, [] {
        if (auto* dialog = qobject_cast<QDialog*>(QApplication::activeModalWidget()))
            dialog->reject();
    });
    dismiss.start(5);
    const std::tuple<QAction*, Qt::Key, Qt::KeyboardModifiers> keys[] = {
        {form->N5, Qt::Key_O, Qt::ControlModifier},
        {form->N6, Qt::Key_S, Qt::ControlModifier},
        {form->N10, Qt::Key_F5, Qt::NoModifier},
    };
    for (const auto& [action, key, modifiers] : keys) {
        SCOPED_TRACE(action->objectName().toStdString());
        int triggered = 0;
        const auto counting =
            QObject::connect(action, &QAction::triggered, [&] { ++triggered; });
        form->activateWindow();
        ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
        QTest::keyClick(form->StringGrid1, key, modifiers);
        QObject::disconnect(counting);
        EXPECT_EQ(triggered, 1);
    }
    EXPECT_TRUE(engine().ReadRequested());
}

TEST_F(EngineWiring, PortThatCannotBeOpenedShowsNotOpenWithoutCaptionOrOwner)
{
    ports.names = {QStringLiteral("/nonexistent/ttyLUMK9")};
    CreateWindow();
    BoxSeen seen;
    {
        ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
        form->ComboBox1->setFocus();
        QTest::keyClick(form->ComboBox1, Qt::Key_Down);
    }
    EXPECT_EQ(seen.text, QStringLiteral("Not open /nonexistent/ttyLUMK9"));
    EXPECT_EQ(seen.title, QString());
    EXPECT_FALSE(seen.hasOwner);
    EXPECT_FALSE(link().IsOpen());
    EXPECT_FALSE(form->ProgressBar1->isVisible());
}

// Opens anything; counts the opens.
class OpenAnyPort : public SerialBackend
{
public:
    bool Open(const QString&) override { return ++opens, true; }
    void Close() override {}
    std::int64_t Read(std::uint8_t*, std::int64_t) override { return 0; }
    std::int64_t Write(const std::uint8_t*, std::int64_t count, int) override { return count; }
    void Purge(unsigned) override {}
    int opens = 0;
};

TEST_F(EngineWiring, OpeningThePortList_ProbesAgain_KeepsTheOpenPortAndTheSelection)
{
    ports.names = {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")};
    CreateWindow();
    auto backend = std::make_shared<OpenAnyPort>();
    link().SetBackend(backend);
    form->Selector().Select(1); // the program holds ttyUSB0 open
    ASSERT_TRUE(link().Open(QStringLiteral("ttyUSB0")));
    int handlerRuns = 0;
    QObject::connect(form->ComboBox1, &QComboBox::activated, [&] { ++handlerRuns; });
    const auto items = [&] {
        QStringList texts;
        for (int i = 0; i < form->ComboBox1->count(); ++i)
            texts << form->ComboBox1->itemText(i);
        EXPECT_EQ(texts.takeLast(), UiTexts::NetworkPortItem); // always the last entry
        return texts;
    };

    // Between two openings an adapter appears and the held one drops out of
    // the probe (it is never probed while open).
    ports.names = {QStringLiteral("ttyACM0"), QStringLiteral("ttyS0")};
    ports.heldSeen.clear();
    form->ComboBox1->showPopup();
    form->ComboBox1->hidePopup();
    EXPECT_EQ(ports.heldSeen, QStringList{"ttyUSB0"});
    EXPECT_EQ(items(), (QStringList{"ttyACM0", "ttyS0", "ttyUSB0"}));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("ttyUSB0"));
    EXPECT_EQ(form->Selector().CurrentName(), QStringLiteral("ttyUSB0"));

    // Closed, the selected port is probed like any other: still there, it
    // stays selected; gone, nothing is selected.
    link().Close();
    ports.names = {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB0")};
    form->ComboBox1->showPopup();
    form->ComboBox1->hidePopup();
    EXPECT_EQ(items(), (QStringList{"ttyS0", "ttyUSB0"}));
    EXPECT_EQ(form->ComboBox1->currentText(), QStringLiteral("ttyUSB0"));
    ports.names = {QStringLiteral("ttyS0")};
    form->ComboBox1->showPopup();
    form->ComboBox1->hidePopup();
    EXPECT_EQ(items(), QStringList{"ttyS0"});
    EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
    EXPECT_EQ(form->Selector().Index(), -1);

    EXPECT_EQ(handlerRuns, 0);
    EXPECT_EQ(backend->opens, 1); // only the test's own open
    EXPECT_FALSE(form->ProgressBar1->isVisible());
}

TEST_F(EngineWiring, PortListTooltip_NamesPresentButUnusableDevicesAndWhy)
{
    ports.names = {QStringLiteral("ttyS0")};
    ports.unusable = {{"ttyUSB0", "/dev/ttyUSB0", PortState::NoPermission, "нет прав", {}, {}},
                      {"ttyS1", "/dev/ttyS1", PortState::Busy, "занят (minicom)", {}, {}}};
    CreateWindow();
    EXPECT_EQ(form->ComboBox1->count(), 2); // and "Сетевой порт…"
    EXPECT_EQ(form->ComboBox1->toolTip(),
              UiTexts::UnusablePorts + "\nttyUSB0: нет прав\nttyS1: занят (minicom)");
    // Reopened once they are usable, the tooltip has nothing left to explain.
    ports.names = {QStringLiteral("ttyS0"), QStringLiteral("ttyS1"), QStringLiteral("ttyUSB0")};
    ports.unusable.clear();
    form->ComboBox1->showPopup();
    form->ComboBox1->hidePopup();
    EXPECT_EQ(form->ComboBox1->count(), 4);
    EXPECT_TRUE(form->ComboBox1->toolTip().isEmpty());
}

TEST(Translation, QtsOwnTextsAreRussian)
{
    auto* app = qobject_cast<QApplication*>(QCoreApplication::instance());
    ASSERT_NE(app, nullptr);
    ASSERT_TRUE(InstallRussianTranslation(*app))
        << "qtbase_ru.qm missing in "
        << qPrintable(QLibraryInfo::path(QLibraryInfo::TranslationsPath));
    QMessageBox box(QMessageBox::Question, QString(), QString(),
                    QMessageBox::Yes | QMessageBox::No);
    EXPECT_EQ(box.button(QMessageBox::Yes)->text().remove('&'), QStringLiteral("Да"));
    EXPECT_EQ(box.button(QMessageBox::No)->text().remove('&'), QStringLiteral("Нет"));
}
