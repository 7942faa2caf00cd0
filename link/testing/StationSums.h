// The station side's own frame sums, worked out from the byte layout rather
// than with the program's helpers, so that a mistake in those cannot hide in
// both sides of a test.
#pragma once

#include <cstdint>

// Bytes 3..16 added, modulo 256: the checksum in byte 17.
inline std::uint8_t StationSumOf3To16(const std::uint8_t* frame)
{
    unsigned sum = 0;
    for (int i = 3; i <= 16; ++i)
        sum += frame[i];
    return std::uint8_t(sum % 256);
}

// Bytes 0..17 combined by exclusive or: the check byte in byte 18.
inline std::uint8_t StationXorOf0To17(const std::uint8_t* frame)
{
    std::uint8_t x = 0;
    for (int i = 0; i <= 17; ++i)
        x ^= frame[i];
    return x;
}
