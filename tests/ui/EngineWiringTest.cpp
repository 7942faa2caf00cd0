// The window's side of the transfer engine: the timer driving ticks, the
// progress bar, the read and write commands, the port selector and the boxes.
#include "GuiSupport.h"

#include "LinkTexts.h"
#include "UiTexts.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QLibraryInfo>
#include <QProgressBar>
#include <QPushButton>
#include <QTest>

class EngineWiring : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        // Ticks without a port sleep 300 ms: make that virtual.
        SetLinkClock(clock);
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
    EXPECT_FALSE(engine.ReadRequested());
}

TEST_F(EngineWiring, MenuItemsStartTheSameTransfersAsTheButtons)
{
    CreateWindow();
    form->N10->trigger();
    EXPECT_TRUE(engine.ReadRequested());
    EXPECT_TRUE(form->ProgressBar1->isVisible());

    model.setCell(1, 1, 1, QStringLiteral("Сообщ.2"));
    form->N11->trigger();
    EXPECT_TRUE(engine.WriteRequested());
    EXPECT_EQ(model.image().byte(0), 0x88); // the write encoded the table first

    // The write button does the same.
    model.setCell(1, 1, 1, QStringLiteral("Сообщ.3"));
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    EXPECT_EQ(model.image().byte(0), 0xC0);

    ModalWatcher watcher([&](QWidget* w) { CloseMessageBox(w); });
    ASSERT_TRUE(WaitFor([&] { return watcher.Seen(); }, 10000));
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
    EXPECT_FALSE(PortIsOpen());
    EXPECT_FALSE(form->ProgressBar1->isVisible());
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
