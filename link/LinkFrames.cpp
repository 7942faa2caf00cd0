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

bool IsInvitation()
{
    for (int i = 0; i < InviteFrameSize; ++i) {
        if (LinkBuffer[i] != InviteFrame[i])
            return false;
    }
    return true;
}

void PutWakeFrame()
{
    for (int i = 0; i < WakeFrameSize; ++i)
        LinkBuffer[i] = WakeFrame[i];
}

bool ReplyAccepted(int expectedBlock)
{
    return LinkBuffer[4] == expectedBlock && LinkBuffer[17] == FrameChecksum(LinkBuffer);
}

void PutRequest(std::uint8_t command, int block, const ParamImage& image)
{
    LinkBuffer[0] = 0xFF;
    LinkBuffer[1] = 0x81;
    LinkBuffer[2] = 0x00;
    LinkBuffer[3] = command;
    LinkBuffer[4] = std::uint8_t(block);
    if (command == CommandWrite) {
        const ParamImage::Block data = image.block(block);
        for (int i = 0; i < ParamImage::BlockSize; ++i)
            LinkBuffer[5 + i] = data[i];
        LinkBuffer[17] = FrameChecksum(LinkBuffer);
    }
    LinkBuffer[18] = FrameCheckByte(LinkBuffer);
}
