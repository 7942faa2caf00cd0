// Drives the window's model and transfer engine without a window: the port is
// selected as in the port selector, and the engine is ticked every 100 ms of the
// link's clock until the transfer ends, fails or stops progressing.
#pragma once

#include "ConfigModel.h"
#include "ParamImage.h"
#include "SerialLink.h"
#include "TransferEngine.h"

#include <QString>

#include <chrono>
#include <memory>

class Console;

enum class SessionResult {
    Done,
    OpenFailed,   // "Not open NAME" and why
    NoDevice,     // "Нет устройства", or the wake frame could not be sent
    NotConnected, // "Не подключен ЛУМ-К"
    Stalled,      // no progress for the time-out
    Lost,         // a network port's connection is gone
    Interrupted,  // SIGINT, SIGTERM or SIGHUP (PendingInterrupt())
};

class DeviceSession : private MessageSink
{
public:
    // `stallTimeout`: how long a started transfer may go without progress.
    // The session's own link runs on `transports` and `clock`; `trace` prints
    // every frame of whatever transport it is.
    DeviceSession(Console& console, std::chrono::milliseconds stallTimeout, bool trace,
                  SerialLink::BackendFactory transports, std::shared_ptr<LinkClock> clock);
    ~DeviceSession() override;

    DeviceSession(const DeviceSession&) = delete;
    DeviceSession& operator=(const DeviceSession&) = delete;

    // Selects `port`: opens it, tests the link and reads the device completely.
    SessionResult Connect(const QString& port);
    // A full read into the image, decoded into the table.
    SessionResult Read();
    // Encodes the table and writes the image; ends at "Записано".
    SessionResult Write();

    ConfigModel& model() { return model_; }
    // The image as the last write sent it (after the table was encoded).
    const ParamImage& writtenImage() const { return written_; }
    // How far the last write got: blocks whose 'W' frame the station answered,
    // and whether one more block went out without an answer yet.
    int blocksConfirmed() const { return blocksConfirmed_; }
    bool blockUnconfirmed() const { return blockUnconfirmed_; }

private:
    void ShowMessage(LinkOutcome outcome) override;
    SessionResult RunTransfer();

    Console& console_;
    std::chrono::milliseconds stallTimeout_;
    SerialLink link_;
    ConfigModel model_;
    TransferEngine engine_;
    ParamImage written_;
    bool writing_ = false;
    int blocksConfirmed_ = 0;
    bool blockUnconfirmed_ = false;
};
