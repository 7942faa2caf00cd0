// Grid clicks and the cell popup: header actions, opening the popup over a
// cell with the choices of the mode, writing a choice, its width, and when it
// closes.
#include "GuiSupport.h"

#include "ConfigFiles.h"
#include "CoreTexts.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QComboBox>
#include <QGroupBox>
#include <QMenuBar>
#include <QProgressBar>
#include <QPushButton>
#include <QStyle>
#include <QStyleOptionComboBox>
#include <QTest>

#include <algorithm>

using namespace CoreTexts;

namespace {

QStringList itemsOf(const QComboBox* box)
{
    QStringList items;
    for (int i = 0; i < box->count(); ++i)
        items.append(box->itemText(i));
    return items;
}

// Where the popup goes for a cell: the cell rectangle in the grid's client
// coordinates moved by the grid's position, the border not counted.
QPoint popupPlace(const TStringGrid* grid, int col, int row)
{
    const QRect r = grid->CellRect(col, row);
    return grid->pos() + r.topLeft() + QPoint(2, col == 1 ? 1 : 2);
}

} // namespace

class Popup : public WindowTest
{
protected:
    void SetUp() override
    {
        WindowTest::SetUp();
        CreateWindow();
    }
    int page(TStringGrid* grid) const { return form->PageOf(grid); }
};

TEST_F(Popup, HeaderClicksToggleTheModeColumnAndAdvanceTheDelayColumn)
{
    TStringGrid* grid = form->StringGrid2;
    ClickCell(grid, 1, 0);
    for (int row = 1; row <= 16; ++row) {
        EXPECT_EQ(grid->Cells(1, row), MessageText(1));
        EXPECT_EQ(grid->Cells(2, row), Delay30);
    }
    for (const QString& expected : {Delay60, Delay120, Delay240, Delay30}) {
        ClickCell(grid, 2, 0);
        EXPECT_EQ(grid->Cells(2, 9), expected);
        EXPECT_EQ(model.cell(2, 16, 2), expected);
    }
    ClickCell(grid, 1, 0);
    EXPECT_EQ(grid->Cells(1, 4), ModeUnused);
    EXPECT_EQ(grid->Cells(2, 4), QString());
    // Other pages are untouched.
    EXPECT_EQ(form->StringGrid1->Cells(1, 4), ModeUnused);
    EXPECT_FALSE(form->ComboBox2->isVisible());
}

TEST_F(Popup, DoubleClickOnAHeaderAppliesItsActionTwice)
{
    TStringGrid* grid = form->StringGrid3;
    model.setCell(3, 2, 1, MessageText(3));
    model.setCell(3, 2, 2, Delay120);
    DoubleClickCell(grid, 1, 0);
    // The used row comes back with the defaults; the unused rows stay unused.
    EXPECT_EQ(grid->Cells(1, 2), MessageText(1));
    EXPECT_EQ(grid->Cells(2, 2), Delay30);
    EXPECT_EQ(grid->Cells(1, 3), ModeUnused);
    EXPECT_EQ(grid->Cells(2, 3), QString());
}

TEST_F(Popup, DoubleClickOnAnAddressActsOnTheCurrentCell)
{
    // An unclicked page: the current cell is still the mode header.
    TStringGrid* grid = form->StringGrid4;
    DoubleClickCell(grid, 0, 5);
    EXPECT_EQ(grid->Col(), 1);
    EXPECT_EQ(grid->Row(), 0);
    EXPECT_EQ(grid->Cells(1, 5), MessageText(1));
    EXPECT_EQ(grid->Cells(1, 16), MessageText(1));
}

TEST_F(Popup, PressesOnTheAddressColumnOrBelowTheRowsDoNothing)
{
    TStringGrid* grid = form->StringGrid1;
    ClickCell(grid, 0, 0);
    ClickCell(grid, 0, 7);
    const QPoint below = grid->ClientOrigin() + QPoint(80, grid->CellRect(1, 16).bottom() + 3);
    ASSERT_LT(below.y(), grid->contentsRect().bottom());
    QTest::mouseClick(grid, Qt::LeftButton, {}, below);
    EXPECT_EQ(grid->Col(), 1);
    EXPECT_EQ(grid->Row(), 0);
    EXPECT_EQ(grid->Cells(1, 1), ModeUnused); // no header action either
    EXPECT_FALSE(form->ComboBox2->isVisible());
    EXPECT_TRUE(grid->hasFocus()); // but the press took the focus
}

TEST_F(Popup, ModeCellOpensThePopupOverItWithTheModesChoices)
{
    TStringGrid* grid = form->StringGrid2;
    model.setCell(2, 6, 1, MessageText(3));
    ClickCell(grid, 1, 6);
    QComboBox* popup = form->ComboBox2;
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(form->EditGrid, grid);
    EXPECT_EQ(popup->pos(), popupPlace(grid, 1, 6));
    EXPECT_EQ(popup->pos(), QPoint(168 + 52 + 2, 89 + 6 * 19 + 1));
    EXPECT_EQ(itemsOf(popup), ConfigModel::Choices(1, SpeechMode));
    EXPECT_EQ(popup->currentText(), MessageText(3));
    EXPECT_GE(popup->view()->minimumWidth(), 114);
    EXPECT_TRUE(popup->hasFocus());

    // The dropped list is 114 pixels wide for the mode column.
    popup->showPopup();
    EXPECT_GE(popup->view()->window()->width(), 114);
    popup->hidePopup();
}

TEST_F(Popup, OtherDevicesModeCellOffersExactlyNoAndYes)
{
    form->N9->trigger();
    ClickCell(form->StringGrid1, 1, 1);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    EXPECT_EQ(itemsOf(form->ComboBox2), QStringList({ModeUnused, ModeUsed}));
    EXPECT_EQ(form->ComboBox2->currentText(), ModeUnused);
}

TEST_F(Popup, DelayCellOfAnUnusedRowDoesNothingAndOfAUsedRowOffersTheDelays)
{
    TStringGrid* grid = form->StringGrid1;
    ClickCell(grid, 2, 3);
    EXPECT_FALSE(form->ComboBox2->isVisible());
    EXPECT_EQ(grid->Col(), 2); // the cell still became current
    EXPECT_EQ(grid->Row(), 3);

    model.setCell(1, 4, 1, MessageText(2));
    model.setCell(1, 4, 2, Delay120);
    ClickCell(grid, 2, 4);
    QComboBox* popup = form->ComboBox2;
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(), popupPlace(grid, 2, 4));
    EXPECT_EQ(itemsOf(popup), ConfigModel::Choices(2, SpeechMode));
    EXPECT_EQ(popup->currentText(), Delay120);
    EXPECT_EQ(popup->view()->minimumWidth(), popup->width());
}

TEST_F(Popup, CellWhoseTextIsNotAChoiceSelectsNoItem)
{
    model.setCell(1, 2, 1, ModeUsed); // "Да" is no choice in the speech mode
    ClickCell(form->StringGrid1, 1, 2);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    EXPECT_EQ(form->ComboBox2->currentIndex(), -1);
}

TEST_F(Popup, ChoosingModesWritesEachIntoTheCellAndRefreshesItsDelay)
{
    model.image().setByte(16 + 5 - 1, 0x80 | 0x20); // address 21: delay code 2
    TStringGrid* grid = form->StringGrid2;
    ClickCell(grid, 1, 5);
    QComboBox* popup = form->ComboBox2;
    ASSERT_TRUE(popup->hasFocus());

    QTest::keyClick(popup, Qt::Key_Down); // Сообщ.1
    EXPECT_EQ(grid->Cells(1, 5), MessageText(1));
    EXPECT_EQ(grid->Cells(2, 5), Delay120); // from the image, not the cell
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Down);
    QTest::keyClick(popup, Qt::Key_Down); // Сообщ.4
    EXPECT_EQ(model.cell(2, 5, 1), MessageText(4));
    EXPECT_EQ(model.cell(2, 5, 2), Delay120);
    EXPECT_TRUE(popup->isVisible()); // it stays open

    QTest::keyClick(popup, Qt::Key_Home); // Нет
    EXPECT_EQ(grid->Cells(1, 5), ModeUnused);
    EXPECT_EQ(grid->Cells(2, 5), QString());
    // Only this row changed.
    EXPECT_EQ(grid->Cells(1, 4), ModeUnused);
    EXPECT_EQ(grid->Cells(1, 6), ModeUnused);
}

TEST_F(Popup, ChoosingADelayWritesOnlyTheDelayCell)
{
    model.setCell(4, 8, 1, MessageText(2));
    model.setCell(4, 8, 2, Delay30);
    ClickCell(form->StringGrid4, 2, 8);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    QTest::keyClick(form->ComboBox2, Qt::Key_End);
    EXPECT_EQ(model.cell(4, 8, 2), Delay240);
    EXPECT_EQ(model.cell(4, 8, 1), MessageText(2));
}

TEST_F(Popup, ChoosingFromTheDroppedListWithTheMouseWritesTheCell)
{
    ClickCell(form->StringGrid1, 1, 9);
    QComboBox* popup = form->ComboBox2;
    ASSERT_TRUE(popup->isVisible());
    popup->showPopup();
    QAbstractItemView* list = popup->view();
    ASSERT_TRUE(WaitFor([&] { return list->isVisible(); }));
    const QRect item = list->visualRect(list->model()->index(2, 0));
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, item.center());
    EXPECT_EQ(model.cell(1, 9, 1), MessageText(2));
    EXPECT_EQ(model.cell(1, 9, 2), Delay30);
}

TEST_F(Popup, ClickingAnotherCellMovesThePopupThereAndAButtonClosesIt)
{
    ClickCell(form->StringGrid1, 1, 2);
    ASSERT_TRUE(form->ComboBox2->isVisible());

    // A press on a grid takes the focus, which closes the popup first.
    ClickCell(form->StringGrid3, 1, 10);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    EXPECT_EQ(form->EditGrid, form->StringGrid3);
    EXPECT_EQ(form->ComboBox2->pos(), popupPlace(form->StringGrid3, 1, 10));

    // A header click applies its action instead.
    ClickCell(form->StringGrid3, 1, 0);
    EXPECT_FALSE(form->ComboBox2->isVisible());
    EXPECT_EQ(form->StringGrid3->Cells(1, 1), MessageText(1));

    ClickCell(form->StringGrid1, 1, 2);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    QTest::mouseClick(form->Button4, Qt::LeftButton);
    EXPECT_FALSE(form->ComboBox2->isVisible());
}

TEST_F(Popup, TabFromThePopupClosesIt)
{
    ClickCell(form->StringGrid1, 1, 2);
    ASSERT_TRUE(form->ComboBox2->hasFocus());
    QTest::keyClick(form->ComboBox2, Qt::Key_Tab);
    EXPECT_FALSE(form->ComboBox2->isVisible());
    EXPECT_EQ(QApplication::focusWidget(), form->Button4);
}

TEST_F(Popup, MessageBoxOverTheOpenPopupLeavesItOpen)
{
    ClickCell(form->StringGrid2, 1, 2);
    ASSERT_TRUE(form->ComboBox2->isVisible());
    ModalWatcher watcher([](QWidget* w) { CloseMessageBox(w); });
    form->N13->trigger();
    ASSERT_TRUE(watcher.Seen());
    QApplication::processEvents();
    EXPECT_TRUE(form->ComboBox2->isVisible());
    // Back in the window, the popup still has the focus; a press on the grid
    // closes it and the click reopens it on the new cell.
    form->activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(form.get()));
    EXPECT_EQ(QApplication::focusWidget(), form->ComboBox2);
    ClickCell(form->StringGrid2, 1, 3);
    EXPECT_EQ(form->ComboBox2->pos(), popupPlace(form->StringGrid2, 1, 3));
}

TEST_F(Popup, ClicksElsewhereInTheWindowCloseItWithoutAChange)
{
    form->ProgressBar1->show(); // as during a transfer
    const std::pair<QWidget*, QPoint> presses[] = {
        {form->Client, QPoint(300, 30)},
        {form->GroupBox1, QPoint(195, 5)},
        {form->GroupBox2, QPoint(4, 36)},
        {form->ProgressBar1, QPoint(10, 8)},
    };
    for (const auto& [target, at] : presses) {
        SCOPED_TRACE(target->objectName().toStdString());
        ClickCell(form->StringGrid1, 1, 1);
        ASSERT_TRUE(form->ComboBox2->isVisible());
        QTest::mouseClick(target, Qt::LeftButton, {}, at);
        EXPECT_FALSE(form->ComboBox2->isVisible());
        EXPECT_EQ(QApplication::focusWidget(), form->StringGrid1); // not the next button
        EXPECT_EQ(model.cell(1, 1, 1), ModeUnused);
    }
}

TEST_F(Popup, EscClosesItWithoutAChange_AlsoWithItsListDropped)
{
    for (const bool dropped : {false, true}) {
        SCOPED_TRACE(dropped ? "list dropped" : "list closed");
        ClickCell(form->StringGrid2, 1, 4);
        QComboBox* popup = form->ComboBox2;
        ASSERT_TRUE(popup->hasFocus());
        QWidget* target = popup;
        if (dropped) {
            popup->showPopup();
            ASSERT_TRUE(WaitFor([&] { return popup->view()->isVisible(); }));
            target = popup->view();
        }
        QTest::keyClick(target, Qt::Key_Escape);
        EXPECT_FALSE(popup->view()->isVisible());
        EXPECT_FALSE(popup->isVisible());
        EXPECT_EQ(model.cell(2, 4, 1), ModeUnused);
        EXPECT_EQ(QApplication::focusWidget(), form->StringGrid2);
    }
}

TEST_F(Popup, ATableChangeThatIsNotItsOwnPickClosesIt)
{
    ParamImage file;
    file.setByte(0, 0x80);
    const QString path = Path(QStringLiteral("site.lmk"));
    ASSERT_TRUE(WriteImageFile(path, file));
    const std::pair<const char*, std::function<void()>> changes[] = {
        {"Open", [&] { form->OpenFile(path); }},
        {"a read's decode", [&] { model.ImageToTable(ParamImage()); }},
        {"a header action elsewhere", [&] { model.ToggleModeColumn(3); }},
        {"the mode menu", [&] { form->N9->trigger(); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        ClickCell(form->StringGrid1, 1, 1);
        ASSERT_TRUE(form->ComboBox2->isVisible());
        change();
        EXPECT_FALSE(form->ComboBox2->isVisible());
    }
}

TEST_F(Popup, ItsTextAndItsListAreNeverCut)
{
    for (const int mode : {SpeechMode, OtherDevicesMode}) {
        (mode == SpeechMode ? form->N8 : form->N9)->trigger();
        model.setCell(4, 2, 1, mode == SpeechMode ? MessageText(4) : ModeUsed);
        for (const int col : {1, 2}) {
            SCOPED_TRACE(testing::Message() << "mode " << mode << ", column " << col);
            form->ComboBox2->hide();
            ClickCell(form->StringGrid4, col, 2);
            QComboBox* popup = form->ComboBox2;
            ASSERT_TRUE(popup->isVisible());
            EXPECT_LE(popup->geometry().right(), form->Client->width() - 1);
            int widest = 0;
            for (const QString& choice : itemsOf(popup))
                widest = std::max(widest, popup->fontMetrics().horizontalAdvance(choice));
            QStyleOptionComboBox option;
            option.initFrom(popup);
            const QRect field = popup->style()->subControlRect(
                QStyle::CC_ComboBox, &option, QStyle::SC_ComboBoxEditField, popup);
            EXPECT_GE(field.width(), widest);
            EXPECT_GE(popup->width(), 54);
            popup->showPopup();
            ASSERT_TRUE(WaitFor([&] { return popup->view()->isVisible(); }));
            EXPECT_GE(popup->view()->viewport()->width(), widest);
            popup->hidePopup();
        }
    }
}

TEST_F(Popup, MenuBarOrAnotherWindowTakingTheFocusLeavesThePopupOpen)
{
    ClickCell(form->StringGrid1, 1, 1);
    ASSERT_TRUE(form->ComboBox2->hasFocus());
    form->MainMenu1->setFocus(Qt::MenuBarFocusReason); // keyboard use of the menu
    EXPECT_TRUE(form->ComboBox2->isVisible());

    form->ComboBox2->setFocus();
    QWidget other;
    other.show();
    other.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&other));
    EXPECT_TRUE(form->ComboBox2->isVisible());
}

TEST_F(Popup, ArrowKeysMoveTheCurrentCellAndOpenThePopupThere)
{
    TStringGrid* grid = form->StringGrid1;
    ASSERT_TRUE(grid->hasFocus());
    QTest::keyClick(grid, Qt::Key_Down);
    EXPECT_EQ(grid->Row(), 1);
    QComboBox* popup = form->ComboBox2;
    ASSERT_TRUE(popup->isVisible());
    EXPECT_EQ(popup->pos(), popupPlace(grid, 1, 1));
    ASSERT_TRUE(popup->hasFocus());
    // Further Up and Down keys change the popup's choice and write each one.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(grid->Cells(1, 1), MessageText(1));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Down);
    EXPECT_EQ(grid->Cells(1, 1), MessageText(2));
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Up);
    EXPECT_EQ(grid->Cells(1, 1), MessageText(1));
}

TEST_F(Popup, KeyboardMovesFollowTheGridsRules)
{
    TStringGrid* grid = form->StringGrid2;
    model.ToggleModeColumn(2); // all rows used, delays 30 s
    grid->setFocus();
    struct Step
    {
        Qt::Key key;
        Qt::KeyboardModifiers mods;
        int col, row;
        bool clicked;
    };
    const std::vector<Step> steps = {
        {Qt::Key_Left, {}, 1, 0, false},  // column 0 never becomes current
        {Qt::Key_Up, {}, 1, 0, false},    // already at the top
        {Qt::Key_Right, {}, 2, 0, true},  // onto the delay header
        {Qt::Key_Right, {}, 2, 0, false}, // already at the last column
        {Qt::Key_Home, {}, 1, 0, true},   // column 1 of the same row
        {Qt::Key_End, Qt::ControlModifier, 2, 16, true},
        {Qt::Key_PageUp, {}, 2, 0, true},
        {Qt::Key_PageDown, {}, 2, 16, true},
        {Qt::Key_Home, Qt::ControlModifier, 1, 0, true},
        {Qt::Key_Down, Qt::ControlModifier, 1, 0, false},
    };
    int clicks = 0;
    QObject::connect(grid, &TStringGrid::Click, grid, [&] { ++clicks; });
    for (std::size_t i = 0; i < steps.size(); ++i) {
        const Step& s = steps[i];
        SCOPED_TRACE(testing::Message() << "step " << i);
        const int before = clicks;
        form->ComboBox2->hide();
        grid->setFocus();
        QTest::keyClick(grid, s.key, s.mods);
        EXPECT_EQ(grid->Col(), s.col);
        EXPECT_EQ(grid->Row(), s.row);
        EXPECT_EQ(clicks - before, s.clicked ? 1 : 0);
        if (i == 2) { // the move onto the delay header advanced the delays
            EXPECT_EQ(model.cell(2, 5, 2), Delay60);
        }
    }
}

TEST_F(Popup, DraggingWithTheButtonHeldMakesTheCellUnderTheMouseCurrent)
{
    TStringGrid* grid = form->StringGrid1;
    model.ToggleModeColumn(1);
    QTest::mousePress(grid, Qt::LeftButton, {}, CellCenter(grid, 1, 2));
    EXPECT_EQ(grid->Row(), 2); // current at once
    QTest::mouseMove(grid, CellCenter(grid, 2, 6));
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 6);
    QTest::mouseMove(grid, CellCenter(grid, 0, 9)); // the fixed column is skipped
    EXPECT_EQ(grid->Col(), 2);
    EXPECT_EQ(grid->Row(), 6);
    EXPECT_FALSE(form->ComboBox2->isVisible()); // the event comes on release
    QTest::mouseRelease(grid, Qt::LeftButton, {}, CellCenter(grid, 0, 9));
    ASSERT_TRUE(form->ComboBox2->isVisible());
    EXPECT_EQ(form->ComboBox2->pos(), popupPlace(grid, 2, 6));
}

TEST_F(Popup, ReleaseOnTheAlreadyCurrentCellStillRaisesTheClick)
{
    TStringGrid* grid = form->StringGrid1;
    ClickCell(grid, 1, 0);
    ClickCell(grid, 1, 0);
    // Two toggles: back to unused.
    EXPECT_EQ(grid->Cells(1, 1), ModeUnused);
    ClickCell(grid, 1, 0);
    EXPECT_EQ(grid->Cells(1, 1), MessageText(1));
}

TEST_F(Popup, TabLeavesTheGridForTheNextControl)
{
    ASSERT_TRUE(form->StringGrid1->hasFocus());
    QTest::keyClick(form->StringGrid1, Qt::Key_Tab);
    EXPECT_EQ(QApplication::focusWidget(), form->StringGrid2);
    EXPECT_EQ(form->StringGrid1->Row(), 0);
    EXPECT_FALSE(form->ComboBox2->isVisible());
}
