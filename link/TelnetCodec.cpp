// Option negotiation after RFC 1143's rule: a request is answered only when it
// changes an option's state, so two sides can never loop on each other; what
// we did not offer is declined (DONT/WONT) at once, never ignored.
#include "TelnetCodec.h"

using namespace Telnet;

TelnetCodec::TelnetCodec()
{
    // Greeting() asks for these.
    oursAsked_[BINARY] = oursAsked_[SGA] = oursAsked_[COM_PORT_OPTION] = true;
    theirsAsked_[BINARY] = theirsAsked_[SGA] = true;
}

TelnetCodec::Bytes TelnetCodec::Greeting()
{
    return {IAC, WILL, BINARY, IAC, DO,   BINARY,         IAC, WILL, SGA,
            IAC, DO,   SGA,    IAC, WILL, COM_PORT_OPTION};
}

TelnetCodec::Bytes TelnetCodec::Command(std::uint8_t command, const Bytes& value)
{
    Bytes out{IAC, SB, COM_PORT_OPTION, command};
    for (std::uint8_t b : value) {
        out.push_back(b);
        if (b == IAC)
            out.push_back(IAC);
    }
    out.push_back(IAC);
    out.push_back(SE);
    return out;
}

TelnetCodec::Bytes TelnetCodec::LineSettings(std::uint32_t baud)
{
    Bytes out = Command(SET_BAUDRATE, {std::uint8_t(baud >> 24), std::uint8_t(baud >> 16),
                                       std::uint8_t(baud >> 8), std::uint8_t(baud)});
    for (const Bytes& part :
         {Command(SET_DATASIZE, {8}), Command(SET_PARITY, {PARITY_NONE}),
          Command(SET_STOPSIZE, {STOPSIZE_1}), Command(SET_CONTROL, {CONTROL_NO_FLOW}),
          Command(SET_CONTROL, {CONTROL_DTR_OFF}), Command(SET_CONTROL, {CONTROL_RTS_ON})})
        out.insert(out.end(), part.begin(), part.end());
    return out;
}

void TelnetCodec::AppendData(Bytes& out, const std::uint8_t* data, std::size_t size) const
{
    const bool binary = ours_[BINARY];
    for (std::size_t i = 0; i < size; ++i) {
        out.push_back(data[i]);
        if (data[i] == IAC)
            out.push_back(IAC);
        else if (data[i] == '\r' && !binary)
            out.push_back(0);
    }
}

void TelnetCodec::PurgeSent()
{
    if (answersPurges_)
        ++awaitedPurges_;
}

std::optional<std::uint8_t> TelnetCodec::answer(std::uint8_t setCommand) const
{
    return setCommand < answers_.size() ? answers_[setCommand] : std::nullopt;
}

void TelnetCodec::Feed(const std::uint8_t* in, std::size_t size, Bytes& data, Bytes& reply)
{
    for (std::size_t i = 0; i < size; ++i) {
        const std::uint8_t b = in[i];
        switch (state_) {
        case State::Data:
            if (b == IAC) {
                state_ = State::Iac;
                break;
            }
            // Outside binary mode a server sends CR as CR NUL.
            if (pendingCr_ && b == 0) {
                pendingCr_ = false;
                break;
            }
            pendingCr_ = b == '\r' && theirsRefusedBinary_;
            if (awaitedPurges_ == 0)
                data.push_back(b);
            break;
        case State::Iac:
            pendingCr_ = false;
            if (b == IAC) {
                if (awaitedPurges_ == 0)
                    data.push_back(IAC);
                state_ = State::Data;
            } else if (b >= WILL) {
                verb_ = b;
                state_ = State::Verb;
            } else if (b == SB) {
                state_ = State::Sb;
            } else {
                state_ = State::Data; // NOP, GA, DM, a stray SE and the like
            }
            break;
        case State::Verb:
            Negotiate(verb_, b, reply);
            state_ = State::Data;
            break;
        case State::Sb:
            sb_.assign(1, b);
            sbOverflow_ = false;
            state_ = b == IAC ? State::SbIac : State::SbData;
            if (b == IAC)
                sb_.clear();
            break;
        case State::SbData:
            if (b == IAC) {
                state_ = State::SbIac;
            } else if (sb_.size() < MaxSubnegotiation) {
                sb_.push_back(b);
            } else {
                sbOverflow_ = true;
            }
            break;
        case State::SbIac:
            if (b == SE) {
                if (!sbOverflow_)
                    Subnegotiation();
                state_ = State::Data;
            } else if (b == IAC) {
                if (sb_.size() < MaxSubnegotiation)
                    sb_.push_back(IAC);
                else
                    sbOverflow_ = true;
                state_ = State::SbData;
            } else {
                // A malformed end: IAC and a command inside the subnegotiation.
                // Drop the subnegotiation and read the command as such.
                state_ = State::Iac;
                --i;
            }
            break;
        }
    }
}

void TelnetCodec::Negotiate(std::uint8_t verb, std::uint8_t option, Bytes& reply)
{
    const auto send = [&](std::uint8_t v) { reply.insert(reply.end(), {IAC, v, option}); };
    switch (verb) {
    case DO:
        if (WeWant(option)) {
            if (!ours_[option] && !oursAsked_[option])
                send(WILL);
            ours_[option] = true;
            oursAsked_[option] = false;
            if (option == COM_PORT_OPTION)
                comPort_ = Option::Accepted;
        } else {
            send(WONT);
        }
        break;
    case DONT:
        if (ours_[option] && !oursAsked_[option])
            send(WONT);
        ours_[option] = false;
        oursAsked_[option] = false;
        if (option == COM_PORT_OPTION)
            comPort_ = Option::Refused;
        break;
    case WILL:
        if (TheyMay(option)) {
            if (!theirs_[option] && !theirsAsked_[option])
                send(DO);
            theirs_[option] = true;
            theirsAsked_[option] = false;
            if (option == BINARY)
                theirsRefusedBinary_ = false;
        } else {
            send(DONT);
        }
        break;
    case WONT:
        if (theirs_[option] && !theirsAsked_[option])
            send(DONT);
        theirs_[option] = false;
        theirsAsked_[option] = false;
        if (option == BINARY)
            theirsRefusedBinary_ = true;
        break;
    }
}

void TelnetCodec::Subnegotiation()
{
    // COM-PORT-OPTION answers: the command plus 100, then the value.
    if (sb_.size() < 2 || sb_[0] != COM_PORT_OPTION || sb_[1] < ServerOffset)
        return;
    const std::uint8_t command = std::uint8_t(sb_[1] - ServerOffset);
    if (command == PURGE_DATA) {
        answersPurges_ = true;
        if (awaitedPurges_ > 0)
            --awaitedPurges_;
        return;
    }
    if (command == SET_BAUDRATE && sb_.size() == 6) {
        baud_ = std::uint32_t(sb_[2]) << 24 | std::uint32_t(sb_[3]) << 16 |
                std::uint32_t(sb_[4]) << 8 | sb_[5];
    } else if (command != SET_BAUDRATE && command < answers_.size() && sb_.size() == 3) {
        answers_[command] = sb_[2];
    }
}
