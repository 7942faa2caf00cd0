// The main window's entry points: construction and wiring, and the handlers
// that forward the operator's gestures to the model, the session, the port
// selector and the document; the session's reports of a guarded write shown.
#include "Unit1.h"

#include "AddressTable.h"
#include "BackupsDialog.h"
#include "ComparisonMarks.h"
#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "CoreTexts.h"
#include "FileTexts.h"
#include "DeviceSession.h"
#include "EditHistory.h"
#include "FileDialogs.h"
#include "ImageFile.h"
#include "ModelPresenter.h"
#include "OpenFailureBox.h"
#include "OperatorGuide.h"
#include "PrintCommands.h"
#include "SerialLink.h"
#include "StartUp.h"
#include "TransferEngine.h"
#include "UiTexts.h"
#include "WindowLayout.h"

#include <QAbstractItemView>
#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCloseEvent>
#include <QComboBox>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QKeyEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QMenuBar>
#include <QMessageBox>
#include <QPainter>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QStandardPaths>
#include <QTimer>

#include <algorithm>

namespace {
constexpr int ModeDroppedWidth = 114;
constexpr int PopupWidth = 54; // never narrower; wider when a choice needs it
} // namespace

TForm1::TForm1(ConfigModel& model, SessionParts parts, const PortProber& prober,
               QWidget* parent)
    : QMainWindow(parent), model_(model),
      session_(std::make_unique<DeviceSession>(model, messages_, std::move(parts))),
      engine_(session_->engine()), ticks_(std::make_unique<TickQueue>([this] {
          session_->Tick();
          afterTick();
          presentBusy();
      }))
{
    // What the window says the device holds, two reads have agreed on.
    session_->SetConfirmReads(true);
    setWindowTitle(UiTexts::WindowCaption + QStringLiteral("[*]"));
    WindowLayout::Build(*this);
    grids_ = {StringGrid1, StringGrid2, StringGrid3, StringGrid4};

    // The window keeps its size: dragging the border or maximising changes nothing.
    fixedSize_ = QSize(ClientWidth, ClientHeight + MainMenu1->sizeHint().height());
    setFixedSize(fixedSize_);
    move(InitialLeft, InitialTop);

    // The link reports a port it cannot open in a box of its own.
    session_->link().SetOpenFailureReporter(
        [this](const QString& text) { ShowOpenFailure(session_->link(), text); });

    presenter_ = new ModelPresenter(*this, model_, engine_);
    marks_ = new ComparisonMarks(model_, this);
    document_ = new DocumentState(model_, fileBoxes_, this);
    history_ = new EditHistory(model_, *document_, [this] { return session_->Busy(); }, this);
    ports_ = new PortSelector(ComboBox1, prober, this);
    connectHandlers();
    FormCreate(prober);
    document_->SetBaseline(DocumentState::Origin::StartUp,
                           model_.ConfigLocked() ? CoreTexts::LockedFileName : QString());
    N1Click();
    Timer1->start();
    StringGrid1->setFocus();
}

TForm1::~TForm1()
{
    // Closing the window moves the focus; this window is gone by then.
    disconnect(focusWatch_);
    qApp->removeEventFilter(this);
    session_->link().SetOpenFailureReporter(nullptr);
}

void TForm1::connectHandlers()
{
    const std::pair<QAction*, void (TForm1::*)()> items[] = {
        {N5, &TForm1::N5Click},       {N6, &TForm1::N6Click},       {N7, &TForm1::N7Click},
        {N8, &TForm1::N8Click},       {N9, &TForm1::N9Click},       {N10, &TForm1::Button3Click},
        {N11, &TForm1::Button4Click}, {N17, &TForm1::N17Click},     {N21, &TForm1::N21Click},
        {N22, &TForm1::N22Click},     {N16, &TForm1::N16Click},     {N13, &TForm1::N13Click},
        {N24, &TForm1::N24Click},     {N19, &TForm1::N19Click},     {N20, &TForm1::N20Click}};
    for (const auto& [action, handler] : items)
        connect(action, &QAction::triggered, this, handler);
    // The configuration sheet's items before "Выход", with the file the title names.
    PrintCommands::Attach(*this, *N1, N7, model_, *session_, [this] {
        return document_->origin() == DocumentState::Origin::Device &&
                       document_->ShownName() == engine_.LinkPort()
                   ? QString()
                   : document_->ShownName();
    });

    for (TStringGrid* grid : grids_) {
        connect(grid, &TStringGrid::DrawCell, this,
                [this, grid](QPainter* p, int col, int row, const QRect& rect) {
                    StringGrid1DrawCell(grid, p, col, row, rect);
                });
        connect(grid, &TStringGrid::Click, this, [this, grid] {
            ++gridClicks_;
            StringGrid1DblClick(grid);
        });
        connect(grid, &TStringGrid::DblClick, this, [this, grid] { StringGrid1DblClick(grid); });
    }
    connect(N1, &QMenu::aboutToShow, this, &TForm1::N1Click);
    connect(Timer1, &QTimer::timeout, this, &TForm1::Timer1Timer);
    Client->installEventFilter(this);
    Memo1->viewport()->installEventFilter(this);
    // The popup: Esc closes it, and so does a press anywhere else in the window.
    ComboBox2->installEventFilter(this);
    ComboBox2->view()->installEventFilter(this);
    qApp->installEventFilter(this);

    // Change handlers run on the operator's own choice only.
    ComboBox1->dropDown = [this] { ComboBox1DropDown(); };
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

    // A table changed under the popup (not by its own pick) closes it.
    const auto tableMoved = [this] {
        if (!popupPicking_ && ComboBox2->isVisible())
            ComboBox2Exit();
    };
    connect(&model_, &ConfigModel::cellChanged, this, tableMoved);
    connect(&model_, &ConfigModel::operatingModeChanged, this, tableMoved);
    connect(marks_, &ComparisonMarks::changed, this, [this] {
        for (TStringGrid* grid : grids_)
            grid->update();
    });
    connect(&engine_, &TransferEngine::deviceRead, this, [this](bool completed) {
        if (compareWaiting_)
            compareReadCompleted_ = completed;
    });

    connect(document_, &DocumentState::changed, this, &TForm1::presentDocument);
    // A read's decode, or a third read that settled on other bytes, replaces the
    // table: one step of the history, and the marks and popup over the old table go.
    const auto readReplacedTable = [this] {
        document_->SetBaseline(DocumentState::Origin::Device, engine_.LinkPort());
        history_->RecordReplacement(UiTexts::ReadStep);
        tableReplaced();
    };
    connect(&engine_, &TransferEngine::tableRead, this, readReplacedTable);
    connect(session_.get(), &DeviceSession::tableReplaced, this, readReplacedTable);
    connect(&engine_, &TransferEngine::progressChanged, history_,
            [this](int, bool visible) { history_->TransferShown(visible); });
    connect(history_, &EditHistory::changed, this, &TForm1::presentHistory);
    presentHistory();
    // The table a write starts with is what a verified write puts on the device.
    connect(session_.get(), &DeviceSession::backupWritten, this,
            [this] { writeTable_ = model_.table(); });
    connect(session_.get(), &DeviceSession::writeEnded, this, &TForm1::onWriteEnded);
    connect(session_.get(), &DeviceSession::writeCut, this, &TForm1::onWriteCut);
    connect(session_.get(), &DeviceSession::recordChanged, document_, &DocumentState::SetDevice);
    connect(&engine_, &TransferEngine::progressChanged, this, &TForm1::presentBusy);
    // Two reads of the same device differed: asked once the tick is over.
    connect(session_.get(), &DeviceSession::readsDisagree, this, &TForm1::askReadOnceMore,
            Qt::QueuedConnection);
}

void TForm1::presentBusy()
{
    N17->setEnabled(session_->Busy());
}

void TForm1::askReadOnceMore()
{
    if (!session_->CanReadOnceMore())
        return;
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), UiTexts::ReadAgainQuestion,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::Yes);
    if (box.exec() == QMessageBox::Yes)
        session_->ReadOnceMore();
    presentBusy();
}

void TForm1::N17Click()
{
    session_->Abort();
    presentBusy();
}

void TForm1::presentHistory()
{
    const auto text = [](const QString& item, QString step) {
        // A file name's "&" is shown, not taken for a mnemonic.
        step.replace(QLatin1Char('&'), QStringLiteral("&&"));
        return QLatin1Char('&') + item + (step.isEmpty() ? QString() : QLatin1Char(' ') + step);
    };
    N19->setText(text(UiTexts::UndoItem, history_->UndoName()));
    N20->setText(text(UiTexts::RedoItem, history_->RedoName()));
    N19->setEnabled(history_->CanUndo());
    N20->setEnabled(history_->CanRedo());
}

void TForm1::N19Click()
{
    ComboBox2Exit();
    history_->Undo();
}

void TForm1::N20Click()
{
    ComboBox2Exit();
    history_->Redo();
}

void TForm1::presentDocument()
{
    const TableState state = document_->State();
    setWindowTitle(document_->Title(state));
    setWindowModified(document_->Modified());
    // The state line: the short form (cut to its room), the long one as its
    // tooltip; what asks for the operator's attention on a tinted ground that
    // keeps the palette's own text colour readable, light or dark.
    QFont font = StateLine->font();
    font.setBold(state.warning);
    const QFontMetrics metrics(font);
    const QString text = metrics.elidedText(state.lineText, Qt::ElideRight, StateLineWidth - 8);
    StateLine->setText(text);
    StateLine->setToolTip(state.longText);
    StateLine->setStyleSheet(
        state.warning
            ? QStringLiteral("QLabel { background: rgba(230, 120, 0, 90); font-weight: bold; }")
            : QString());
    const int width = metrics.horizontalAdvance(text) + 8;
    if (width != StateLine->width()) {
        // The menu bar places its corner widget at the size it has when set.
        StateLine->setFixedWidth(width);
        MainMenu1->setCornerWidget(StateLine, Qt::TopRightCorner);
    }
    for (TStringGrid* grid : grids_)
        grid->update();
}

int TForm1::PageOf(const TStringGrid* grid) const
{
    for (int i = 0; i < 4; ++i)
        if (grids_[i] == grid)
            return i + 1;
    return 0;
}

void TForm1::FormCreate(const PortProber& prober)
{
    ports_->Fill(
        RunStartUp(model_, prober, LoadImageFile, [this] { engine_.SetPortReady(false); }));
    presenter_->PresentAll();
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
    WindowLayout::ResizeGrids(*this);
}

void TForm1::StringGrid1DrawCell(TStringGrid* Sender, QPainter* painter, int ACol, int ARow,
                                 const QRect& Rect)
{
    const bool fixed = ACol == 0 || ARow == 0;
    ModelPresenter::PaintCell(painter, *this, Sender->Cells(ACol, ARow), Rect, fixed,
                              !fixed && CellChanged(PageOf(Sender), ARow, ACol),
                              !fixed && marks_->Marked(PageOf(Sender), ARow));
}

void TForm1::StringGrid1DblClick(TStringGrid* Sender)
{
    if (ComboBox2->isVisible())
        return;
    const int page = PageOf(Sender);
    const int col = Sender->Col();
    const int row = Sender->Row();
    if (row == 0) {
        const int first = AddressTable::addressOf(page, 1);
        const int last = AddressTable::addressOf(page, AddressTable::RowsPerPage);
        const quint64 key = EditHistory::MergeKey(gridClicks_ * 2, page, row, col);
        if (col == AddressTable::ModeColumn)
            history_->Record(EditHistory::Kind::Edit, UiTexts::ModeColumnStep(first, last),
                             [&] { model_.ToggleModeColumn(page); }, key);
        else if (col == AddressTable::DelayColumn)
            history_->Record(EditHistory::Kind::Edit, UiTexts::DelayColumnStep(first, last),
                             [&] { model_.AdvanceDelayColumn(page); }, key);
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
    ++popupOpenings_;
    const bool modeCell = col == AddressTable::ModeColumn;
    ComboBox2->move(rect.left() + 2, rect.top() + (modeCell ? 1 : 2));
    ComboBox2->clear();
    ComboBox2->addItems(ConfigModel::Choices(col, model_.OperatingMode()));
    ComboBox2->setCurrentIndex(ComboBox2->findText(Sender->Cells(col, row), Qt::MatchExactly));
    // Wide enough for its longest choice in the window's font, and so its list.
    ComboBox2->resize(std::max(PopupWidth, ComboBox2->sizeHint().width()), ComboBox2->height());
    // Widened, it stays inside the window's client area (it would be cut there).
    if (ComboBox2->geometry().right() >= Client->width())
        ComboBox2->move(Client->width() - ComboBox2->width(), ComboBox2->y());
    ComboBox2->view()->setMinimumWidth(
        modeCell ? std::max(ModeDroppedWidth, ComboBox2->width()) : ComboBox2->width());
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
    popupPicking_ = true;
    history_->Record(
        EditHistory::Kind::Edit, UiTexts::CellStep(AddressTable::addressOf(page, row)),
        [&] {
            model_.setCell(page, row, col, text);
            if (col == AddressTable::ModeColumn)
                model_.ModeCellChanged(page, row, text);
        },
        EditHistory::MergeKey(popupOpenings_ * 2 + 1, page, row, col));
    popupPicking_ = false;
}

void TForm1::ComboBox2Exit()
{
    // Hiding the focused popup would pass the focus on to the next control
    // (a button); the grid it edits takes it instead.
    const bool focused = ComboBox2->hasFocus() || ComboBox2->view()->isVisible();
    ComboBox2->hidePopup();
    if (focused && EditGrid)
        EditGrid->setFocus();
    ComboBox2->hide();
}

void TForm1::tableReplaced()
{
    marks_->Clear();
    if (ComboBox2->isVisible())
        ComboBox2Exit();
}

void TForm1::ComboBox1Change()
{
    int index = ComboBox1->currentIndex();
    if (ports_->IsNetworkEntry(index)) {
        index = ports_->AskNetworkPort();
        if (index < 0)
            return;
    }
    // A table the device does not hold is replaced only when the operator says so.
    const ConnectRead how = confirmReplace() ? ConnectRead::IntoTable : ConnectRead::DeviceOnly;
    ports_->Select(index);
    ports_->RememberSelection();
    // A write underway elsewhere is reported cut by the session (writeCut).
    if (session_->Connect(ports_->CurrentName(), how) == LinkOutcome::NoDevice)
        ports_->Select(-1);
}

QString TForm1::LastBackup() const
{
    return QDir::toNativeSeparators(QFile::decodeName(session_->lastWrite().backup));
}

QString TForm1::backupNote(const QByteArray& backup)
{
    return backup.isEmpty() ? QString()
                            : QStringLiteral("\n") +
                                  UiTexts::BackupNote(
                                      QDir::toNativeSeparators(QFile::decodeName(backup)));
}

void TForm1::onWriteCut(const CutWrite& cut)
{
    // A write whose device hung up or whose port is gone makes no more
    // progress: it ends here, and the progress bar with it.
    if (engine_.WriteRequested() && (session_->link().HungUp() || !session_->link().IsOpen()))
        session_->Abort();
    leftPartly_ = cut;
    ShowPlainBox(ApplicationTitle(),
                 UiTexts::WriteCut(cut.port, cut.confirmedBlocks) + backupNote(cut.backup));
}

bool TForm1::confirmReplace()
{
    if (!document_->AsksBeforeReplacing())
        return true;
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), UiTexts::ReplaceTableQuestion,
                    QMessageBox::Yes | QMessageBox::No, this);
    box.setDefaultButton(QMessageBox::No);
    return box.exec() == QMessageBox::Yes;
}

void TForm1::ComboBox1DropDown()
{
    // An adapter plugged in after start-up appears when the list is opened:
    // the list is probed again by the start-up rule. The port the program
    // holds open stays listed and is not probed; the selected name stays
    // selected; no change handler runs.
    ports_->Resurvey(session_->link().IsOpen() ? ports_->CurrentName() : QString());
}

void TForm1::ComboBox3Change()
{
    const int mode = ComboBox3->currentIndex();
    history_->Record(EditHistory::Kind::Edit, UiTexts::OperatingModeStep, [&] {
        model_.setOperatingMode(mode);
        model_.ApplyOperatingMode();
    });
}

void TForm1::N8Click()
{
    history_->Record(EditHistory::Kind::Edit, UiTexts::OperatingModeStep, [&] {
        model_.setOperatingMode(SpeechMode);
        model_.ApplyOperatingMode();
    });
}

void TForm1::N9Click()
{
    history_->Record(EditHistory::Kind::Edit, UiTexts::OperatingModeStep, [&] {
        model_.setOperatingMode(OtherDevicesMode);
        model_.ApplyOperatingMode();
    });
}

void TForm1::CheckBox1Click()
{
    const bool checked = CheckBox1->isChecked();
    history_->Record(EditHistory::Kind::Edit, UiTexts::OptionsStep,
                     [&] { model_.setCheckFaultInput(checked); });
}

void TForm1::CheckBox2Click()
{
    const bool checked = CheckBox2->isChecked();
    history_->Record(EditHistory::Kind::Edit, UiTexts::OptionsStep,
                     [&] { model_.setStartAcknowledge(checked); });
}

void TForm1::RadioButton1Click()
{
    history_->Record(EditHistory::Kind::Edit, UiTexts::OptionsStep,
                     [&] { model_.setControlUpa(true); });
}

void TForm1::RadioButton2Click()
{
    history_->Record(EditHistory::Kind::Edit, UiTexts::OptionsStep,
                     [&] { model_.setControlUpa(false); });
}

void TForm1::Button3Click()
{
    if (confirmReplace())
        session_->StartRead();
}

void TForm1::Button4Click()
{
    // With a device on the line, what it holds is kept in a backup first (read
    // for it when not known); a backup that fails stops the write (writeEnded).
    // Every write is read back; the result is shown after "Записано".
    WriteRequest request;
    request.backup =
        BackupPlace::InFolder(QFile::encodeName(BackupFolder()), engine_.LinkPort(), BackupsKept);
    request.verify = true;
    session_->StartWrite(request);
    if (engine_.WriteRequested())
        writeTable_ = model_.table(); // started (or started over) at once
}

void TForm1::onWriteEnded(const WriteReport& report)
{
    using Outcome = WriteReport::Outcome;
    // "Записано": the write reached every block of that device.
    if (leftPartly_ && leftPartly_->port == report.port && report.outcome != Outcome::Refused &&
        report.outcome != Outcome::NotConnected)
        leftPartly_.reset();
    switch (report.outcome) {
    case Outcome::Verified:
        // The device holds the written configuration: it is the table's origin now.
        document_->AdoptWritten(report.port, writeTable_, report.written);
        return;
    case Outcome::Refused:
        ShowPlainBox(ApplicationTitle(),
                     report.backupReadFailed
                         ? UiTexts::BackupReadFailed
                         : UiTexts::BackupFailed(
                               QDir::toNativeSeparators(QFile::decodeName(report.backupTried)),
                               report.refusal));
        return;
    case Outcome::Unconfirmed:
    case Outcome::ReadsDisagree:
        ShowPlainBox(ApplicationTitle(), UiTexts::WriteUnconfirmed + backupNote(report.backup));
        return;
    case Outcome::Differs: {
        QMessageBox box(QMessageBox::Warning, ApplicationTitle(),
                        UiTexts::WriteDiffers(report.difference.addresses,
                                              report.difference.otherBytes) +
                            backupNote(report.backup) + QStringLiteral("\n\n") +
                            UiTexts::WriteAgainQuestion,
                        QMessageBox::Yes | QMessageBox::No);
        box.setDefaultButton(QMessageBox::Yes);
        if (box.exec() == QMessageBox::Yes)
            Button4Click();
        return;
    }
    case Outcome::Running:
    case Outcome::NotConnected: // the engine has said "Не подключен ЛУМ-К"
    case Outcome::Cut:          // comes as writeCut
    case Outcome::Written:
        return;
    }
}

QString TForm1::BackupFolder()
{
    return QStandardPaths::writableLocation(QStandardPaths::AppDataLocation) +
           QStringLiteral("/backups");
}

void TForm1::Timer1Timer()
{
    ticks_->Post();
}

void TForm1::OpenFile(const QString& chosen)
{
    if (model_.ConfigLocked() || !keepOrDiscardChanges())
        return;
    bool opened = false;
    history_->Record(EditHistory::Kind::Replacement,
                     UiTexts::OpenStep(QFileInfo(LmkFileName(chosen)).fileName()),
                     [&] { opened = document_->Open(chosen, engine_.ProgressVisible()); });
    if (opened) {
        tableReplaced();
        fileTaken();
    }
}

void TForm1::OpenNamedFile(const QString& name)
{
    if (model_.ConfigLocked() || !keepOrDiscardChanges())
        return;
    bool opened = false;
    history_->Record(EditHistory::Kind::Replacement, UiTexts::OpenStep(QFileInfo(name).fileName()),
                     [&] { opened = document_->OpenNamed(name, engine_.ProgressVisible()); });
    if (opened) {
        tableReplaced();
        fileTaken();
    }
}

bool TForm1::keepOrDiscardChanges()
{
    if (!document_->Modified())
        return true;
    QMessageBox box(QMessageBox::Question, ApplicationTitle(), UiTexts::SaveChangesQuestion,
                    QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
    box.setDefaultButton(QMessageBox::Save);
    switch (box.exec()) {
    case QMessageBox::Discard:
        return true;
    case QMessageBox::Save:
    {
        // Back into the file the table came from when Save writes that very
        // name; otherwise where the operator says.
        const QString own = document_->FilePath();
        const bool fromFile = document_->origin() == DocumentState::Origin::File &&
                              !own.isEmpty() && LmkFileName(own) == own;
        return SaveFile(fromFile ? own : chooseFile(true));
    }
    default:
        return false;
    }
}

void TForm1::N21Click()
{
    // The device is read into the record only; the table and image stay.
    if (session_->Busy()) {
        ShowPlainBox(ApplicationTitle(), UiTexts::CompareBusy);
        return;
    }
    if (!engine_.PortReady() || !session_->link().IsOpen()) {
        ShowPlainBox(ApplicationTitle(), UiTexts::CompareNoPort);
        return;
    }
    compareWaiting_ = true;
    compareReadCompleted_ = false;
    session_->StartDeviceRead();
}

void TForm1::afterTick()
{
    if (!compareWaiting_ || session_->Busy())
        return;
    compareWaiting_ = false;
    const DeviceRecord& record = session_->record();
    if (compareReadCompleted_ && record.known())
        showComparison(UiTexts::CompareDeviceSide(record.port), record.image);
    else
        ShowPlainBox(ApplicationTitle(), UiTexts::CompareReadFailed);
}

void TForm1::N22Click()
{
    const QString chosen = chooseFile(false);
    if (!chosen.isEmpty())
        CompareWithFile(chosen);
}

void TForm1::CompareWithFile(const QString& chosen)
{
    // Read as Open reads it, into a configuration of its own.
    ConfigModel scratch;
    if (OpenConfigFile(scratch, chosen, fileBoxes_) != FileOutcome::Done)
        return;
    showComparison(UiTexts::CompareFileSide(QFileInfo(LmkFileName(chosen)).fileName()),
                   scratch.image());
}

void TForm1::showComparison(const QString& other, const ParamImage& image)
{
    ShowPlainBox(ApplicationTitle(), ComparisonText(other, marks_->Compare(image)));
}

bool TForm1::SaveFile(const QString& chosen)
{
    if (!document_->Save(chosen, engine_.ProgressVisible()))
        return false;
    fileTaken();
    return true;
}

void TForm1::fileTaken()
{
    // The list's entries are opened by Open's ".lmk" rule: a name that rule
    // would change ("CONFIG.LMK" named on the command line) stays out.
    const QString path = document_->FilePath();
    if (!path.isEmpty() && LmkFileName(path) == path)
        RememberRecentFile(path);
}

QString TForm1::chooseFile(bool save)
{
    // Save offers the file the table came from or was last saved to.
    const QString own = save ? document_->FilePath() : QString();
    // Captioned as its command: Windows' own dialog shows no caption otherwise.
    QFileDialog dialog(this, save ? UiTexts::SaveItem : UiTexts::OpenItem,
                       own.isEmpty() ? RememberedFileFolder() : own, FileTexts::NameFilter);
    dialog.setObjectName(save ? QStringLiteral("SaveDialog1") : QStringLiteral("OpenDialog1"));
    UsePlatformFileDialog(dialog);
    dialog.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    dialog.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    // The overwrite question is ours: in Russian on every system, and none
    // for the table's own file.
    dialog.setOption(QFileDialog::DontConfirmOverwrite, save);
    for (;;) {
        if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty())
            return QString();
        const QString chosen = dialog.selectedFiles().constFirst();
        const QFileInfo info(chosen);
        if (!save || !info.exists() || (!own.isEmpty() && info == QFileInfo(own)) ||
            fileBoxes_.ConfirmReplace(QDir::toNativeSeparators(chosen))) {
            RememberFileFolder(chosen);
            return chosen;
        }
    }
}

void TForm1::N1Click()
{
    // Files gone since are left out; another window's files are in.
    N23->clear();
    const QStringList files = RecentFiles();
    for (int i = 0; i < files.size(); ++i) {
        const QString& file = files.at(i);
        QAction* item = N23->addAction(QStringLiteral("&%1 %2").arg(i + 1).arg(
            QFileInfo(file).fileName().replace(QLatin1Char('&'), QLatin1String("&&"))));
        item->setToolTip(QDir::toNativeSeparators(file));
        item->setStatusTip(QDir::toNativeSeparators(file));
        connect(item, &QAction::triggered, this, [this, file] { OpenFile(file); });
    }
    N23->setToolTipsVisible(true);
    // Like Открыть, nothing to choose while the start-up file locks the configuration.
    N23->menuAction()->setEnabled(!model_.ConfigLocked() && !files.isEmpty());
}

void TForm1::N24Click()
{
    BackupsDialog dialog(BackupFolder(), model_.EncodedImage(), !model_.ConfigLocked(), this);
    if (dialog.exec() == QDialog::Accepted && !dialog.Chosen().isEmpty())
        OpenFile(dialog.Chosen());
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
    // A device left partly written is named even without unsaved edits.
    // So is one a write underway would leave so.
    std::optional<CutWrite> device = leftPartly_;
    if (engine_.WriteUnderway())
        device = CutWrite{engine_.LinkPort(), engine_.WriteConfirmedBlocks(), true,
                          session_->lastWrite().backup};
    const QString partly =
        device ? UiTexts::PartlyWrittenLong(
                     device->port, device->confirmedBlocks,
                     QDir::toNativeSeparators(QFile::decodeName(device->backup))) +
                     QStringLiteral("\n\n")
               : QString();
    if (document_->Modified()) {
        QMessageBox box(QMessageBox::Question, ApplicationTitle(),
                        partly + UiTexts::SaveChangesQuestion,
                        QMessageBox::Save | QMessageBox::Discard | QMessageBox::Cancel, this);
        box.setDefaultButton(QMessageBox::Save);
        const int answer = box.exec();
        if (answer == QMessageBox::Cancel ||
            (answer == QMessageBox::Save && !SaveFile(chooseFile(true)))) {
            event->ignore();
            return;
        }
    } else if (!partly.isEmpty()) {
        QMessageBox box(QMessageBox::Warning, ApplicationTitle(),
                        partly + UiTexts::ExitAnywayQuestion, QMessageBox::Yes | QMessageBox::No,
                        this);
        box.setDefaultButton(QMessageBox::No);
        if (box.exec() != QMessageBox::Yes) {
            event->ignore();
            return;
        }
    }
    // A transfer underway ends before the window does: a write is reported cut
    // (writeCut) and sends nothing more while that report is shown.
    session_->Abort();
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
    const QEvent::Type type = event->type();
    if ((watched == ComboBox2 || watched == ComboBox2->view()) &&
        (type == QEvent::KeyPress || type == QEvent::ShortcutOverride) &&
        static_cast<QKeyEvent*>(event)->key() == Qt::Key_Escape &&
        static_cast<QKeyEvent*>(event)->modifiers() == Qt::NoModifier) {
        // Esc belongs to the popup (no window shortcut takes it): closed, no change.
        event->accept();
        if (type == QEvent::KeyPress)
            ComboBox2Exit();
        return true;
    }
    if (type == QEvent::MouseButtonPress && ComboBox2->isVisible()) {
        auto* widget = qobject_cast<QWidget*>(watched);
        // The menu leaves the popup open; its own list lies in a window of its own.
        if (widget && widget->window() == this && widget != ComboBox2 &&
            !ComboBox2->isAncestorOf(widget) && !qobject_cast<QMenuBar*>(widget))
            ComboBox2Exit();
    }
    if (type == QEvent::MouseButtonRelease) {
        if (watched == Client)
            FormClick();
        else if (watched == Memo1->viewport())
            Memo1Click();
    }
    return QMainWindow::eventFilter(watched, event);
}
