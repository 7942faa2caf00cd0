// Shared pieces of the window tests: a window created in a fresh working
// directory, clicks on grid cells, and a watcher that closes modal boxes.
#pragma once

#include "Application.h"
#include "ConfigModel.h"
#include "DeviceSession.h"
#include "PortDoubles.h"
#include "SerialLink.h"
#include "StartUp.h"
#include "SystemClock.h"
#include "TransferEngine.h"
#include "Transports.h"
#include "Unit1.h"
#include "VirtualClock.h"

#include <QElapsedTimer>
#include <QMessageBox>
#include <QTemporaryDir>
#include <QTimer>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

// Processes events until `done` holds or `timeoutMs` passes; true when it held.
bool WaitFor(const std::function<bool()>& done, int timeoutMs = 5000);

// Polls for the next modal widget and hands it to `act`, which must close it.
// Reports a test failure when no modal widget comes within the time-out.
class ModalWatcher : public QObject
{
public:
    explicit ModalWatcher(std::function<void(QWidget*)> act, int timeoutMs = 10000);
    ~ModalWatcher() override;
    bool Seen() const { return seen_; }

private:
    void poll();
    std::function<void(QWidget*)> act_;
    QTimer timer_;
    QElapsedTimer clock_;
    int timeoutMs_;
    bool seen_ = false;
    bool expired_ = false;
};

// What a message box showed, captured before it is closed.
struct BoxSeen
{
    bool isMessageBox = false;
    QString title;
    QString text;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool hasOwner = true;
    QStringList buttons;
};
// Records the box and presses `answer` (its OK button by default).
BoxSeen CloseMessageBox(QWidget* widget, QMessageBox::StandardButton answer = QMessageBox::Ok);

// A menu or item text without its Alt-letter mark ('&').
QString Plain(QString text);

// Clicks (press and release) on a cell of a grid.
void ClickCell(TStringGrid* grid, int col, int row);
QPoint CellCenter(const TStringGrid* grid, int col, int row);
// A double click delivered as the window system delivers it.
void DoubleClickCell(TStringGrid* grid, int col, int row);

// The main window on its own model and engine, in a temporary working
// directory so that no "regul.lmk" is found unless a test puts one there.
class WindowTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;
    // Creates, shows and activates the window.
    void CreateWindow();
    QString Path(const QString& name) const { return dir.filePath(name); }

    QTemporaryDir dir;
    QString previousDir;
    ConfigModel model;
    // What the window's session is made of (the system's transports and clock
    // unless a test sets them before CreateWindow).
    SessionParts parts;
    // The window's session and its parts (only while the window exists).
    DeviceSession& session() { return form->Session(); }
    TransferEngine& engine() { return form->Session().engine(); }
    SerialLink& link() { return form->Session().link(); }
    FixedPorts ports;
    std::unique_ptr<TForm1> form;
};
