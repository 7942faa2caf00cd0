// The main window: layout, presentation of the model, and the event handlers
// that forward the operator's gestures.
#include "Unit1.h"

#include "AddressTable.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "FileTexts.h"
#include "GroupBox.h"
#include "ImageFile.h"
#include "NetworkPortDialog.h"
#include "OpenFailureBox.h"
#include "OperatorGuide.h"
#include "PrintCommands.h"
#include "SerialLink.h"
#include "StartUp.h"
#include "TransferEngine.h"
#include "UiTexts.h"

#include <QAbstractItemView>
#include <QAction>
#include <QActionGroup>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDateTime>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QGroupBox>
#include <QMenuBar>
#include <QMessageBox>
#include <QMouseEvent>
#include <QPainter>
#include <QPlainTextEdit>
#include <QProgressBar>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>

#include <cerrno>
#include <chrono>
#include <cstring>
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
    // The row the dropped list highlights while nothing is selected (the port
    // of the last run); -1 for none. Choosing it is still the operator's.
    std::function<int()> preselect;
    void showPopup() override
    {
        if (dropDown)
            dropDown();
        QComboBox::showPopup();
        const int row = preselect && currentIndex() < 0 ? preselect() : -1;
        if (row >= 0)
            view()->setCurrentIndex(model()->index(row, 0));
    }
};

} // namespace

TForm1::TForm1(ConfigModel& model, TransferEngine& engine, const PortProber& prober,
               QWidget* parent)
    : QMainWindow(parent), model_(model), engine_(engine), prober_(prober),
      ticks_(std::make_unique<TickQueue>(engine))
{
    setObjectName(QStringLiteral("Form1"));
    setWindowTitle(UiTexts::WindowCaption + QStringLiteral("[*]"));
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

    // The link reports a port it cannot open in a box of its own.
    engine_.link().SetOpenFailureReporter(
        [this](const QString& text) { ShowOpenFailure(engine_.link(), text); });

    connectModel();
    FormCreate(prober);
    setBaseline(Origin::StartUp, model_.ConfigLocked() ? CoreTexts::LockedFileName : QString());
    // Every write is read back; the result is shown after "Записано".
    engine_.SetVerifyWrites(true);
    StringGrid1->setFocus();
}

TForm1::~TForm1()
{
    // Closing the window moves the focus; this window is gone by then.
    disconnect(focusWatch_);
    engine_.link().SetOpenFailureReporter(nullptr);
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
    // The configuration sheet's items before "Выход", with the file the title names.
    PrintCommands::Attach(*this, *N1, N7, model_, engine_, [this] {
        return origin_ == Origin::Device && shownName_ == engine_.LinkPort() ? QString() : shownName_;
    });

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
    N16 = item(N12, UiTexts::GuideItem, "N16", &TForm1::N16Click);
    N16->setShortcut(Qt::Key_F1);
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
    portList->preselect = [this] { return model_.ports().indexOf(rememberedPort_); };
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
    connect(&model_, &ConfigModel::cellChanged, this, &TForm1::presentModified);
    connect(&model_, &ConfigModel::operatingModeChanged, this, &TForm1::presentModified);
    connect(&model_, &ConfigModel::optionsChanged, this, &TForm1::presentModified);
    connect(&engine_, &TransferEngine::tableRead, this,
            [this] { setBaseline(Origin::Device, engine_.LinkPort()); });
    connect(&engine_, &TransferEngine::writeChecked, this, &TForm1::onWriteChecked);
    connect(&engine_, &TransferEngine::deviceRead, this, &TForm1::onDeviceRead);
}

ParamImage TForm1::encodedTable() const
{
    ParamImage image = model_.image();
    model_.TableToImage(image);
    return image;
}

static bool SameStoredBytes(const ParamImage& a, const ParamImage& b)
{
    return std::memcmp(a.bytes().data(), b.bytes().data(), ParamImage::StoredSize) == 0;
}

bool TForm1::TableModified() const
{
    return modified_;
}

bool TForm1::CellChanged(int page, int row, int column) const
{
    return row > 0 && column > 0 &&
           model_.cell(page, row, column) != baselineTable_.cell(page, row, column);
}

void TForm1::setBaseline(Origin origin, const QString& name)
{
    origin_ = origin;
    shownName_ = name;
    titleNote_.clear();
    baselineTable_ = model_.table();
    baselineImage_ = encodedTable();
    presentModified();
    for (TStringGrid* grid : grids_)
        grid->update();
}

void TForm1::presentModified()
{
    modified_ =
        !SameStoredBytes(encodedTable(), baselineImage_) || model_.table() != baselineTable_;
    presentTitle();
}

void TForm1::presentTitle()
{
    QString title = UiTexts::WindowCaption;
    if (!titleNote_.isEmpty())
        title = titleNote_ + QStringLiteral(" — ") + title;
    if (!shownName_.isEmpty())
        title = shownName_ + QStringLiteral("[*] — ") + title;
    else
        title += QStringLiteral("[*]");
    setWindowTitle(title);
    setWindowModified(modified_);
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
    CheckBox1->setChecked(o.checkFaultInput);
    CheckBox2->setChecked(o.startAcknowledge);
    (o.controlUpa ? RadioButton1 : RadioButton2)->setChecked(true);
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

int TForm1::askNetworkPort()
{
    NetworkPortDialog dialog(networkPorts_, this);
    if (dialog.exec() != QDialog::Accepted)
        return -1;
    const QString port = dialog.port();
    RememberNetworkPort(port);
    networkPorts_.removeAll(port);
    networkPorts_.prepend(port);
    QStringList names = model_.ports();
    if (!names.contains(port))
        names.append(port);
    model_.setPorts(names);
    model_.setPortIndex(names.indexOf(port));
    return names.indexOf(port);
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
    presentUnusablePorts(
        RunStartUp(model_, prober, LoadImageFile, [this] { engine_.SetPortReady(false); }));
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
    // A value that differs from the configuration last read, opened, saved or
    // written: bold on a pale yellow, black on light in either palette.
    const bool changed = !fixed && CellChanged(PageOf(Sender), ARow, ACol);
    painter->fillRect(Rect, fixed     ? palette().color(QPalette::Button)
                            : changed ? QColor(0xFF, 0xF4, 0xC2)
                                      : QColor(Qt::white));
    painter->setPen(fixed ? palette().color(QPalette::ButtonText) : QColor(Qt::black));
    QFont cellFont = font();
    cellFont.setBold(changed);
    painter->setFont(cellFont);
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
    int index = ComboBox1->currentIndex();
    if (index == ComboBox1->count() - 1) {
        index = askNetworkPort();
        if (index < 0) {
            ComboBox1->setCurrentIndex(model_.portIndex());
            return;
        }
    }
    writeAfterDeviceRead_ = false;
    // A table the device does not hold is replaced only when the operator says so.
    ConnectRead how = ConnectRead::IntoTable;
    if (!model_.ConfigLocked() && (origin_ == Origin::File || modified_)) {
        QMessageBox box(QMessageBox::Question, ApplicationTitle(), UiTexts::ReplaceTableQuestion,
                        QMessageBox::Yes | QMessageBox::No, this);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes)
            how = ConnectRead::DeviceOnly;
    }
    const bool cut = engine_.WriteUnderway();
    const QString cutPort = engine_.LinkPort();
    const int cutBlocks = engine_.WriteConfirmedBlocks();
    model_.setPortIndex(index);
    rememberedPort_ = model_.currentPortName();
    RememberPort(rememberedPort_);
    engine_.ConnectPort(ComboBox1->currentText(), how);
    // The write starts over on the new connection; the port it left keeps what
    // it had confirmed.
    if (cut && (!engine_.link().IsOpen() || engine_.LinkPort() != cutPort))
        reportCutWrite(cutPort, cutBlocks);
    cutReported_ = false; // the write starts over on this connection
}

void TForm1::reportCutWrite(const QString& port, int confirmedBlocks)
{
    if (cutReported_)
        return;
    cutReported_ = true;
    ShowPlainBox(ApplicationTitle(), UiTexts::WriteCut(port, confirmedBlocks) + backupNote());
}

QString TForm1::backupNote() const
{
    return lastBackup_.isEmpty() ? QString()
                                 : QStringLiteral("\n") + UiTexts::BackupNote(lastBackup_);
}

void TForm1::ComboBox1DropDown()
{
    // An adapter plugged in after start-up appears when the list is opened:
    // the list is probed again by the start-up rule. The port the program
    // holds open stays listed and is not probed; the selected name stays
    // selected; no change handler runs.
    const QString selected = model_.currentPortName();
    const QString held = engine_.link().IsOpen() ? selected : QString();
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
    model_.setCheckFaultInput(CheckBox1->isChecked());
}

void TForm1::CheckBox2Click()
{
    model_.setStartAcknowledge(CheckBox2->isChecked());
}

void TForm1::RadioButton1Click()
{
    model_.setControlUpa(true);
}

void TForm1::RadioButton2Click()
{
    model_.setControlUpa(false);
}

void TForm1::Button3Click()
{
    writeAfterDeviceRead_ = false;
    engine_.StartRead();
}

void TForm1::Button4Click()
{
    writeAfterDeviceRead_ = false;
    if (engine_.WriteRequested()) {
        startWrite(); // starts over; the backup taken at its first start stands
        return;
    }
    // With a device on the line, what it holds is kept first; when that is not
    // known (the table came from elsewhere), the device is read for it.
    if (engine_.PortReady() && engine_.link().IsOpen()) {
        if (!engine_.DeviceImageKnown()) {
            writeAfterDeviceRead_ = true;
            engine_.StartDeviceRead();
            return;
        }
        if (!keepBackup())
            return;
    } else {
        lastBackup_.clear();
    }
    startWrite();
}

void TForm1::startWrite()
{
    cutReported_ = false;
    engine_.StartWrite();
    writeTable_ = model_.table();
    writeImage_ = model_.image();
    titleNote_.clear();
    presentTitle();
}

void TForm1::onDeviceRead(bool completed)
{
    if (!writeAfterDeviceRead_)
        return;
    writeAfterDeviceRead_ = false;
    if (!completed) {
        ShowPlainBox(ApplicationTitle(), UiTexts::BackupReadFailed);
        return;
    }
    if (keepBackup())
        startWrite();
}

void TForm1::onWriteChecked(const WriteCheck& check)
{
    if (check.matches()) {
        // The device holds the written configuration: it is the table's origin now.
        origin_ = Origin::Device;
        shownName_ = engine_.LinkPort();
        baselineTable_ = writeTable_;
        baselineImage_ = writeImage_;
        titleNote_ = UiTexts::WriteVerifiedNote;
        presentModified();
        for (TStringGrid* grid : grids_)
            grid->update();
        return;
    }
    if (!check.confirmed) {
        ShowPlainBox(ApplicationTitle(), UiTexts::WriteUnconfirmed + backupNote());
        return;
    }
    QMessageBox box(QMessageBox::Warning, ApplicationTitle(),
                    UiTexts::WriteDiffers(check.differingAddresses, check.differingOtherBytes) +
                        backupNote() + QStringLiteral("\n\n") + UiTexts::WriteAgainQuestion,
                    QMessageBox::Yes | QMessageBox::No);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes)
        Button4Click();
}

QString TForm1::BackupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/backups");
}

bool TForm1::keepBackup()
{
    // DATE-TIME-PORT.lmk, with nothing a file name may not hold on any system.
    QString port = QFileInfo(engine_.LinkPort()).fileName();
    for (QChar& c : port) {
        if (!c.isLetterOrNumber() && c != QLatin1Char('-') && c != QLatin1Char('_') &&
            c != QLatin1Char('.'))
            c = QLatin1Char('_');
    }
    const QDir folder(BackupFolder());
    const QString stem =
        QDateTime::currentDateTime().toString(QStringLiteral("yyyy-MM-dd-HHmmss")) +
        QLatin1Char('-') + port;
    QString path = folder.filePath(stem + QStringLiteral(".lmk"));
    int error = 0;
    if (!QDir().mkpath(folder.path())) {
        error = errno ? errno : EACCES;
    } else {
        const QByteArray text = ImageFileText(engine_.DeviceImage());
        for (int n = 2; (error = CreateNewFile(QFile::encodeName(path), text)) == EEXIST; ++n)
            path = folder.filePath(stem + QStringLiteral("-%1.lmk").arg(n));
    }
    if (error != 0) {
        ShowPlainBox(ApplicationTitle(),
                     UiTexts::BackupFailed(QDir::toNativeSeparators(path),
                                           QString::fromLocal8Bit(std::strerror(error))));
        return false;
    }
    lastBackup_ = QDir::toNativeSeparators(path);
    // The last BackupsKept stay; the names sort by time.
    QStringList kept = folder.entryList(
        {QStringLiteral(
            "[0-9][0-9][0-9][0-9]-[0-9][0-9]-[0-9][0-9]-[0-9][0-9][0-9][0-9][0-9][0-9]-*.lmk")},
        QDir::Files, QDir::Name);
    while (kept.size() > BackupsKept)
        QFile::remove(folder.filePath(kept.takeFirst()));
    return true;
}

void TForm1::Timer1Timer()
{
    // A device that hangs up in the middle of a write is left half written.
    if (!cutReported_ && engine_.WriteUnderway() && engine_.link().HungUp())
        reportCutWrite(engine_.LinkPort(), engine_.WriteConfirmedBlocks());
    ticks_->Post();
}

void TForm1::OpenFile(const QString& chosen)
{
    if (model_.ConfigLocked())
        return; // the command is disabled while the start-up file locks the configuration
    if (OpenConfigFile(model_, chosen, fileBoxes_, engine_.ProgressVisible()) == FileOutcome::Done)
        setBaseline(Origin::File, QFileInfo(LmkFileName(chosen)).fileName());
}

void TForm1::OpenNamedFile(const QString& name)
{
    if (model_.ConfigLocked())
        return;
    // Exactly the file named: no ".lmk" rule (FAT media give "CONFIG.LMK").
    if (OpenNamedConfigFile(model_, name, fileBoxes_, engine_.ProgressVisible()) ==
        FileOutcome::Done)
        setBaseline(Origin::File, QFileInfo(name).fileName());
}

bool TForm1::SaveFile(const QString& chosen)
{
    if (SaveConfigFile(model_, chosen, fileBoxes_, engine_.ProgressVisible()) != FileOutcome::Done)
        return false;
    setBaseline(origin_, QFileInfo(LmkFileName(chosen)).fileName());
    return true;
}

QString TForm1::chooseFile(bool save)
{
    QFileDialog dialog(this, QString(), RememberedFileFolder(), FileTexts::NameFilter);
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    dialog.setOption(QFileDialog::DontUseNativeDialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
        return QString();
    RememberFileFolder(dialog.selectedFiles().constFirst());
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
    if (close())
        QCoreApplication::quit();
}

void TForm1::closeEvent(QCloseEvent* event)
{
    if (modified_) {
        QMessageBox box(QMessageBox::Question, ApplicationTitle(), UiTexts::SaveChangesQuestion,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
        box.setDefaultButton(QMessageBox::Save);
        const int answer = box.exec();
        if (answer == QMessageBox::Cancel ||
            (answer == QMessageBox::Save && !SaveFile(chooseFile(true)))) {
            event->ignore();
            return;
        }
    }
    if (engine_.WriteUnderway())
        reportCutWrite(engine_.LinkPort(), engine_.WriteConfirmedBlocks());
    QMainWindow::closeEvent(event);
}

void TForm1::N16Click()
{
    ShowOperatorGuide(this);
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
