#include "ScriptedStation.h"

#include "LinkFrames.h"
#include "StationSums.h"

ScriptedStation::ScriptedStation(ScriptedPort& port, std::int64_t replyDelayMs)
    : port_(port), delayMs_(replyDelayMs)
{
    port_.onWrite = [this](const QByteArray& bytes) { received(bytes); };
}

QByteArray ScriptedStation::BlockFrame(int block, char command) const
{
    QByteArray f(BlockFrameSize, '\0');
    auto* p = reinterpret_cast<std::uint8_t*>(f.data());
    p[0] = 0xFF;
    p[1] = 0x81;
    p[2] = 0x00;
    p[3] = std::uint8_t(command);
    p[4] = std::uint8_t(block);
    const ParamImage::Block data = image.block(block);
    for (int i = 0; i < ParamImage::BlockSize; ++i)
        p[5 + i] = data[i];
    p[17] = StationSumOf3To16(p);
    p[18] = StationXorOf0To17(p);
    return f;
}

bool ScriptedStation::WellFormedRequest(const QByteArray& frame)
{
    if (frame.size() != BlockFrameSize)
        return false;
    const auto* p = reinterpret_cast<const std::uint8_t*>(frame.constData());
    if (p[0] != 0xFF || p[1] != 0x81 || p[2] != 0x00 || p[4] > 5)
        return false;
    if (p[3] != 'W' && p[3] != 'S' && p[3] != 'R')
        return false;
    if (p[18] != StationXorOf0To17(p))
        return false;
    return p[3] != 'W' || p[17] == StationSumOf3To16(p);
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
    if (bytes == QByteArrayLiteral("\xFF\x80\x0F\x0F\x7F")) {
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
