// The main window's controls, texts, geometry, initial states, tab order, menu
// and fixed size, and the painting of the address grids.
#include "GuiSupport.h"

#include "CoreTexts.h"
#include "UiTexts.h"

#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QGroupBox>
#include <QMenu>
#include <QMenuBar>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTest>

#include <cstdlib>
#include <functional>

namespace {

struct ControlCase
{
    const char* name;
    const char* parent;
    QRect geometry; // height 0: not fixed by the layout
    bool visible;
    QString text;
};

QString textOf(QWidget* w)
{
    if (auto* b = qobject_cast<QAbstractButton*>(w))
        return b->text();
    if (auto* g = qobject_cast<QGroupBox*>(w))
        return g->title();
    return QString();
}

} // namespace

using Layout = WindowTest;

TEST_F(Layout, EveryControlHasItsNamePlaceSizeTextAndInitialState)
{
    CreateWindow();
    const std::vector<ControlCase> cases = {
        {"GroupBox2", "Client", {0, 0, 199, 40}, true, UiTexts::PortGroup},
        {"ComboBox1", "GroupBox2", {8, 14, 185, 0}, true, {}},
        {"GroupBox1", "Client", {0, 39, 200, 44}, true, UiTexts::ModeGroup},
        {"ComboBox3", "GroupBox1", {8, 15, 185, 0}, true, {}},
        {"GroupBox3", "Client", {202, 1, 395, 56}, false, UiTexts::CommonGroup},
        {"CheckBox1", "GroupBox3", {7, 15, 225, 17}, true, UiTexts::CheckFault},
        {"CheckBox2", "GroupBox3", {7, 34, 145, 17}, false, UiTexts::AcknowledgeStart},
        {"RadioButton1", "GroupBox3", {231, 14, 158, 17}, true, UiTexts::ControlUpa},
        {"RadioButton2", "GroupBox3", {231, 34, 160, 17}, true, UiTexts::ControlAnnouncement},
        {"Button3", "Client", {600, 24, 75, 22}, true, QStringLiteral("прочесть")},
        {"Button4", "Client", {600, 53, 75, 25}, true, QStringLiteral("записать")},
        {"ProgressBar1", "Client", {202, 64, 393, 17}, false, {}},
        {"StringGrid1", "Client", {0, 89, 165, 330}, true, {}},
        {"StringGrid2", "Client", {168, 89, 165, 330}, true, {}},
        {"StringGrid3", "Client", {338, 89, 165, 330}, true, {}},
        {"StringGrid4", "Client", {509, 89, 165, 330}, true, {}},
        {"ComboBox2", "Client", {389, 202, 54, 0}, false, {}},
        {"Memo1", "Client", {4, 87, 657, 337}, false, {}},
    };
    for (const ControlCase& c : cases) {
        SCOPED_TRACE(c.name);
        auto* w = form->findChild<QWidget*>(QLatin1String(c.name));
        ASSERT_NE(w, nullptr);
        EXPECT_EQ(w->parentWidget()->objectName(), QLatin1String(c.parent));
        EXPECT_EQ(w->pos(), c.geometry.topLeft());
        EXPECT_EQ(w->width(), c.geometry.width());
        if (c.geometry.height() > 0) {
            EXPECT_EQ(w->height(), c.geometry.height());
        }
        EXPECT_EQ(w->isVisibleTo(w->parentWidget()), c.visible);
        EXPECT_EQ(textOf(w), c.text);
    }

    EXPECT_EQ(form->windowTitle().remove(QStringLiteral("[*]")), UiTexts::WindowCaption);
    EXPECT_TRUE(QApplication::applicationDisplayName() != UiTexts::ApplicationTitle);
    EXPECT_EQ(form->Client->size(), QSize(687, 431));
    EXPECT_EQ(form->Client->y(), form->MainMenu1->height());
    EXPECT_EQ(form->frameGeometry().topLeft(), QPoint(202, 123));

    EXPECT_EQ(form->ComboBox3->count(), 2);
    EXPECT_EQ(form->ComboBox3->itemText(0), CoreTexts::SpeechModeName);
    EXPECT_EQ(form->ComboBox3->itemText(1), CoreTexts::OtherDevicesModeName);
    EXPECT_EQ(form->ComboBox3->currentIndex(), 0);
    EXPECT_FALSE(form->ComboBox1->isEditable());
    EXPECT_FALSE(form->ComboBox2->isEditable());
    EXPECT_FALSE(form->ComboBox3->isEditable());
    EXPECT_FALSE(form->CheckBox1->isChecked());
    EXPECT_FALSE(form->CheckBox2->isChecked());
    EXPECT_TRUE(form->RadioButton1->isChecked());
    EXPECT_EQ(form->ProgressBar1->minimum(), 0);
    EXPECT_EQ(form->ProgressBar1->maximum(), 100);
    EXPECT_EQ(form->Timer1->interval(), 100);
    EXPECT_TRUE(form->Timer1->isActive());
    EXPECT_EQ(QApplication::focusWidget(), form->StringGrid1);
}

TEST_F(Layout, PortSelectorListsTheProbedPortsWithNoneSelected)
{
    ports.names = {QStringLiteral("ttyS0"), QStringLiteral("ttyUSB1")};
    CreateWindow();
    ASSERT_EQ(form->ComboBox1->count(), 3);
    EXPECT_EQ(form->ComboBox1->itemText(0), QStringLiteral("ttyS0"));
    EXPECT_EQ(form->ComboBox1->itemText(1), QStringLiteral("ttyUSB1"));
    EXPECT_EQ(form->ComboBox1->itemText(2), UiTexts::NetworkPortItem);
    EXPECT_EQ(form->ComboBox1->currentIndex(), -1);
}

TEST_F(Layout, GridsStartLabelledAndUnused)
{
    CreateWindow();
    for (int page = 1; page <= 4; ++page) {
        TStringGrid* grid = form->Grids()[page - 1];
        SCOPED_TRACE(page);
        EXPECT_EQ(grid->ColCount(), 3);
        EXPECT_EQ(grid->RowCount(), 17);
        EXPECT_EQ(grid->DefaultRowHeight(), 18);
        EXPECT_EQ(grid->Cells(0, 0), CoreTexts::HeaderAddress);
        EXPECT_EQ(grid->Cells(1, 0), CoreTexts::HeaderMode);
        EXPECT_EQ(grid->Cells(2, 0), CoreTexts::HeaderDelay);
        EXPECT_EQ(grid->Col(), 1);
        EXPECT_EQ(grid->Row(), 0);
        for (int row = 1; row <= 16; ++row) {
            EXPECT_EQ(grid->Cells(0, row), QString::number((page - 1) * 16 + row));
            EXPECT_EQ(grid->Cells(1, row), CoreTexts::ModeUnused);
            EXPECT_EQ(grid->Cells(2, row), QString());
        }
    }
}

TEST_F(Layout, WindowKeepsItsSizeAndGridWidthsWhenResizedOrMaximised)
{
    CreateWindow();
    const QSize fixed = form->size();
    auto expectGrids = [&] {
        for (TStringGrid* grid : form->Grids()) {
            EXPECT_EQ(grid->width(), 165);
            EXPECT_EQ(grid->DefaultColWidth(), 51);
            EXPECT_EQ(grid->height(), 330);
        }
    };
    expectGrids();
    form->resize(900, 700);
    QApplication::processEvents();
    EXPECT_EQ(form->size(), fixed);
    form->showMaximized();
    EXPECT_TRUE(WaitFor([&] { return !form->isMaximized() && form->size() == fixed; }));
    EXPECT_EQ(form->Client->size(), QSize(687, 431));
    expectGrids();
}

TEST_F(Layout, TabVisitsTheVisibleControlsInDesignOrder)
{
    CreateWindow();
    auto tabRound = [&] {
        QStringList visited;
        for (int i = 0; i < 12; ++i) {
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
            visited.append(QApplication::focusWidget()->objectName());
            if (QApplication::focusWidget() == form->StringGrid1)
                break;
        }
        return visited;
    };
    EXPECT_EQ(tabRound(), QStringList({"StringGrid2", "StringGrid3", "StringGrid4", "Button3",
                                       "Button4", "ComboBox3", "ComboBox1", "StringGrid1"}));

    // In the other-devices mode the common properties join the round.
    form->N9->trigger();
    const QStringList round = tabRound();
    ASSERT_GE(round.size(), 9);
    EXPECT_EQ(round.mid(6, 2), QStringList({"ComboBox1", "CheckBox1"}));
    EXPECT_FALSE(round.contains("CheckBox2"));
}

TEST_F(Layout, MenuHoldsItsItemsWithTheModePairAsRadioItems)
{
    CreateWindow();
    EXPECT_EQ(Plain(form->N1->title()), UiTexts::FileMenu);
    // The configuration sheet's items (N14, N15) come before "Выход".
    auto* savePdf = form->findChild<QAction*>(QStringLiteral("N14"));
    auto* print = form->findChild<QAction*>(QStringLiteral("N15"));
    ASSERT_TRUE(savePdf && print);
    EXPECT_EQ(savePdf->text(), UiTexts::SavePdfItem);
    EXPECT_EQ(print->text(), UiTexts::PrintItem);
    // Recent files (N23) and backups (N24) after "Сохранить", before the sheet's.
    EXPECT_EQ(form->N1->actions(), QList<QAction*>({form->N5, form->N6, form->N23->menuAction(),
                                                    form->N24, savePdf, print, form->N7}));
    EXPECT_EQ(Plain(form->N5->text()), UiTexts::OpenItem);
    EXPECT_EQ(Plain(form->N6->text()), UiTexts::SaveItem);
    EXPECT_EQ(Plain(form->N23->title()), UiTexts::RecentFilesItem);
    EXPECT_EQ(Plain(form->N24->text()), UiTexts::BackupsItem);
    EXPECT_EQ(Plain(form->N7->text()), UiTexts::ExitItem);
    EXPECT_EQ(Plain(form->N3->title()), UiTexts::DeviceMenu);
    EXPECT_EQ(form->N3->actions(),
              QList<QAction*>({form->N2->menuAction(), form->N4->menuAction()}));
    EXPECT_EQ(Plain(form->N2->title()), UiTexts::ModeMenu);
    EXPECT_EQ(form->N2->actions(), QList<QAction*>({form->N8, form->N9}));
    EXPECT_EQ(Plain(form->N8->text()), UiTexts::SpeechItem);
    EXPECT_EQ(Plain(form->N9->text()), UiTexts::OtherDevicesItem);
    EXPECT_EQ(Plain(form->N4->title()), UiTexts::ActionMenu);
    // Прервать follows the transfers; the comparisons come after a separator.
    const QList<QAction*> actions = form->N4->actions();
    ASSERT_EQ(actions.size(), 6);
    EXPECT_TRUE(actions.at(3)->isSeparator());
    EXPECT_EQ(actions, QList<QAction*>({form->N10, form->N11, form->N17, actions.at(3), form->N21,
                                        form->N22}));
    EXPECT_EQ(Plain(form->N10->text()), UiTexts::ReadItem);
    EXPECT_EQ(Plain(form->N11->text()), UiTexts::WriteItem);
    EXPECT_EQ(Plain(form->N17->text()), UiTexts::AbortItem);
    EXPECT_EQ(form->N17->shortcut(), QKeySequence(Qt::Key_Escape));
    EXPECT_FALSE(form->N17->isEnabled()); // no transfer runs
    EXPECT_EQ(Plain(form->N21->text()), UiTexts::CompareDeviceItem);
    EXPECT_EQ(Plain(form->N22->text()), UiTexts::CompareFileItem);
    EXPECT_EQ(Plain(form->N12->title()), UiTexts::HelpMenu);
    EXPECT_EQ(form->N12->actions(), QList<QAction*>({form->N16, form->N13}));
    EXPECT_EQ(form->N16->shortcut(), QKeySequence(Qt::Key_F1));
    EXPECT_EQ(form->N18->title(), "&" + UiTexts::EditMenu);
    EXPECT_EQ(form->N18->actions(), QList<QAction*>({form->N19, form->N20}));
    EXPECT_EQ(form->N19->shortcuts(), QList<QKeySequence>{QKeySequence(Qt::CTRL | Qt::Key_Z)});
    EXPECT_EQ(form->N20->shortcuts(),
              QList<QKeySequence>({QKeySequence(Qt::CTRL | Qt::Key_Y),
                                   QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)}));
    EXPECT_FALSE(form->N19->isEnabled()); // nothing done yet
    EXPECT_EQ(form->MainMenu1->actions(),
              QList<QAction*>({form->N1->menuAction(), form->N18->menuAction(),
                               form->N3->menuAction(), form->N12->menuAction()}));

    ASSERT_NE(form->N8->actionGroup(), nullptr);
    EXPECT_EQ(form->N8->actionGroup(), form->N9->actionGroup());
    EXPECT_TRUE(form->N8->actionGroup()->isExclusive());
    EXPECT_TRUE(form->N8->isChecked());
    EXPECT_FALSE(form->N9->isChecked());
    EXPECT_TRUE(form->N5->isEnabled());
}

TEST_F(Layout, EveryMenuAndItemHasAnAltLetterOfItsOwnWithinItsMenu)
{
    CreateWindow();
    const std::pair<QWidget*, QList<QAction*>> menus[] = {
        {form->MainMenu1,
         {form->N1->menuAction(), form->N3->menuAction(), form->N12->menuAction()}},
        {form->N1, {form->N5, form->N6, form->N23->menuAction(), form->N24, form->N7}},
        {form->N3, {form->N2->menuAction(), form->N4->menuAction()}},
        {form->N2, {form->N8, form->N9}},
        {form->N4, {form->N10, form->N11, form->N21, form->N22}},
        {form->N12, {form->N16, form->N13}},
    };
    for (const auto& [menu, items] : menus) {
        QString letters;
        for (const QAction* action : menu->actions()) {
            const QString text = action->text();
            const qsizetype mark = text.indexOf(QLatin1Char('&'));
            if (mark < 0 || mark + 1 >= text.size()) {
                EXPECT_FALSE(items.contains(action)) << qPrintable(text) << " has no Alt letter";
                continue;
            }
            const QChar letter = text.at(mark + 1).toLower();
            EXPECT_TRUE(letter.isLetter()) << qPrintable(text);
            EXPECT_FALSE(letters.contains(letter)) << qPrintable(text) << " repeats a letter";
            letters += letter;
        }
    }
}

TEST_F(Layout, AboutBoxIsOwnedByTheApplicationWithNoticeAndVersion)
{
    CreateWindow();
    BoxSeen seen;
    ModalWatcher watcher([&](QWidget* w) { seen = CloseMessageBox(w); });
    form->N13->trigger();
    ASSERT_TRUE(watcher.Seen());
    EXPECT_EQ(seen.title, UiTexts::AboutTitle);
    EXPECT_EQ(seen.icon, QMessageBox::Information);
    EXPECT_FALSE(seen.hasOwner);
    const QStringList lines = seen.text.split('\n');
    ASSERT_EQ(lines.size(), 5);
    EXPECT_EQ(lines[0], UiTexts::ApplicationTitle);
    EXPECT_TRUE(lines[1].isEmpty() && lines[2].isEmpty());
    EXPECT_FALSE(lines[3].trimmed().isEmpty());
    EXPECT_EQ(lines[4], QStringLiteral("Версия 1.0"));
}

TEST_F(Layout, ExitClosesTheWindowWithoutAsking)
{
    CreateWindow();
    form->N7->trigger();
    QApplication::processEvents();
    EXPECT_FALSE(form->isVisible());
    EXPECT_EQ(QApplication::activeModalWidget(), nullptr);
}

// --- painting --------------------------------------------------------------

namespace {

QColor pixelIn(const QImage& image, const TStringGrid* grid, int col, int row, QPoint offset)
{
    return image.pixelColor(grid->ClientOrigin() + grid->CellRect(col, row).topLeft() + offset);
}

// Black pixels along the top edge of a cell.
int blackOnTopEdge(const QImage& image, const TStringGrid* grid, int col, int row)
{
    const QRect r = grid->CellRect(col, row).translated(grid->ClientOrigin());
    int count = 0;
    for (int x = r.left(); x <= r.right(); ++x)
        count += image.pixelColor(x, r.top()) == QColor(Qt::black);
    return count;
}

} // namespace

TEST_F(Layout, FixedColumnAndHeaderRowAreButtonFaceAndDataCellsWhiteEvenWhenCurrent)
{
    CreateWindow();
    TStringGrid* grid = form->StringGrid2;
    grid->SetCurrent(2, 5);
    grid->setFocus();
    ASSERT_TRUE(grid->hasFocus());
    const QImage image = grid->grab().toImage();
    const QColor face = form->palette().color(QPalette::Button);
    const QPoint inside(4, 3); // clear of text and edges
    for (int row = 0; row < 17; ++row) {
        for (int col = 0; col < 3; ++col) {
            SCOPED_TRACE(testing::Message() << col << "," << row);
            const bool fixed = col == 0 || row == 0;
            EXPECT_EQ(pixelIn(image, grid, col, row, inside), fixed ? face : QColor(Qt::white));
        }
    }
}

TEST_F(Layout, UnderADarkPaletteHeadersTakeButtonColoursAndDataCellsStayBlackOnWhite)
{
    const QPalette light = QApplication::palette();
    QPalette dark = light;
    dark.setColor(QPalette::Window, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::Button, QColor(0x35, 0x35, 0x35));
    dark.setColor(QPalette::ButtonText, Qt::white);
    dark.setColor(QPalette::WindowText, Qt::white);
    QApplication::setPalette(dark);
    CreateWindow();
    model.ToggleModeColumn(3);                     // text in the data cells
    ASSERT_TRUE(form->SaveFile(Path("dark.lmk"))); // saved: no cell marked as changed
    TStringGrid* grid = form->StringGrid3;
    const QImage image = grid->grab().toImage();
    QApplication::setPalette(light);

    const auto pixels = [&](int col, int row, const std::function<bool(QColor)>& match) {
        const QRect r = grid->CellRect(col, row).adjusted(2, 2, -2, -2);
        int count = 0;
        for (int y = r.top(); y <= r.bottom(); ++y)
            for (int x = r.left(); x <= r.right(); ++x)
                count += match(image.pixelColor(grid->ClientOrigin() + QPoint(x, y)));
        return count;
    };
    const auto contrast = [](QColor a, QColor b) {
        return std::abs(a.lightness() - b.lightness());
    };
    const QColor face(0x35, 0x35, 0x35);
    for (const QPoint cell : {QPoint(0, 5), QPoint(1, 0), QPoint(2, 0)}) {
        SCOPED_TRACE(testing::Message() << cell.x() << "," << cell.y());
        EXPECT_EQ(pixelIn(image, grid, cell.x(), cell.y(), {4, 3}), face);
        EXPECT_GT(pixels(cell.x(), cell.y(), [&](QColor c) { return contrast(c, face) > 128; }),
                  10);
    }
    EXPECT_EQ(pixelIn(image, grid, 1, 5, {4, 3}), QColor(Qt::white));
    EXPECT_GT(pixels(1, 5, [](QColor c) { return c.lightness() < 64; }), 10);

    // Lines around the fixed cells show against their face and the white cells.
    const QRect fixedCell = grid->CellRect(0, 5).translated(grid->ClientOrigin());
    for (const QPoint line : {QPoint(fixedCell.right() + 1, fixedCell.top() + 5),
                              QPoint(fixedCell.left() + 5, fixedCell.bottom() + 1)}) {
        EXPECT_GE(contrast(image.pixelColor(line), face), 64);
        EXPECT_GE(contrast(image.pixelColor(line), Qt::white), 64);
    }
}

TEST_F(Layout, OnlyTheFocusedGridMarksItsCurrentCellWithAFocusRectangle)
{
    CreateWindow();
    for (TStringGrid* grid : form->Grids())
        grid->SetCurrent(1, 3);
    form->StringGrid3->setFocus();
    ASSERT_TRUE(form->StringGrid3->hasFocus());
    for (TStringGrid* grid : form->Grids()) {
        const QImage image = grid->grab().toImage();
        SCOPED_TRACE(qPrintable(grid->objectName()));
        const int marks = blackOnTopEdge(image, grid, 1, 3);
        if (grid == form->StringGrid3)
            EXPECT_GT(marks, 10);
        else
            EXPECT_EQ(marks, 0);
        EXPECT_EQ(blackOnTopEdge(image, grid, 1, 4), 0); // not the current cell
    }
}

TEST_F(Layout, TextTooLongForItsCellEndsInAnEllipsis)
{
    CreateWindow();
    TStringGrid* grid = form->StringGrid4;
    const QString longText = QStringLiteral("Очень длинный текст ячейки");
    const QString elided = QFontMetrics(form->font()).elidedText(longText, Qt::ElideRight, 51);
    ASSERT_NE(elided, longText);
    ASSERT_TRUE(elided.endsWith(QChar(0x2026)));

    grid->SetCells(1, 7, longText);
    const QImage withLong = grid->grab().toImage();
    grid->SetCells(1, 7, elided);
    const QImage withElided = grid->grab().toImage();
    EXPECT_EQ(withLong, withElided);
}

TEST_F(Layout, ModeAndDelayTextsFitTheirColumns)
{
    CreateWindow();
    const QFontMetrics fm(form->font());
    QStringList texts = {CoreTexts::HeaderAddress, CoreTexts::HeaderMode, CoreTexts::HeaderDelay};
    for (int mode : {SpeechMode, OtherDevicesMode})
        for (int column : {1, 2})
            texts += ConfigModel::Choices(column, mode);
    for (const QString& text : texts)
        EXPECT_LE(fm.horizontalAdvance(text), 51 - 2) << qPrintable(text);
    EXPECT_EQ(form->font().pixelSize(), 11);
}
