#include "ScriptedStation.h"

#include "StationFrames.h"

ScriptedStation::ScriptedStation(ScriptedPort& port, std::int64_t replyDelayMs)
    : port_(port), delayMs_(replyDelayMs)
{
    port_.onWrite = [this](const QByteArray& bytes) { received(bytes); };
}

namespace {

template <std::size_t N> QByteArray Bytes(const std::array<std::uint8_t, N>& frame)
{
    return QByteArray(reinterpret_cast<const char*>(frame.data()), qsizetype(N));
}

} // namespace

QByteArray ScriptedStation::BlockFrame(int block, char command) const
{
    return Bytes(StationFrames::BlockReply(std::uint8_t(command), block, image.block(block).data()));
}

bool ScriptedStation::WellFormedRequest(const QByteArray& frame)
{
    return StationFrames::WellFormedRequest(
        reinterpret_cast<const std::uint8_t*>(frame.constData()), std::size_t(frame.size()));
}

void ScriptedStation::Send(QByteArray frame)
{
    if (alter)
        alter(frame, int(sent.size()));
    sent.append(frame);
    if (!frame.isEmpty())
        port_.Deliver(frame, delayMs_);
}

void ScriptedStation::received(const QByteArray& bytes)
{
    if (!answering)
        return;
    if (bytes == Bytes(StationFrames::Wake)) {
        Send(BlockFrame(0));
        return;
    }
    if (!WellFormedRequest(bytes)) {
        ++ignoredRequests;
        return;
    }
    if (lose && lose(bytes))
        return;
    requests.append(bytes);
    const auto* p = reinterpret_cast<const std::uint8_t*>(bytes.constData());
    const int block = p[4];
    if (p[3] == 'W')
        image.setBlock(block, p + 5);
    Send(BlockFrame(block, char(p[3])));
}
