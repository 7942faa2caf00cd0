#include "WindowLayout.h"

#include "AddressTable.h"
#include "CoreTexts.h"
#include "DropDownList.h"
#include "GroupBox.h"
#include "UiTexts.h"
#include "Unit1.h"

#include <QActionGroup>
#include <QCheckBox>
#include <QLabel>
#include <QMenuBar>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <chrono>

using namespace std::chrono_literals;

namespace {

constexpr int GridRowHeight = 18;
constexpr int GridColWidth = 50;
constexpr int ComboHeight = 21;

template <class W> W* place(W* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left, top, width, height);
    return widget;
}

template <class W> W* named(W* widget, const char* name)
{
    widget->setObjectName(QLatin1String(name));
    return widget;
}

template <class Box> Box* dropDownList(Box* box, const char* name)
{
    named(box, name)->setEditable(false);
    return box;
}

// The letter after a lone '&' of `text`, lower-cased; a null QChar when none.
QChar mnemonicOf(const QString& text)
{
    for (qsizetype i = 0; i + 1 < text.size(); ++i) {
        if (text.at(i) != QLatin1Char('&'))
            continue;
        if (text.at(i + 1) != QLatin1Char('&'))
            return text.at(i + 1).toLower();
        ++i; // "&&" is a literal ampersand
    }
    return {};
}

} // namespace

QString WindowLayout::WithMnemonic(const QWidget& menu, const QString& text)
{
    QString taken;
    for (const QAction* action : menu.actions())
        taken += mnemonicOf(action->text());
    const auto free = [&](qsizetype i) {
        return text.at(i).isLetter() && !taken.contains(text.at(i).toLower());
    };
    QList<qsizetype> order;
    for (qsizetype i = 0; i < text.size(); ++i)
        if (text.at(i).isLetter() && (i == 0 || text.at(i - 1).isSpace()))
            order << i;
    for (qsizetype i = 0; i < text.size(); ++i)
        order << i;
    for (qsizetype i : order)
        if (free(i))
            return QString(text).insert(i, QLatin1Char('&'));
    return text;
}

QFont WindowLayout::WindowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

void WindowLayout::Build(TForm1& form)
{
    form.setObjectName(QStringLiteral("Form1"));
    form.setFont(WindowFont());
    QPalette pal = form.palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    form.setPalette(pal);
    createMenu(form);
    createControls(form);
    setTabOrder(form);
}

void WindowLayout::createMenu(TForm1& f)
{
    f.MainMenu1 = named(f.menuBar(), "MainMenu1");
    auto item = [](QMenu* m, const QString& text, const char* name) {
        return named(m->addAction(WithMnemonic(*m, text)), name);
    };
    auto menu = [](QWidget* owner, const QString& title, const char* name) {
        QMenu* m = nullptr;
        if (auto* bar = qobject_cast<QMenuBar*>(owner))
            m = bar->addMenu(WithMnemonic(*bar, title));
        else
            m = static_cast<QMenu*>(owner)->addMenu(WithMnemonic(*owner, title));
        return named(m, name);
    };

    f.N1 = menu(f.MainMenu1, UiTexts::FileMenu, "N1");
    f.N5 = item(f.N1, UiTexts::OpenItem, "N5");
    f.N6 = item(f.N1, UiTexts::SaveItem, "N6");
    // Recent files and backups before the sheet's items and "Выход".
    f.N23 = menu(f.N1, UiTexts::RecentFilesItem, "N23");
    f.N24 = item(f.N1, UiTexts::BackupsItem, "N24");
    f.N7 = item(f.N1, UiTexts::ExitItem, "N7");
    f.N5->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_O));
    f.N6->setShortcut(QKeySequence(Qt::CTRL | Qt::Key_S));

    // Undo and redo; their texts name the step (EditHistory).
    f.N18 = menu(f.MainMenu1, UiTexts::EditMenu, "N18");
    f.N19 = item(f.N18, UiTexts::UndoItem, "N19");
    f.N19->setShortcuts({QKeySequence(Qt::CTRL | Qt::Key_Z)});
    f.N20 = item(f.N18, UiTexts::RedoItem, "N20");
    f.N20->setShortcuts(
        {QKeySequence(Qt::CTRL | Qt::Key_Y), QKeySequence(Qt::CTRL | Qt::SHIFT | Qt::Key_Z)});

    f.N3 = menu(f.MainMenu1, UiTexts::DeviceMenu, "N3");
    f.N2 = menu(f.N3, UiTexts::ModeMenu, "N2");
    f.N8 = item(f.N2, UiTexts::SpeechItem, "N8");
    f.N9 = item(f.N2, UiTexts::OtherDevicesItem, "N9");
    auto* modes = new QActionGroup(&f);
    for (QAction* a : {f.N8, f.N9}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    f.N8->setChecked(true);
    f.N4 = menu(f.N3, UiTexts::ActionMenu, "N4");
    f.N10 = item(f.N4, UiTexts::ReadItem, "N10");
    f.N10->setShortcut(Qt::Key_F5);
    f.N11 = item(f.N4, UiTexts::WriteItem, "N11");
    f.N17 = item(f.N4, UiTexts::AbortItem, "N17");
    f.N17->setShortcut(Qt::Key_Escape);
    f.N17->setShortcutContext(Qt::WindowShortcut);
    f.N17->setEnabled(false); // only while a transfer runs
    f.N4->addSeparator();
    f.N21 = item(f.N4, UiTexts::CompareDeviceItem, "N21");
    f.N22 = item(f.N4, UiTexts::CompareFileItem, "N22");

    f.N12 = menu(f.MainMenu1, UiTexts::HelpMenu, "N12");
    f.N16 = item(f.N12, UiTexts::GuideItem, "N16");
    f.N16->setShortcut(Qt::Key_F1);
    f.N13 = item(f.N12, UiTexts::AboutItem, "N13");

    // Where the table stands against the device, in the menu bar's free corner
    // (the client area below keeps its size).
    f.StateLine = named(new QLabel(f.MainMenu1), "StateLine");
    f.StateLine->setMaximumWidth(TForm1::StateLineWidth);
    f.StateLine->setContentsMargins(4, 0, 4, 0);
    f.MainMenu1->setCornerWidget(f.StateLine, Qt::TopRightCorner);
}

void WindowLayout::createControls(TForm1& f)
{
    f.Client = named(new QWidget(&f), "Client");
    f.Client->setFixedSize(TForm1::ClientWidth, TForm1::ClientHeight);
    f.setCentralWidget(f.Client);
    QWidget* client = f.Client;

    // Created first so that every other control lies above it.
    f.Memo1 = place(named(new QPlainTextEdit(client), "Memo1"), 4, 87, 657, 337);
    f.Memo1->hide();

    f.GroupBox2 = place(named(new TGroupBox(UiTexts::PortGroup, client), "GroupBox2"), 0, 0, 199, 40);
    f.ComboBox1 = place(dropDownList(new DropDownList(f.GroupBox2), "ComboBox1"), 8, 14, 185,
                        ComboHeight);

    f.GroupBox1 = place(named(new TGroupBox(UiTexts::ModeGroup, client), "GroupBox1"), 0, 39, 200, 44);
    f.ComboBox3 = place(dropDownList(new QComboBox(f.GroupBox1), "ComboBox3"), 8, 15, 185,
                        ComboHeight);
    f.ComboBox3->addItems({CoreTexts::SpeechModeName, CoreTexts::OtherDevicesModeName});
    f.ComboBox3->setCurrentIndex(0);

    f.GroupBox3 =
        place(named(new TGroupBox(UiTexts::CommonGroup, client), "GroupBox3"), 202, 1, 395, 56);
    f.CheckBox1 =
        place(named(new QCheckBox(UiTexts::CheckFault, f.GroupBox3), "CheckBox1"), 7, 15, 225, 17);
    f.CheckBox2 = place(named(new QCheckBox(UiTexts::AcknowledgeStart, f.GroupBox3), "CheckBox2"),
                        7, 34, 145, 17);
    f.CheckBox2->hide(); // decoded from the image only, never shown
    f.RadioButton1 = place(
        named(new QRadioButton(UiTexts::ControlUpa, f.GroupBox3), "RadioButton1"), 231, 14, 158, 17);
    f.RadioButton2 =
        place(named(new QRadioButton(UiTexts::ControlAnnouncement, f.GroupBox3), "RadioButton2"),
              231, 34, 160, 17);
    f.RadioButton1->setChecked(true);
    f.GroupBox3->hide();

    // The buttons would follow the right edge; the window never changes size.
    f.Button3 = place(named(new QPushButton(UiTexts::ReadButton, client), "Button3"), 600, 24, 75, 22);
    f.Button4 = place(named(new QPushButton(UiTexts::WriteButton, client), "Button4"), 600, 53, 75, 25);

    f.ProgressBar1 = place(named(new QProgressBar(client), "ProgressBar1"), 202, 64, 393, 17);
    f.ProgressBar1->setRange(0, 100);
    f.ProgressBar1->setValue(0);
    f.ProgressBar1->setTextVisible(false);
    f.ProgressBar1->hide();

    const int lefts[] = {0, 168, 338, 509};
    const char* names[] = {"StringGrid1", "StringGrid2", "StringGrid3", "StringGrid4"};
    TStringGrid** grids[] = {&f.StringGrid1, &f.StringGrid2, &f.StringGrid3, &f.StringGrid4};
    for (int i = 0; i < 4; ++i) {
        auto* grid = named(new TStringGrid(AddressTable::Columns, AddressTable::Rows, client), names[i]);
        place(grid, lefts[i], 89, 161, 330);
        grid->SetDefaultColWidth(GridColWidth);
        grid->SetDefaultRowHeight(GridRowHeight);
        grid->SetCurrent(1, 0);
        *grids[i] = grid;
    }

    f.ComboBox2 = place(dropDownList(new QComboBox(client), "ComboBox2"), 389, 202, 54, ComboHeight);
    f.ComboBox2->setSizeAdjustPolicy(QComboBox::AdjustToContents);
    f.ComboBox2->hide();

    f.Timer1 = named(new QTimer(&f), "Timer1");
    f.Timer1->setInterval(100ms);
}

void WindowLayout::setTabOrder(TForm1& f)
{
    const QList<QWidget*> order = {
        f.Memo1,     f.StringGrid1, f.StringGrid2,  f.StringGrid3, f.StringGrid4,
        f.Button3,   f.ComboBox2,   f.Button4,      f.ProgressBar1, f.ComboBox3,
        f.ComboBox1, f.CheckBox2,   f.CheckBox1,    f.RadioButton1, f.RadioButton2};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void WindowLayout::ResizeGrids(TForm1& f)
{
    // The rule is applied to the outer width the layout assumes (client plus an
    // 8-pixel frame), whatever frame the window manager draws.
    const int outerWidth = f.Client->width() + TForm1::FrameWidth;
    for (TStringGrid* grid : {f.StringGrid1, f.StringGrid2, f.StringGrid3, f.StringGrid4}) {
        grid->resize(outerWidth * 19 / 80, grid->height());
        grid->SetDefaultColWidth(grid->width() * 5 / 16);
    }
}
