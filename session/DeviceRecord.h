// What the program knows about the device on the connected port: a value the
// session keeps up to date (DeviceSession::record()) and a window's state line
// is made from ("COM3: отличается, 3 адр.", "COM3: нет ответа 7 с",
// "COM3: записано не полностью, 2 из 6").
#pragma once

#include "ParamImage.h"

#include <QDateTime>
#include <QString>

#include <cstdint>

// How two images differ in the bytes a file holds.
struct ImageDifference
{
    int addresses = 0;  // differing bytes among 0..63 (one an address)
    int otherBytes = 0; // differing bytes among 64..69
    bool none() const { return addresses == 0 && otherBytes == 0; }
    bool operator==(const ImageDifference&) const = default;
};

// Bytes 0..69 of `a` against `b`; bytes 70 and 71 are not compared.
ImageDifference CompareImages(const ParamImage& a, const ParamImage& b);

// Whether bytes 0..69 hold bits the address table cannot show (bits it does not
// decode, or any of bytes 64..69 set): writing such an image from the table
// would change them.
bool HasBitsTableCannotShow(const ParamImage& image);

struct DeviceRecord
{
    // What the device holds.
    enum class Content {
        Unknown,       // nothing read from it, or what it holds is in doubt
        Holds,         // `image`, by a read or a verified write at `at`
        PartlyWritten, // a write stopped after `confirmedBlocks` of 6
        Confirming,    // read once; a second read is to confirm it
        ReadsDisagree, // two (or three) reads gave different bytes
        Unconfirmed,   // a read filled the table; its confirmation did not end
    };
    // How the line to it stands (shown over Content when not Answering).
    enum class Line {
        Answering, // replies are accepted, or no transfer has waited for one
        NoReply,   // a transfer has had no accepted reply for `silentMs`
        Lost,      // a network connection is gone (`lostReason`)
    };
    enum class Source { Read, WrittenAndVerified };

    QString port; // empty: no port connected
    Content content = Content::Unknown;
    Line line = Line::Answering;

    // Content::Holds
    ParamImage image;
    Source source = Source::Read;
    QDateTime at;
    bool unshownBits = false; // image holds bits the table cannot show

    // Content::PartlyWritten
    int confirmedBlocks = 0;
    bool oneMoreSent = false; // one more block went out without an answer
    QString backup;           // what the device held before (may be empty)

    // Line::NoReply and Line::Lost
    std::int64_t silentMs = 0;
    QString lostReason;

    bool known() const { return content == Content::Holds; }
    int silentSeconds() const { return int(silentMs / 1000); }
    // Against a table's encoded image or a file: when the content is known.
    ImageDifference DifferenceFrom(const ParamImage& other) const
    {
        return CompareImages(image, other);
    }
    bool SameAs(const ParamImage& other) const { return known() && DifferenceFrom(other).none(); }

    bool operator==(const DeviceRecord&) const = default;
};
