// What a port selection or a transfer came to, for each user to put in words.
#pragma once

enum class LinkOutcome {
    Connected,     // the link test passed and a read started
    PortNotOpened, // the port did not open (the link reported "Not open ")
    NoDevice,      // no 4 bytes within 500 ms of opening; the port was closed
    WakeNotSent,   // the invitation came but the wake frame could not be sent
    NotConnected,  // no accepted reply within 13 ticks of a start
    Written,       // a write completed
    Read,          // a read completed and was decoded into the table
};
