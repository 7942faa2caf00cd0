// Telnet with the Com Port Control option, as plain value code: what the
// client sends to set up the remote line, the escaping of data (0xFF doubled),
// and a decoder that splits what the server sends into data bytes, answers
// to the server's option negotiation and the results of our own requests.
//
// The decoder never waits for anything: it is fed whatever arrived, in pieces
// of any size, and keeps its place in a command or subnegotiation across them.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <optional>
#include <vector>

namespace Telnet {

inline constexpr std::uint8_t IAC = 255;
inline constexpr std::uint8_t DONT = 254;
inline constexpr std::uint8_t DO = 253;
inline constexpr std::uint8_t WONT = 252;
inline constexpr std::uint8_t WILL = 251;
inline constexpr std::uint8_t SB = 250;
inline constexpr std::uint8_t SE = 240;

inline constexpr std::uint8_t BINARY = 0;
inline constexpr std::uint8_t SGA = 3; // suppress go-ahead
inline constexpr std::uint8_t COM_PORT_OPTION = 44;

// COM-PORT-OPTION commands from the client; the server answers each with the
// command number plus ServerOffset.
inline constexpr std::uint8_t SET_BAUDRATE = 1;
inline constexpr std::uint8_t SET_DATASIZE = 2;
inline constexpr std::uint8_t SET_PARITY = 3;
inline constexpr std::uint8_t SET_STOPSIZE = 4;
inline constexpr std::uint8_t SET_CONTROL = 5;
inline constexpr std::uint8_t PURGE_DATA = 12;
inline constexpr std::uint8_t ServerOffset = 100;

inline constexpr std::uint8_t PARITY_NONE = 1;
inline constexpr std::uint8_t STOPSIZE_1 = 1;
inline constexpr std::uint8_t CONTROL_NO_FLOW = 1;
inline constexpr std::uint8_t CONTROL_DTR_OFF = 9;
inline constexpr std::uint8_t CONTROL_RTS_ON = 11;
inline constexpr std::uint8_t PURGE_RECEIVE = 1;  // the server's data from the line
inline constexpr std::uint8_t PURGE_TRANSMIT = 2; // the server's data for the line
inline constexpr std::uint8_t PURGE_BOTH = 3;

} // namespace Telnet

class TelnetCodec
{
public:
    using Bytes = std::vector<std::uint8_t>;
    // Largest subnegotiation kept; longer ones are ignored whole.
    static constexpr std::size_t MaxSubnegotiation = 64;

    TelnetCodec();

    // Binary both ways, no go-ahead both ways, and WILL COM-PORT-OPTION.
    static Bytes Greeting();
    // One COM-PORT-OPTION subnegotiation, its value escaped.
    static Bytes Command(std::uint8_t command, const Bytes& value);
    // The line at `baud`, 8 data bits, no parity, 1 stop bit, no flow control,
    // DTR off, RTS on.
    static Bytes LineSettings(std::uint32_t baud);
    // Data for the wire: 0xFF doubled; a CR followed by NUL while the server
    // has not agreed to binary transmission from us.
    void AppendData(Bytes& out, const std::uint8_t* data, std::size_t size) const;

    // Splits received bytes: data is appended to `data`, answers the server
    // must get are appended to `reply`.
    void Feed(const std::uint8_t* in, std::size_t size, Bytes& data, Bytes& reply);

    enum class Option { Pending, Accepted, Refused };
    // The server's answer to WILL COM-PORT-OPTION.
    Option comPort() const { return comPort_; }
    // The server's last answer to a SET command (its value as the server
    // reports it), when one came.
    std::optional<std::uint32_t> baudRate() const { return baud_; }
    std::optional<std::uint8_t> answer(std::uint8_t setCommand) const;

    // A PURGE-DATA was sent. Once the server is known to answer purges, data
    // that arrives before the answer left the server before its purge: it is
    // dropped, as the local port's purge drops what is in its buffer.
    void PurgeSent();
    bool AwaitingPurge() const { return awaitedPurges_ > 0; }
    // For a server that stopped answering: keep the data again.
    void StopAwaitingPurge() { awaitedPurges_ = 0; }

private:
    enum class State { Data, Iac, Verb, Sb, SbData, SbIac };
    void Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& reply);
    void Subnegotiation();
    static bool WeWant(std::uint8_t option) // options we offer
    {
        return option == Telnet::BINARY || option == Telnet::SGA ||
               option == Telnet::COM_PORT_OPTION;
    }
    static bool TheyMay(std::uint8_t option) // options we accept from the server
    {
        return option == Telnet::BINARY || option == Telnet::SGA;
    }

    State state_ = State::Data;
    std::uint8_t verb_ = 0;
    bool pendingCr_ = false; // a CR outside binary mode: a NUL after it is dropped
    Bytes sb_;
    bool sbOverflow_ = false;
    // Per option: enabled on our side / theirs, and asked for by us without
    // an answer yet (so the answer is not answered again).
    std::array<bool, 256> ours_{}, theirs_{}, oursAsked_{}, theirsAsked_{};
    bool theirsRefusedBinary_ = false;
    Option comPort_ = Option::Pending;
    std::optional<std::uint32_t> baud_;
    std::array<std::optional<std::uint8_t>, 16> answers_{};
    bool answersPurges_ = false;
    int awaitedPurges_ = 0;
};
