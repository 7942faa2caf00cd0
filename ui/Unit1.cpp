// The main window: layout, presentation of the model, and the event handlers
// that forward the operator's gestures.
#include "Unit1.h"

#include "AddressTable.h"
#include "ComUtilites.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "FileTexts.h"
#include "GroupBox.h"
#include "NetworkPortDialog.h"
#include "StartUp.h"
#include "TransferEngine.h"
#include "UiTexts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QGroupBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTimer>

#include <chrono>
#include <functional>

using namespace std::chrono_literals;

namespace {

constexpr int GridRows = AddressTable::Rows;
constexpr int GridCols = AddressTable::Columns;
constexpr int GridRowHeight = 18;
constexpr int GridColWidth = 50;
constexpr int ComboHeight = 21;
constexpr int ModeDroppedWidth = 114;

// An 8-point sans serif (11 pixels high at 96 dots per inch) whose widths let
// the mode and delay texts fit their 51-pixel columns.
QFont windowFont()
{
    QFont font;
    font.setFamilies({QStringLiteral("Nimbus Sans"), QStringLiteral("Liberation Sans"),
                      QStringLiteral("Arial"), QStringLiteral("Helvetica"),
                      QStringLiteral("DejaVu Sans Condensed"), QStringLiteral("Sans Serif")});
    font.setStyleHint(QFont::SansSerif);
    font.setPixelSize(11);
    return font;
}

template <class W> W* place(W* widget, int left, int top, int width, int height)
{
    widget->setGeometry(left, top, width, height);
    return widget;
}

// A drop-down list that tells before its list opens.
class DropDownList : public QComboBox
{
public:
    using QComboBox::QComboBox;
    std::function<void()> dropDown;
    void showPopup() override
    {
        if (dropDown)
            dropDown();
        QComboBox::showPopup();
    }
};

} // namespace

TForm1::TForm1(ConfigModel& model, TransferEngine& engine, const PortProber& prober,
               QWidget* parent)
    : QMainWindow(parent), model_(model), engine_(engine), prober_(prober),
      ticks_(std::make_unique<TickQueue>(engine))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(UiTexts::WindowCaption);
    setFont(windowFont());
    QPalette pal = palette();
    pal.setColor(QPalette::Window, pal.color(QPalette::Button));
    setPalette(pal);

    createMenu();
    createControls();
    setTabOrder();

    // The window keeps its size: dragging the border or maximising changes nothing.
    fixedSize_ = QSize(ClientWidth, ClientHeight + MainMenu1->sizeHint().height());
    setFixedSize(fixedSize_);
    move(InitialLeft, InitialTop);

    // OpenPort reports a port it cannot open in a box of its own.
    SetOpenFailureReporter([](const QString& text) { ShowPlainBox(QString(), text); });

    connectModel();
    FormCreate(prober);
    StringGrid1->setFocus();
}

TForm1::~TForm1()
{
    // Closing the window moves the focus; this window is gone by then.
    disconnect(focusWatch_);
    SetOpenFailureReporter(nullptr);
}

void TForm1::createMenu()
{
    MainMenu1 = menuBar();
    MainMenu1->setObjectName(QStringLiteral("MainMenu1"));
    auto menu = [](QMenu* m, const char* name) {
        m->setObjectName(QLatin1String(name));
        return m;
    };
    auto item = [this](QMenu* m, const QString& text, const char* name, void (TForm1::*slot)()) {
        QAction* a = m->addAction(text);
        a->setObjectName(QLatin1String(name));
        connect(a, &QAction::triggered, this, slot);
        return a;
    };

    N1 = menu(MainMenu1->addMenu(UiTexts::FileMenu), "N1");
    N5 = item(N1, UiTexts::OpenItem, "N5", &TForm1::N5Click);
    N6 = item(N1, UiTexts::SaveItem, "N6", &TForm1::N6Click);
    N7 = item(N1, UiTexts::ExitItem, "N7", &TForm1::N7Click);

    N3 = menu(MainMenu1->addMenu(UiTexts::DeviceMenu), "N3");
    N2 = menu(N3->addMenu(UiTexts::ModeMenu), "N2");
    N8 = item(N2, UiTexts::SpeechItem, "N8", &TForm1::N8Click);
    N9 = item(N2, UiTexts::OtherDevicesItem, "N9", &TForm1::N9Click);
    auto* modes = new QActionGroup(this);
    for (QAction* a : {N8, N9}) {
        a->setCheckable(true);
        modes->addAction(a);
    }
    N8->setChecked(true);
    N4 = menu(N3->addMenu(UiTexts::ActionMenu), "N4");
    N10 = item(N4, UiTexts::ReadItem, "N10", &TForm1::Button3Click);
    N11 = item(N4, UiTexts::WriteItem, "N11", &TForm1::Button4Click);

    N12 = menu(MainMenu1->addMenu(UiTexts::HelpMenu), "N12");
    N13 = item(N12, UiTexts::AboutItem, "N13", &TForm1::N13Click);
}

void TForm1::createControls()
{
    Client = new QWidget(this);
    Client->setObjectName(QStringLiteral("Client"));
    Client->setFixedSize(ClientWidth, ClientHeight);
    Client->installEventFilter(this);
    setCentralWidget(Client);

    auto named = [](auto* widget, const char* name) {
        widget->setObjectName(QLatin1String(name));
        return widget;
    };
    auto dropDownList = [&](QWidget* parent, const char* name) {
        auto* box = named(new QComboBox(parent), name);
        box->setEditable(false);
        return box;
    };

    // Created first so that every other control lies above it.
    Memo1 = place(named(new QPlainTextEdit(Client), "Memo1"), 4, 87, 657, 337);
    Memo1->hide();
    Memo1->viewport()->installEventFilter(this);

    GroupBox2 = place(named(new TGroupBox(UiTexts::PortGroup, Client), "GroupBox2"), 0, 0, 199, 40);
    auto* portList = named(new DropDownList(GroupBox2), "ComboBox1");
    portList->dropDown = [this] { ComboBox1DropDown(); };
    ComboBox1 = place(portList, 8, 14, 185, ComboHeight);

    GroupBox1 =
        place(named(new TGroupBox(UiTexts::ModeGroup, Client), "GroupBox1"), 0, 39, 200, 44);
    ComboBox3 = place(dropDownList(GroupBox1, "ComboBox3"), 8, 15, 185, ComboHeight);
    ComboBox3->addItems({CoreTexts::SpeechModeName, CoreTexts::OtherDevicesModeName});
    ComboBox3->setCurrentIndex(0);

    GroupBox3 =
        place(named(new TGroupBox(UiTexts::CommonGroup, Client), "GroupBox3"), 202, 1, 395, 56);
    CheckBox1 =
        place(named(new QCheckBox(UiTexts::CheckFault, GroupBox3), "CheckBox1"), 7, 15, 225, 17);
    CheckBox2 = place(named(new QCheckBox(UiTexts::AcknowledgeStart, GroupBox3), "CheckBox2"), 7,
                      34, 145, 17);
    CheckBox2->hide(); // decoded from the image only, never shown
    RadioButton1 = place(named(new QRadioButton(UiTexts::ControlUpa, GroupBox3), "RadioButton1"),
                         231, 14, 158, 17);
    RadioButton2 =
        place(named(new QRadioButton(UiTexts::ControlAnnouncement, GroupBox3), "RadioButton2"), 231,
              34, 160, 17);
    RadioButton1->setChecked(true);
    GroupBox3->hide();

    // The buttons would follow the right edge; the window never changes size.
    Button3 =
        place(named(new QPushButton(UiTexts::ReadButton, Client), "Button3"), 600, 24, 75, 22);
    Button4 =
        place(named(new QPushButton(UiTexts::WriteButton, Client), "Button4"), 600, 53, 75, 25);

    ProgressBar1 = place(named(new QProgressBar(Client), "ProgressBar1"), 202, 64, 393, 17);
    ProgressBar1->setRange(0, 100);
    ProgressBar1->setValue(0);
    ProgressBar1->setTextVisible(false);
    ProgressBar1->hide();

    const int lefts[] = {0, 168, 338, 509};
    const char* names[] = {"StringGrid1", "StringGrid2", "StringGrid3", "StringGrid4"};
    for (int i = 0; i < 4; ++i) {
        auto* grid = named(new TStringGrid(GridCols, GridRows, Client), names[i]);
        place(grid, lefts[i], 89, 161, 330);
        grid->SetDefaultColWidth(GridColWidth);
        grid->SetDefaultRowHeight(GridRowHeight);
        grid->SetCurrent(1, 0);
        connect(grid, &TStringGrid::DrawCell, this,
                [this, grid](QPainter* p, int col, int row, const QRect& rect) {
                    StringGrid1DrawCell(grid, p, col, row, rect);
                });
        connect(grid, &TStringGrid::Click, this, [this, grid] { StringGrid1DblClick(grid); });
        connect(grid, &TStringGrid::DblClick, this, [this, grid] { StringGrid1DblClick(grid); });
        grids_[i] = grid;
    }
    StringGrid1 = grids_[0];
    StringGrid2 = grids_[1];
    StringGrid3 = grids_[2];
    StringGrid4 = grids_[3];

    ComboBox2 = place(dropDownList(Client, "ComboBox2"), 389, 202, 54, ComboHeight);
    ComboBox2->hide();

    Timer1 = new QTimer(this);
    Timer1->setObjectName(QStringLiteral("Timer1"));
    Timer1->setInterval(100ms);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Timer1->start();

    // Change handlers run on the operator's own choice only.
    connect(ComboBox1, &QComboBox::activated, this, &TForm1::ComboBox1Change);
    connect(ComboBox2, &QComboBox::activated, this, &TForm1::ComboBox2Change);
    connect(ComboBox3, &QComboBox::activated, this, &TForm1::ComboBox3Change);
    connect(CheckBox1, &QCheckBox::clicked, this, &TForm1::CheckBox1Click);
    connect(CheckBox2, &QCheckBox::clicked, this, &TForm1::CheckBox2Click);
    connect(RadioButton1, &QRadioButton::clicked, this, &TForm1::RadioButton1Click);
    connect(RadioButton2, &QRadioButton::clicked, this, &TForm1::RadioButton2Click);
    connect(Button3, &QPushButton::clicked, this, &TForm1::Button3Click);
    connect(Button4, &QPushButton::clicked, this, &TForm1::Button4Click);
    focusWatch_ =
        connect(qApp, &QApplication::focusChanged, this, [this](QWidget* old, QWidget* now) {
            // Only a move to another control of this window closes the popup; message
            // boxes, dialogs, the menu and other applications leave it open.
            if (old == ComboBox2 && now && now != ComboBox2 && now->window() == this &&
                !qobject_cast<QMenuBar*>(now))
                ComboBox2Exit();
        });
}

void TForm1::setTabOrder()
{
    const QList<QWidget*> order = {Memo1,     StringGrid1, StringGrid2, StringGrid3,  StringGrid4,
                                   Button3,   ComboBox2,   Button4,     ProgressBar1, ComboBox3,
                                   ComboBox1, CheckBox2,   CheckBox1,   RadioButton1, RadioButton2};
    for (qsizetype i = 1; i < order.size(); ++i)
        QWidget::setTabOrder(order[i - 1], order[i]);
}

void TForm1::connectModel()
{
    connect(&model_, &ConfigModel::cellChanged, this, &TForm1::presentCell);
    connect(&model_, &ConfigModel::operatingModeChanged, this, &TForm1::presentOperatingMode);
    connect(&model_, &ConfigModel::optionsChanged, this, &TForm1::presentOptions);
    connect(&model_, &ConfigModel::portsChanged, this, &TForm1::presentPorts);
    connect(&model_, &ConfigModel::portIndexChanged, ComboBox1, &QComboBox::setCurrentIndex);
    connect(&model_, &ConfigModel::configLockedChanged, N5,
            [this](bool locked) { N5->setEnabled(!locked); });
    connect(&engine_, &TransferEngine::progressChanged, this, [this](int position, bool visible) {
        ProgressBar1->setValue(position);
        ProgressBar1->setVisible(visible);
    });
}

void TForm1::presentModel()
{
    for (int page = 1; page <= AddressTable::Pages; ++page)
        for (int row = 0; row < GridRows; ++row)
            for (int col = 0; col < GridCols; ++col)
                presentCell(page, row, col);
    presentOperatingMode();
    presentOptions();
    presentPorts();
    N5->setEnabled(!model_.ConfigLocked());
    ProgressBar1->setValue(engine_.ProgressPosition());
    ProgressBar1->setVisible(engine_.ProgressVisible());
}

void TForm1::presentCell(int page, int row, int column)
{
    grids_.at(page - 1)->SetCells(column, row, model_.cell(page, row, column));
}

void TForm1::presentOperatingMode()
{
    const bool other = model_.OperatingMode() == OtherDevicesMode;
    ComboBox3->setCurrentIndex(model_.OperatingMode());
    (other ? N9 : N8)->setChecked(true);
    GroupBox3->setVisible(other);
}

void TForm1::presentOptions()
{
    const CommonOptions& o = model_.options();
    CheckBox1->setChecked(o.checkBox1);
    CheckBox2->setChecked(o.checkBox2);
    (o.radioButton1 ? RadioButton1 : RadioButton2)->setChecked(true);
}

void TForm1::presentPorts()
{
    ComboBox1->clear();
    ComboBox1->addItems(model_.ports());
    ComboBox1->addItem(UiTexts::NetworkPortItem);
    ComboBox1->setCurrentIndex(model_.portIndex());
}

QStringList TForm1::withNetworkPorts(QStringList names) const
{
    for (const QString& port : networkPorts_) {
        if (!names.contains(port))
            names.append(port);
    }
    return names;
}

void TForm1::askNetworkPort()
{
    NetworkPortDialog dialog(networkPorts_, this);
    if (dialog.exec() != QDialog::Accepted) {
        ComboBox1->setCurrentIndex(model_.portIndex());
        return;
    }
    const QString port = dialog.port();
    RememberNetworkPort(port);
    networkPorts_.removeAll(port);
    networkPorts_.prepend(port);
    QStringList names = model_.ports();
    if (!names.contains(port))
        names.append(port);
    model_.setPorts(names);
    model_.setPortIndex(names.indexOf(port));
    engine_.ConnectPort();
}

int TForm1::PageOf(const TStringGrid* grid) const
{
    for (int i = 0; i < 4; ++i)
        if (grids_[i] == grid)
            return i + 1;
    return 0;
}

void TForm1::presentUnusablePorts(const QList<SerialDevice>& devices)
{
    QStringList lines;
    for (const SerialDevice& device : devices) {
        if (device.state != PortState::Usable)
            lines << device.name + QStringLiteral(": ") + device.reason;
    }
    if (!lines.isEmpty())
        lines.prepend(UiTexts::UnusablePorts);
    ComboBox1->setToolTip(lines.join(QLatin1Char('\n')));
}

void TForm1::FormCreate(const PortProber& prober)
{
    presentUnusablePorts(RunStartUp(model_, prober, [this] { engine_.SetPortReady(false); }));
    networkPorts_ = RememberedNetworkPorts();
    if (!networkPorts_.isEmpty())
        model_.setPorts(withNetworkPorts(model_.ports()));
    presentModel();
}

void TForm1::resizeEvent(QResizeEvent* event)
{
    QMainWindow::resizeEvent(event);
    // A window system that ignores the fixed size (no window manager, or one
    // that maximises anyway) gets the size back.
    if (size() != fixedSize_)
        QTimer::singleShot(0, this, [this] { resize(fixedSize_); });
    FormResize();
}

void TForm1::changeEvent(QEvent* event)
{
    QMainWindow::changeEvent(event);
    if (event->type() == QEvent::WindowStateChange &&
        (windowState() & (Qt::WindowMaximized | Qt::WindowFullScreen))) {
        QTimer::singleShot(0, this, [this] {
            setWindowState(windowState() & ~(Qt::WindowMaximized | Qt::WindowFullScreen));
        });
    }
}

void TForm1::FormResize()
{
    // The rule is applied to the outer width the layout assumes (client plus an
    // 8-pixel frame), whatever frame the window manager draws.
    const int outerWidth = Client->width() + FrameWidth;
    for (TStringGrid* grid : grids_) {
        grid->resize(outerWidth * 19 / 80, grid->height());
        grid->SetDefaultColWidth(grid->width() * 5 / 16);
    }
}

void TForm1::StringGrid1DrawCell(TStringGrid* Sender, QPainter* painter, int ACol, int ARow,
                                 const QRect& Rect)
{
    // The fixed column and the header row take the palette's button face and
    // text, so they stay readable under a dark palette.
    const bool fixed = ACol == 0 || ARow == 0;
    painter->fillRect(Rect, fixed ? palette().color(QPalette::Button) : QColor(Qt::white));
    painter->setPen(fixed ? palette().color(QPalette::ButtonText) : QColor(Qt::black));
    painter->setFont(font());
    const QString text =
        painter->fontMetrics().elidedText(Sender->Cells(ACol, ARow), Qt::ElideRight, Rect.width());
    painter->drawText(Rect, Qt::AlignCenter | Qt::TextSingleLine, text);
}

void TForm1::StringGrid1DblClick(TStringGrid* Sender)
{
    if (ComboBox2->isVisible())
        return;
    const int page = PageOf(Sender);
    const int col = Sender->Col();
    const int row = Sender->Row();
    if (row == 0) {
        if (col == AddressTable::ModeColumn)
            model_.ToggleModeColumn(page);
        else if (col == AddressTable::DelayColumn)
            model_.AdvanceDelayColumn(page);
        return;
    }
    if (col == AddressTable::DelayColumn &&
        model_.cell(page, row, AddressTable::ModeColumn) == CoreTexts::ModeUnused)
        return;
    if (col != AddressTable::ModeColumn && col != AddressTable::DelayColumn)
        return;

    // The cell in window client coordinates; the grid's border is not counted.
    const QRect rect = Sender->CellRect(col, row).translated(Sender->pos());
    EditGrid = Sender;
    const bool modeCell = col == AddressTable::ModeColumn;
    ComboBox2->move(rect.left() + 2, rect.top() + (modeCell ? 1 : 2));
    ComboBox2->clear();
    ComboBox2->addItems(ConfigModel::Choices(col, model_.OperatingMode()));
    ComboBox2->setCurrentIndex(ComboBox2->findText(Sender->Cells(col, row), Qt::MatchExactly));
    ComboBox2->view()->setMinimumWidth(modeCell ? ModeDroppedWidth : ComboBox2->width());
    ComboBox2->show();
    ComboBox2->raise();
    ComboBox2->setFocus();
}

void TForm1::ComboBox2Change()
{
    if (!EditGrid || ComboBox2->currentIndex() < 0)
        return;
    const QString text = ComboBox2->currentText();
    const int page = PageOf(EditGrid);
    const int col = EditGrid->Col();
    const int row = EditGrid->Row();
    model_.setCell(page, row, col, text);
    if (col == AddressTable::ModeColumn)
        model_.ModeCellChanged(page, row, text);
}

void TForm1::ComboBox2Exit()
{
    ComboBox2->hide();
}

void TForm1::ComboBox1Change()
{
    if (ComboBox1->currentIndex() == ComboBox1->count() - 1) {
        askNetworkPort();
        return;
    }
    model_.setPortIndex(ComboBox1->currentIndex());
    engine_.ConnectPort();
}

void TForm1::ComboBox1DropDown()
{
    // An adapter plugged in after start-up appears when the list is opened:
    // the list is probed again by the start-up rule. The port the program
    // holds open stays listed and is not probed; the selected name stays
    // selected; no change handler runs.
    const QString selected = model_.currentPortName();
    const QString held = PortIsOpen() ? selected : QString();
    const QList<SerialDevice> devices = prober_.Survey(held);
    QStringList names = UsablePortNames(devices);
    if (!held.isEmpty() && !names.contains(held) && !networkPorts_.contains(held))
        names.append(held);
    names = withNetworkPorts(names);
    presentUnusablePorts(devices);
    if (names == model_.ports())
        return;
    model_.setPorts(names);
    model_.setPortIndex(names.indexOf(selected));
}

void TForm1::ComboBox3Change()
{
    model_.setOperatingMode(ComboBox3->currentIndex());
    model_.ApplyOperatingMode();
}

void TForm1::N8Click()
{
    model_.setOperatingMode(SpeechMode);
    model_.ApplyOperatingMode();
}

void TForm1::N9Click()
{
    model_.setOperatingMode(OtherDevicesMode);
    model_.ApplyOperatingMode();
}

void TForm1::CheckBox1Click()
{
    model_.setCheckBox1(CheckBox1->isChecked());
}

void TForm1::CheckBox2Click()
{
    model_.setCheckBox2(CheckBox2->isChecked());
}

void TForm1::RadioButton1Click()
{
    model_.setRadioButton1(true);
}

void TForm1::RadioButton2Click()
{
    model_.setRadioButton1(false);
}

void TForm1::Button3Click()
{
    engine_.StartRead();
}

void TForm1::Button4Click()
{
    engine_.StartWrite();
}

void TForm1::Timer1Timer()
{
    ticks_->Post();
}

void TForm1::OpenFile(const QString& chosen)
{
    if (model_.ConfigLocked())
        return; // the command is disabled while the start-up file locks the configuration
    OpenConfigFile(model_, chosen, fileBoxes_, engine_.ProgressVisible());
}

void TForm1::SaveFile(const QString& chosen)
{
    SaveConfigFile(model_, chosen, fileBoxes_, engine_.ProgressVisible());
}

QString TForm1::chooseFile(bool save)
{
    QFileDialog dialog(this, QString(),
                       FileDialogFolder(QCoreApplication::applicationDirPath(), QDir::currentPath(),
                                        QDir::homePath()),
                       FileTexts::NameFilter);
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    return dialog.selectedFiles().constFirst();
}

void TForm1::N5Click()
{
    const QString chosen = chooseFile(false);
    if (!chosen.isEmpty())
        OpenFile(chosen);
}

void TForm1::N6Click()
{
    const QString chosen = chooseFile(true);
    if (!chosen.isEmpty())
        SaveFile(chosen);
}

void TForm1::N7Click()
{
    close();
    QCoreApplication::quit();
}

void TForm1::N13Click()
{
    QMessageBox box(QMessageBox::Information, UiTexts::AboutTitle, UiTexts::AboutText(),
                    QMessageBox::Ok);
    box.exec();
}

void TForm1::Memo1Click()
{
    Memo1->raise();
}

void TForm1::FormClick()
{
    Memo1->lower();
}

bool TForm1::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::MouseButtonRelease) {
        if (watched == Client)
            FormClick();
        else if (watched == Memo1->viewport())
            Memo1Click();
    }
    return QMainWindow::eventFilter(watched, event);
}
