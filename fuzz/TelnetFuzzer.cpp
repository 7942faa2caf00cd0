// The Telnet/RFC 2217 decoder on arbitrary server streams. Invariants:
// - the same stream fed whole or in pieces (cut where the input says) gives
//   the same data, the same answers and the same option results;
// - every answer is a whole negotiation command (IAC, WILL/WONT/DO/DONT,
//   option) and agrees only to options the client offers or accepts;
// - data escaped by AppendData (after binary was agreed) decodes to itself.
#include "TelnetCodec.h"

#include <cstdlib>
#include <cstring>

using namespace Telnet;
using Bytes = TelnetCodec::Bytes;

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 1)
        return 0;
    const std::uint8_t step = std::uint8_t(data[0] % 7 + 1);
    ++data;
    --size;

    TelnetCodec whole, pieces;
    Bytes wholeData, wholeReply, pieceData, pieceReply;
    whole.Feed(data, size, wholeData, wholeReply);
    for (std::size_t at = 0; at < size; at += step)
        pieces.Feed(data + at, std::min<std::size_t>(step, size - at), pieceData, pieceReply);
    if (wholeData != pieceData || wholeReply != pieceReply || whole.comPort() != pieces.comPort() ||
        whole.baudRate() != pieces.baudRate())
        std::abort();
    if (wholeData.size() > size)
        std::abort();

    if (wholeReply.size() % 3 != 0)
        std::abort();
    for (std::size_t i = 0; i < wholeReply.size(); i += 3) {
        const std::uint8_t verb = wholeReply[i + 1], option = wholeReply[i + 2];
        if (wholeReply[i] != IAC || verb < WILL || verb > DONT)
            std::abort();
        if (verb == WILL && option != BINARY && option != SGA && option != COM_PORT_OPTION)
            std::abort();
        if (verb == DO && option != BINARY && option != SGA)
            std::abort();
    }

    TelnetCodec encoder, decoder;
    Bytes ignored, escaped, decoded;
    const std::uint8_t agree[] = {IAC, DO, BINARY};
    encoder.Feed(agree, sizeof agree, ignored, ignored);
    encoder.AppendData(escaped, data, size);
    decoder.Feed(escaped.data(), escaped.size(), decoded, ignored);
    if (decoded.size() != size || (size > 0 && std::memcmp(decoded.data(), data, size) != 0))
        std::abort();
    return 0;
}
