// A station for virtual-time tests, attached to a ScriptedPort: answers the wake
// frame with a block-0 frame and every well-formed request with the requested
// block (storing 'W' data), after a fixed delay. Replies can be altered or
// withheld one by one to script faults.
#pragma once

#include "ParamImage.h"
#include "ScriptedPort.h"

#include <QByteArray>
#include <QList>

#include <functional>

class ScriptedStation
{
public:
    explicit ScriptedStation(ScriptedPort& port, std::int64_t replyDelayMs = 50);

    ParamImage image;
    bool answering = true;
    // Called with each reply before it is sent; may change it, or clear it to
    // send nothing. The index counts the station's frames from 0.
    std::function<void(QByteArray& frame, int index)> alter;
    // Called with each well-formed request; true loses it on the way in (not
    // stored, not answered).
    std::function<bool(const QByteArray& request)> lose;

    // Every well-formed request received, and every frame sent (after `alter`).
    QList<QByteArray> requests;
    QList<QByteArray> sent;
    int ignoredRequests = 0;

    // A reply frame for a block of the station's image.
    QByteArray BlockFrame(int block, char command = 'S') const;
    static bool WellFormedRequest(const QByteArray& frame);
    // Queues a frame as if the station sent it on its own.
    void Send(QByteArray frame);

private:
    void received(const QByteArray& bytes);

    ScriptedPort& port_;
    std::int64_t delayMs_;
};
