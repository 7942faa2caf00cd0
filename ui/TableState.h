// Where the window's table stands against the device on the connected port,
// worked out from the session's record and the table's encoded image alone:
// the window shows the short form in its title and state line and the long
// form as the state line's tooltip. Nothing here is remembered between calls,
// so a claim ("записано и проверено") lasts exactly as long as it is true.
#pragma once

#include "DeviceRecord.h"
#include "ParamImage.h"

#include <QString>

struct TableState
{
    enum class Kind {
        NoPort,        // no port connected
        Unknown,       // nothing read there, or the device changed since
        Confirming,    // read once, the confirming read runs
        Same,          // the table encodes what the device holds
        Differs,       // `difference` from what the device held
        PartlyWritten, // a write stopped part-way
        ReadsDisagree, // two reads gave different bytes
        Unconfirmed,   // the table was read, its confirmation did not end
        NoReply,       // a transfer waits for an accepted reply
        Lost,          // the network connection is gone
    };
    Kind kind = Kind::NoPort;
    ImageDifference difference; // Differs
    // A write from the table would change bits the table cannot show.
    bool unshownBits = false;
    // Something the operator should act on: shown in a warning tone.
    bool warning = false;
    QString shortText; // "COM3: отличается, 3 адр." (the title)
    QString lineText;  // the same for the state line, its notes kept short
    QString longText;  // the tooltip: what it means and what to do

    bool operator==(const TableState&) const = default;
};

// `encodedTable`: the model's image with the table encoded into it (what a
// write or Save would produce now). `tableHoldsUnshownBits`: the table was
// loaded from bytes it cannot show all of.
TableState DescribeTable(const DeviceRecord& record, const ParamImage& encodedTable,
                         bool tableHoldsUnshownBits);
