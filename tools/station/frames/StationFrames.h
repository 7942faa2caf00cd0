// The frames as the station sees them: what it sends (the invitation and the
// 19-byte block replies) and the checks it applies to what it receives. Worked
// out from the byte layout on their own rather than with the program's frame
// helpers, so that a mistake in those cannot hide in both sides of a test.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>

namespace StationFrames {

inline constexpr std::size_t FrameSize = 19;
inline constexpr std::size_t DataSize = 12;
inline constexpr int Blocks = 6;
using Frame = std::array<std::uint8_t, FrameSize>;

// Sent until the program wakes the station.
inline constexpr std::array<std::uint8_t, 4> Invitation = {0xFF, 0x00, 0x00, 0xFF};
// What wakes it.
inline constexpr std::array<std::uint8_t, 5> Wake = {0xFF, 0x80, 0x0F, 0x0F, 0x7F};

// Bytes 3..16 added, modulo 256: the checksum in byte 17.
inline std::uint8_t SumOf3To16(const std::uint8_t* frame)
{
    unsigned sum = 0;
    for (std::size_t i = 3; i <= 16; ++i)
        sum += frame[i];
    return std::uint8_t(sum % 256);
}

// Bytes 0..17 combined by exclusive or: the check byte in byte 18.
inline std::uint8_t XorOf0To17(const std::uint8_t* frame)
{
    std::uint8_t x = 0;
    for (std::size_t i = 0; i <= 17; ++i)
        x ^= frame[i];
    return x;
}

// The reply carrying a block's 12 data bytes, echoing the request's command.
inline Frame BlockReply(std::uint8_t command, int block, const std::uint8_t* data)
{
    Frame f{};
    f[0] = 0xFF;
    f[1] = 0x81;
    f[2] = 0x00;
    f[3] = command;
    f[4] = std::uint8_t(block);
    for (std::size_t i = 0; i < DataSize; ++i)
        f[5 + i] = data[i];
    f[17] = SumOf3To16(f.data());
    f[18] = XorOf0To17(f.data());
    return f;
}

// A request the station answers: header FF 81 00, command 'S', 'W' or 'R',
// block 0..5, the right check byte and, for 'W', the right checksum.
inline bool WellFormedRequest(const std::uint8_t* f, std::size_t size)
{
    if (size != FrameSize || f[0] != 0xFF || f[1] != 0x81 || f[2] != 0x00 || f[4] >= Blocks)
        return false;
    if (f[3] != 'S' && f[3] != 'W' && f[3] != 'R')
        return false;
    return f[18] == XorOf0To17(f) && (f[3] != 'W' || f[17] == SumOf3To16(f));
}

} // namespace StationFrames
