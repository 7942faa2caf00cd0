#include "LinkFrames.h"

#include "ComUtilites.h"
#include "ParamImage.h"

std::uint8_t FrameChecksum(const std::uint8_t* frame)
{
    unsigned sum = 0;
    for (int i = 3; i <= 16; ++i)
        sum += frame[i];
    return std::uint8_t(sum & 0xFF);
}

std::uint8_t FrameCheckByte(const std::uint8_t* frame)
{
    std::uint8_t x = 0;
    for (int i = 0; i <= 17; ++i)
        x ^= frame[i];
    return x;
}

bool IsInvitation(const std::uint8_t* buffer)
{
    for (int i = 0; i < InviteFrameSize; ++i) {
        if (buffer[i] != InviteFrame[i])
            return false;
    }
    return true;
}

void PutWakeFrame(std::uint8_t* buffer)
{
    for (int i = 0; i < WakeFrameSize; ++i)
        buffer[i] = WakeFrame[i];
}

bool ReplyAccepted(const std::uint8_t* buffer, int expectedBlock)
{
    return buffer[4] == expectedBlock && buffer[17] == FrameChecksum(buffer);
}

void PutRequest(std::uint8_t* buffer, std::uint8_t command, int block, const ParamImage& image)
{
    buffer[0] = 0xFF;
    buffer[1] = 0x81;
    buffer[2] = 0x00;
    buffer[3] = command;
    buffer[4] = std::uint8_t(block);
    if (command == CommandWrite) {
        const ParamImage::Block data = image.block(block);
        for (int i = 0; i < ParamImage::BlockSize; ++i)
            buffer[5 + i] = data[i];
        buffer[17] = FrameChecksum(buffer);
    }
    buffer[18] = FrameCheckByte(buffer);
}

bool IsInvitation()
{
    return IsInvitation(LinkBuffer());
}

void PutWakeFrame()
{
    PutWakeFrame(LinkBuffer());
}

bool ReplyAccepted(int expectedBlock)
{
    return ReplyAccepted(LinkBuffer(), expectedBlock);
}

void PutRequest(std::uint8_t command, int block, const ParamImage& image)
{
    PutRequest(LinkBuffer(), command, block, image);
}
