// The configurator's main window, Form1: every control the operator uses, the
// main menu, the 100 ms timer that drives the transfer engine, and the cell
// popup. Its handlers are the entry points of the operator's gestures; the work
// behind them lives in WindowLayout (controls and menu), ModelPresenter (the
// model in the controls), PortSelector (the port list and selection) and
// DocumentState (baseline, modified mark, title, Open and Save).
#pragma once

#include "AddressTable.h"
#include "Application.h"
#include "DocumentState.h"
#include "DeviceSession.h"
#include "DropDownList.h"
#include "ParamImage.h"
#include "PortSelector.h"
#include "StringGrid.h"

#include <QMainWindow>

#include <array>
#include <memory>
#include <optional>

class ComparisonMarks;
class ConfigModel;
class DeviceSession;
class EditHistory;
struct SessionParts;
struct WriteReport;
class ModelPresenter;
class PortProber;
class TickQueue;
class TransferEngine;
class QAction;
class QCheckBox;
class QComboBox;
class QGroupBox;
class QLabel;
class QMenu;
class QMenuBar;
class QPlainTextEdit;
class QProgressBar;
class QPushButton;
class QRadioButton;
class QTimer;

class TForm1 : public QMainWindow
{
    Q_OBJECT
public:
    // The client area below the menu bar, and the frame the layout assumes
    // around it (the grids' width rule is applied to that outer width).
    static constexpr int ClientWidth = 687;
    static constexpr int ClientHeight = 431;
    static constexpr int FrameWidth = 8;
    static constexpr int OuterWidth = ClientWidth + FrameWidth;
    static constexpr int InitialLeft = 202;
    static constexpr int InitialTop = 123;

    // Runs the start-up sequence with `prober`'s ports and the locked file
    // "regul.lmk" of the working directory. The window's own session talks to
    // the device through `parts` (the system's transports and clock when empty).
    TForm1(ConfigModel& model, SessionParts parts, const PortProber& prober,
           QWidget* parent = nullptr);
    ~TForm1() override;

    // Controls, by their designer names.
    QWidget* Client = nullptr; // the client area below the menu bar
    QGroupBox* GroupBox1 = nullptr;
    QGroupBox* GroupBox2 = nullptr;
    QGroupBox* GroupBox3 = nullptr;
    DropDownList* ComboBox1 = nullptr;
    QComboBox* ComboBox2 = nullptr;
    QComboBox* ComboBox3 = nullptr;
    QCheckBox* CheckBox1 = nullptr;
    QCheckBox* CheckBox2 = nullptr;
    QRadioButton* RadioButton1 = nullptr;
    QRadioButton* RadioButton2 = nullptr;
    QPushButton* Button3 = nullptr;
    QPushButton* Button4 = nullptr;
    QProgressBar* ProgressBar1 = nullptr;
    TStringGrid* StringGrid1 = nullptr;
    TStringGrid* StringGrid2 = nullptr;
    TStringGrid* StringGrid3 = nullptr;
    TStringGrid* StringGrid4 = nullptr;
    QPlainTextEdit* Memo1 = nullptr;
    QTimer* Timer1 = nullptr;

    QMenuBar* MainMenu1 = nullptr;
    // Where the table stands against the device; the tooltip says it in full.
    QLabel* StateLine = nullptr;
    static constexpr int StateLineWidth = 480;
    QMenu* N1 = nullptr;  // Файл
    QMenu* N18 = nullptr; // Правка
    QMenu* N3 = nullptr;  // ЛУМ-К
    QMenu* N2 = nullptr;  // Режим
    QMenu* N4 = nullptr;  // Действие
    QMenu* N12 = nullptr; // Помощь
    QAction* N5 = nullptr;
    QAction* N6 = nullptr;
    QMenu* N23 = nullptr;   // Последние файлы
    QAction* N24 = nullptr; // Резервные копии…
    QAction* N7 = nullptr;
    QAction* N8 = nullptr;
    QAction* N9 = nullptr;
    QAction* N10 = nullptr;
    QAction* N11 = nullptr;
    QAction* N17 = nullptr; // Прервать (Esc), while a transfer runs
    QAction* N21 = nullptr; // Сравнить с устройством
    QAction* N22 = nullptr; // Сравнить с файлом…
    QAction* N16 = nullptr; // Руководство оператора (F1)
    QAction* N13 = nullptr;
    QAction* N19 = nullptr; // Отменить … (Ctrl+Z)
    QAction* N20 = nullptr; // Повторить … (Ctrl+Y, Ctrl+Shift+Z)

    // The grid on which the cell popup was last opened.
    TStringGrid* EditGrid = nullptr;

    const std::array<TStringGrid*, 4>& Grids() const { return grids_; }
    // The address-table page a grid shows (1..4).
    int PageOf(const TStringGrid* grid) const;
    // Opens the configuration file `chosen` names, or saves to it, as the menu
    // commands do after their dialogs.
    void OpenFile(const QString& chosen);
    bool SaveFile(const QString& chosen); // true when the file was written

    // The table differs from the configuration last read, opened, saved or
    // written (shown by the title's modified mark).
    bool TableModified() const { return document_->Modified(); }
    // A cell whose text differs from that configuration (marked in the grid).
    bool CellChanged(int page, int row, int column) const
    {
        return document_->CellChanged(page, row, column);
    }
    // The cells of the addresses the last comparison found different.
    const ComparisonMarks& Marks() const { return *marks_; }
    // Compares the table with the configuration file `chosen` names, as
    // "Сравнить с файлом…" does after its dialog.
    void CompareWithFile(const QString& chosen);
    // The port list and selection behind ComboBox1.
    PortSelector& Selector() { return *ports_; }
    const DocumentState& Document() const { return *document_; }
    // The operator's steps for undo and redo.
    const EditHistory& History() const { return *history_; }
    // The window's session: its link, engine and the record of the device.
    DeviceSession& Session() { return *session_; }
    // The backup the last write from the window kept (empty when none).
    QString LastBackup() const;
    // Where backups go: "backups" in the application's data folder.
    static QString BackupFolder();
    static constexpr int BackupsKept = 50;
    // A file named on the command line: exactly that file (no ".lmk" rule), and
    // a name that does not exist is reported (no dialog vouched for it).
    void OpenNamedFile(const QString& name);

    // Event handlers.
    void FormCreate(const PortProber& prober);
    void FormResize();
    void StringGrid1DrawCell(TStringGrid* Sender, QPainter* painter, int ACol, int ARow,
                             const QRect& Rect);
    void StringGrid1DblClick(TStringGrid* Sender);
    void ComboBox1Change();
    void ComboBox1DropDown();
    void ComboBox2Change();
    void ComboBox2Exit();
    void ComboBox3Change();
    void CheckBox1Click();
    void CheckBox2Click();
    void RadioButton1Click();
    void RadioButton2Click();
    void Button3Click();
    void Button4Click();
    void Timer1Timer();
    void N5Click();
    void N6Click();
    void N1Click(); // the Файл menu opens: the recent files as they are now
    void N24Click();
    void N7Click();
    void N8Click();
    void N9Click();
    void N21Click();
    void N22Click();
    void N16Click();
    void N13Click();
    void N19Click(); // undo
    void N20Click(); // redo
    void N17Click();
    void Memo1Click();
    void FormClick();

protected:
    void closeEvent(QCloseEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void connectHandlers();
    void presentDocument();
    // The table was replaced (a read's decode, Open): the comparison's marks and
    // the popup over the old table go.
    void tableReplaced();
    // After each tick: a comparison waiting for the device read it asked for.
    void afterTick();
    void showComparison(const QString& other, const ParamImage& image);
    void presentHistory();
    // Before a read replaces a table the device may not hold: true when it
    // may go on (nothing to lose, or the operator said yes).
    bool confirmReplace();
    // Before a file replaces unsaved edits: "Сохранить изменения?"; true when
    // they were saved or given up.
    bool keepOrDiscardChanges();
    void presentBusy();
    void askReadOnceMore();
    void onWriteEnded(const WriteReport& report);
    void onWriteCut(const CutWrite& cut);
    // "\n" and where the device's earlier configuration was kept, if it was.
    static QString backupNote(const QByteArray& backup);
    // The file dialog of Open (OpenDialog1) or Save (SaveDialog1): the
    // platform's dialog in RememberedFileFolder() with the configuration filter;
    // Save's offers the table's own file. Returns the chosen file, or an empty
    // name when cancelled.
    QString chooseFile(bool save);
    // A file opened or saved heads the recent files.
    void fileTaken();

    AddressTable writeTable_; // the table the running write started with
    // A device a write left partly written (on any port), until a write to it
    // completes: Exit names it.
    std::optional<CutWrite> leftPartly_;

    ConfigModel& model_;
    PlainMessageSink messages_;
    std::unique_ptr<DeviceSession> session_;
    TransferEngine& engine_; // the session's

    std::unique_ptr<TickQueue> ticks_;
    FileMessageBoxes fileBoxes_;
    std::array<TStringGrid*, 4> grids_{};
    QSize fixedSize_;
    QMetaObject::Connection focusWatch_;
    PortSelector* ports_ = nullptr;
    DocumentState* document_ = nullptr;
    ModelPresenter* presenter_ = nullptr;
    ComparisonMarks* marks_ = nullptr;
    // "Сравнить с устройством" waits for the device read it asked for; whether
    // the last device read since then completed.
    bool compareWaiting_ = false;
    bool compareReadCompleted_ = false;
    bool popupPicking_ = false; // the popup itself is changing the table
    EditHistory* history_ = nullptr;
    // Counted so that a double click's two header actions, and the picks made
    // while the popup stays open on one cell, are one step each.
    quint64 gridClicks_ = 0;
    quint64 popupOpenings_ = 0;
};
