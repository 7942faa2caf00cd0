#include "NetworkBackend.h"

#include "NetworkTexts.h"

#include <QDeadlineTimer>
#include <QHostAddress>
#include <QRegularExpression>

#include <algorithm>

namespace {

const QString Rfc2217Scheme = QStringLiteral("rfc2217://");
const QString SocketScheme = QStringLiteral("socket://");

int Remaining(const QDeadlineTimer& deadline)
{
    return int(std::max<qint64>(0, deadline.remainingTime()));
}

} // namespace

bool IsNetworkPortName(const QString& name)
{
    return name.startsWith(Rfc2217Scheme, Qt::CaseInsensitive) ||
           name.startsWith(SocketScheme, Qt::CaseInsensitive);
}

std::optional<NetworkAddress> ParseNetworkPort(const QString& name)
{
    NetworkAddress address;
    QString rest;
    if (name.startsWith(Rfc2217Scheme, Qt::CaseInsensitive)) {
        address.telnet = true;
        rest = name.mid(Rfc2217Scheme.size());
    } else if (name.startsWith(SocketScheme, Qt::CaseInsensitive)) {
        rest = name.mid(SocketScheme.size());
    } else {
        return std::nullopt;
    }
    // HOST:PORT, HOST a name or an IPv4 address, or [IPv6]:PORT.
    static const QRegularExpression form(
        QStringLiteral(R"(^(?:\[([0-9A-Fa-f:.]+)\]|([A-Za-z0-9][A-Za-z0-9.\-]*)):([0-9]{1,5})$)"));
    const QRegularExpressionMatch match = form.match(rest);
    if (!match.hasMatch())
        return std::nullopt;
    const bool bracketed = match.capturedLength(1) > 0;
    address.host = bracketed ? match.captured(1) : match.captured(2);
    if (bracketed && QHostAddress(address.host).protocol() != QAbstractSocket::IPv6Protocol)
        return std::nullopt;
    const int port = match.captured(3).toInt();
    if (port < 1 || port > 65535)
        return std::nullopt;
    address.port = quint16(port);
    return address;
}

NetworkBackend::NetworkBackend()
{
    socket_.setReadBufferSize(ReadBufferBytes);
}

NetworkBackend::~NetworkBackend()
{
    socket_.abort();
}

void NetworkBackend::Fail(const QString& reason)
{
    failure_ = reason;
    open_ = false;
    socket_.abort();
}

bool NetworkBackend::Open(const QString& name)
{
    Close();
    failure_.clear();
    name_ = name;
    const std::optional<NetworkAddress> address = ParseNetworkPort(name);
    if (!address) {
        failure_ = NetworkTexts::BadAddress;
        return false;
    }
    address_ = *address;
    codec_ = TelnetCodec();
    received_.clear();
    socket_.connectToHost(address_.host, address_.port);
    if (!socket_.waitForConnected(ConnectTimeoutMs)) {
        if (socket_.error() == QAbstractSocket::SocketTimeoutError ||
            socket_.state() != QAbstractSocket::UnconnectedState)
            Fail(NetworkTexts::ConnectTimedOut.arg(name).arg(ConnectTimeoutMs / 1000));
        else
            Fail(NetworkTexts::ConnectFailed.arg(name, NetworkTexts::SocketError(socket_.error()),
                                                 NetworkTexts::SocketAdvice(socket_.error())));
        return false;
    }
    // Frames are small and every one waits for its answer: no Nagle delay.
    socket_.setSocketOption(QAbstractSocket::LowDelayOption, 1);
    open_ = true;
    if (address_.telnet && !Negotiate())
        return false;
    return true;
}

bool NetworkBackend::Negotiate()
{
    const auto closed = [this] {
        Fail(NetworkTexts::ClosedByServer.arg(name_));
        return false;
    };
    if (!Send(TelnetCodec::Greeting(), NegotiationTimeoutMs))
        return closed();
    const QDeadlineTimer negotiation(NegotiationTimeoutMs);
    while (codec_.comPort() == TelnetCodec::Option::Pending) {
        if (negotiation.hasExpired()) {
            Fail(NetworkTexts::OptionUnanswered.arg(name_).arg(NegotiationTimeoutMs / 1000));
            return false;
        }
        if (!Pump(Remaining(negotiation)) && codec_.comPort() == TelnetCodec::Option::Pending)
            return closed();
    }
    if (codec_.comPort() == TelnetCodec::Option::Refused) {
        Fail(NetworkTexts::OptionRefused.arg(name_));
        return false;
    }
    if (!Send(TelnetCodec::LineSettings(BaudRate), LineTimeoutMs))
        return closed();
    // The baud rate's answer comes first; the others follow it at once.
    const QDeadlineTimer line(LineTimeoutMs);
    while (!codec_.baudRate() && !line.hasExpired()) {
        if (!Pump(Remaining(line)))
            return closed();
    }
    Pump(0);
    const auto differs = [this](std::uint8_t command, std::uint8_t wanted) {
        const std::optional<std::uint8_t> value = codec_.answer(command);
        return value && *value != wanted;
    };
    const bool baudDiffers = codec_.baudRate() && *codec_.baudRate() != BaudRate;
    if (baudDiffers || differs(Telnet::SET_DATASIZE, 8) ||
        differs(Telnet::SET_PARITY, Telnet::PARITY_NONE) ||
        differs(Telnet::SET_STOPSIZE, Telnet::STOPSIZE_1)) {
        const QString line = NetworkTexts::LineText(
            codec_.baudRate().value_or(BaudRate), codec_.answer(Telnet::SET_DATASIZE).value_or(8),
            codec_.answer(Telnet::SET_PARITY).value_or(Telnet::PARITY_NONE),
            codec_.answer(Telnet::SET_STOPSIZE).value_or(Telnet::STOPSIZE_1));
        Fail(NetworkTexts::LineRefused.arg(name_, line));
        return false;
    }
    return true;
}

void NetworkBackend::Close()
{
    if (socket_.state() != QAbstractSocket::UnconnectedState) {
        // What was written is already out of our buffer: a plain close.
        socket_.disconnectFromHost();
        if (socket_.state() != QAbstractSocket::UnconnectedState)
            socket_.waitForDisconnected(100);
        socket_.abort();
    }
    open_ = false;
    received_.clear();
}

bool NetworkBackend::Lost()
{
    if (socket_.state() == QAbstractSocket::ConnectedState)
        return false;
    if (open_ && failure_.isEmpty())
        failure_ = socket_.error() == QAbstractSocket::RemoteHostClosedError
                       ? NetworkTexts::ClosedByServer.arg(name_)
                       : NetworkTexts::ConnectionLost.arg(name_,
                                                          NetworkTexts::SocketError(socket_.error()));
    return true;
}

bool NetworkBackend::Pump(int waitMs)
{
    if (socket_.bytesAvailable() == 0 && socket_.state() == QAbstractSocket::ConnectedState)
        socket_.waitForReadyRead(waitMs);
    const qint64 room = ReadBufferBytes - qint64(received_.size());
    if (room > 0 && socket_.bytesAvailable() > 0) {
        const QByteArray chunk = socket_.read(room);
        taken_ += std::uint64_t(chunk.size());
        const auto* bytes = reinterpret_cast<const std::uint8_t*>(chunk.constData());
        if (address_.telnet) {
            // A server that stops answering purges must not cost us its data.
            if (codec_.AwaitingPurge() && purgeSent_.hasExpired(PurgeAnswerLimitMs))
                codec_.StopAwaitingPurge();
            TelnetCodec::Bytes reply;
            codec_.Feed(bytes, std::size_t(chunk.size()), received_, reply);
            if (!reply.empty()) {
                socket_.write(reinterpret_cast<const char*>(reply.data()), qint64(reply.size()));
                socket_.flush();
            }
        } else {
            received_.insert(received_.end(), bytes, bytes + chunk.size());
        }
    }
    return socket_.state() == QAbstractSocket::ConnectedState;
}

bool NetworkBackend::Send(const TelnetCodec::Bytes& bytes, int timeoutMs)
{
    if (socket_.state() != QAbstractSocket::ConnectedState)
        return false;
    socket_.write(reinterpret_cast<const char*>(bytes.data()), qint64(bytes.size()));
    const QDeadlineTimer deadline(timeoutMs);
    while (socket_.bytesToWrite() > 0) {
        if (deadline.hasExpired() || !socket_.waitForBytesWritten(Remaining(deadline)))
            break;
    }
    return socket_.bytesToWrite() == 0;
}

std::int64_t NetworkBackend::Read(std::uint8_t* dest, std::int64_t maxBytes)
{
    if (!open_)
        return -1;
    Pump(0);
    if (received_.empty())
        return Lost() ? -1 : 0;
    const auto n = std::size_t(std::min<std::int64_t>(maxBytes, std::int64_t(received_.size())));
    std::copy_n(received_.begin(), n, dest);
    received_.erase(received_.begin(), received_.begin() + std::ptrdiff_t(n));
    return std::int64_t(n);
}

std::int64_t NetworkBackend::Write(const std::uint8_t* src, std::int64_t count, int timeoutMs)
{
    if (!open_ || Lost())
        return -1;
    TelnetCodec::Bytes out;
    if (address_.telnet)
        codec_.AppendData(out, src, std::size_t(count));
    else
        out.assign(src, src + count);
    // A frame that is not out within the time-out counts as not written; what
    // the socket still holds of it cannot be taken back.
    if (Send(out, timeoutMs))
        return count;
    return Lost() ? -1 : 0;
}

void NetworkBackend::Purge(unsigned flags)
{
    if (!open_)
        return;
    // What has arrived so far is discarded, as a local port discards its
    // driver's buffer (all of it: an idle link may have piled up resent
    // frames); the server discards what it holds likewise.
    if (flags & PURGE_RXCLEAR) {
        for (int round = 0; round < MaxPurgeRounds; ++round) {
            const std::uint64_t before = taken_;
            Pump(0);
            received_.clear();
            if (taken_ == before)
                break;
        }
    } else {
        Pump(0);
    }
    if (address_.telnet && codec_.comPort() == TelnetCodec::Option::Accepted) {
        const bool rx = flags & PURGE_RXCLEAR;
        const bool tx = flags & PURGE_TXCLEAR;
        const std::uint8_t which = rx && tx ? Telnet::PURGE_BOTH
                                   : rx     ? Telnet::PURGE_RECEIVE
                                            : Telnet::PURGE_TRANSMIT;
        if (rx || tx) {
            const TelnetCodec::Bytes command = TelnetCodec::Command(Telnet::PURGE_DATA, {which});
            socket_.write(reinterpret_cast<const char*>(command.data()), qint64(command.size()));
            socket_.flush();
            codec_.PurgeSent();
            purgeSent_.start();
        }
    }
}
