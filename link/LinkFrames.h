// The link frames: the invitation, the wake frame and the 19-byte
// block frames, all read from and assembled at the start of a link's buffer.
#pragma once

#include <cstdint>

class ParamImage;

inline constexpr int InviteFrameSize = 4;
inline constexpr int WakeFrameSize = 5;
inline constexpr int BlockFrameSize = 19;

inline constexpr std::uint8_t InviteFrame[InviteFrameSize] = {0xFF, 0x00, 0x00, 0xFF};
inline constexpr std::uint8_t WakeFrame[WakeFrameSize] = {0xFF, 0x80, 0x0F, 0x0F, 0x7F};

inline constexpr std::uint8_t CommandWrite = 0x57; // 'W'
inline constexpr std::uint8_t CommandRead = 0x53;  // 'S'
inline constexpr std::uint8_t CommandRest = 0x52;  // 'R': neither read nor write requested

// Pure helpers over any 19-byte frame.
// (sum of bytes 3..16) mod 256
std::uint8_t FrameChecksum(const std::uint8_t* frame);
// XOR of bytes 0..17
std::uint8_t FrameCheckByte(const std::uint8_t* frame);

// Over a link's buffer: frames are read from and assembled at its start.
// Bytes 0..3 are the invitation FF 00 00 FF.
bool IsInvitation(const std::uint8_t* buffer);
// Writes the 5 wake bytes at offsets 0..4.
void PutWakeFrame(std::uint8_t* buffer);
// The 19 bytes at the start are a reply for expectedBlock: byte 4 is the block
// and byte 17 the checksum; bytes 0..3 and 18 are not examined.
bool ReplyAccepted(const std::uint8_t* buffer, int expectedBlock);
// Assembles a request in place. For 'W' bytes 5..17 carry image block `block`
// and its checksum; for 'S' and 'R' they stay as the buffer holds them.
void PutRequest(std::uint8_t* buffer, std::uint8_t command, int block, const ParamImage& image);

// The same over LinkBuffer, the bound link's buffer.
bool IsInvitation();
void PutWakeFrame();
bool ReplyAccepted(int expectedBlock);
void PutRequest(std::uint8_t command, int block, const ParamImage& image);
