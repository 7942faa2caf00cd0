// The transfer engine: moves the parameter image between the program and the
// station block by block, one exchange step per 100 ms tick.
#pragma once

#include <QObject>
#include <QString>

#include <cstdint>

class ConfigModel;

// Shows the engine's plain modal messages ("Нет устройства", "Не подключен ЛУМ-К",
// "Записано"). The window shows a modal box and keeps ticks running inside it;
// tests record the texts; the command-line tool prints them.
class MessageSink
{
public:
    virtual ~MessageSink() = default;
    virtual void ShowMessage(const QString& text) = 0;
};

class TransferEngine : public QObject
{
    Q_OBJECT
public:
    TransferEngine(ConfigModel& model, MessageSink& messages, QObject* parent = nullptr);

    // Port selector change: opens the selected port, tests the link, starts a read.
    void ConnectPort();
    void StartRead();
    void StartWrite();
    // One exchange step; driven every 100 ms for the whole run.
    void Tick();

    bool PortReady() const { return portReady_; }
    void SetPortReady(bool ready) { portReady_ = ready; }
    int BlockIndex() const { return blockIndex_; }
    bool ReadRequested() const { return readRequested_; }
    bool WriteRequested() const { return writeRequested_; }
    int ProgressPosition() const { return position_; }
    bool ProgressVisible() const { return visible_; }

signals:
    // Position (0..100) or visibility changed.
    void progressChanged(int position, bool visible);

private:
    // Progress position: a value above 100 is stored as 100.
    void setPosition(int position);
    void setVisible(bool visible);

    ConfigModel& model_;
    MessageSink& messages_;
    bool portReady_ = false;
    std::uint8_t blockIndex_ = 0;
    bool readRequested_ = false;
    bool writeRequested_ = false;
    int position_ = 0;
    bool visible_ = false;
    // Blocks this write has already sent with 'W' (bit k = block k) since it
    // last started over from block 0 (a start or a port selection). While a
    // write is requested, only replies for these blocks are stored: the device's
    // old blocks would otherwise overwrite the operator's edits.
    unsigned writtenBlocks_ = 0;
};

// Runs Tick from a periodic timer so that ticks keep running while a modal
// message opened by a tick is shown (Qt never re-enters a timer's own handler):
// each timeout queues one tick unless one is already waiting.
class TickQueue : public QObject
{
    Q_OBJECT
public:
    explicit TickQueue(TransferEngine& engine, QObject* parent = nullptr);
    // Call from the timer's timeout.
    void Post();

private:
    TransferEngine& engine_;
    bool pending_ = false;
};
