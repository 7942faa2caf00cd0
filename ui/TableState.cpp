#include "TableState.h"

#include "ConfigModel.h"
#include "UiTexts.h"

namespace {

// `image` as the table shows it: decoded and encoded again, so bits no cell or
// option presents are dropped and bytes 64..69 stay.
ParamImage AsTableShows(const ParamImage& image)
{
    ConfigModel model;
    model.ImageToTable(image);
    ParamImage shown = image;
    model.TableToImage(shown);
    return shown;
}

void DescribeContent(TableState& state, const DeviceRecord& record, const ParamImage& encodedTable)
{
    using Content = DeviceRecord::Content;
    using Kind = TableState::Kind;
    const QString& port = record.port;
    switch (record.content) {
    case Content::Unknown:
        state.kind = Kind::Unknown;
        state.shortText = UiTexts::StateUnknown.arg(port);
        state.longText = UiTexts::StateUnknownLong.arg(port);
        return;
    case Content::Confirming:
        state.kind = Kind::Confirming;
        state.shortText = UiTexts::StateConfirming.arg(port);
        state.longText = UiTexts::StateConfirmingLong.arg(port);
        return;
    case Content::ReadsDisagree:
        state.kind = Kind::ReadsDisagree;
        state.shortText = UiTexts::StateReadsDisagree.arg(port);
        state.longText = UiTexts::StateReadsDisagreeLong.arg(port);
        return;
    case Content::Unconfirmed:
        state.kind = Kind::Unconfirmed;
        state.shortText = UiTexts::StateUnconfirmed.arg(port);
        state.longText = UiTexts::StateUnconfirmedLong.arg(port);
        return;
    case Content::PartlyWritten:
        state.kind = Kind::PartlyWritten;
        state.shortText = UiTexts::StatePartlyWritten.arg(port).arg(record.confirmedBlocks);
        state.longText = UiTexts::PartlyWrittenLong(port, record.confirmedBlocks, record.backup);
        return;
    case Content::Holds:
        break;
    }
    const QString at = record.at.toString(QStringLiteral("HH:mm"));
    const bool written = record.source == DeviceRecord::Source::WrittenAndVerified;
    state.difference = record.DifferenceFrom(encodedTable);
    const ParamImage shown = state.difference.none() ? record.image : AsTableShows(record.image);
    // A table that shows all the device holds, where only bits it cannot show
    // differ, is the device's configuration; the note says a write changes them.
    if (state.difference.none() || CompareImages(shown, encodedTable).none()) {
        state.unshownBits = !state.difference.none();
        state.difference = {};
        state.kind = Kind::Same;
        state.shortText =
            (written ? UiTexts::StateSameWritten : UiTexts::StateSameRead).arg(port, at);
        state.longText =
            (written ? UiTexts::StateSameWrittenLong : UiTexts::StateSameReadLong).arg(port, at);
        return;
    }
    state.kind = Kind::Differs;
    // Part of the difference may be bits no cell shows: a write changes them too.
    state.unshownBits = !CompareImages(shown, record.image).none();
    state.shortText =
        UiTexts::StateDiffers(port, state.difference.addresses, state.difference.otherBytes);
    state.longText = UiTexts::StateDiffersLong(port, written, at, state.difference.addresses,
                                               state.difference.otherBytes);
}

} // namespace

TableState DescribeTable(const DeviceRecord& record, const ParamImage& encodedTable,
                         bool tableHoldsUnshownBits)
{
    using Kind = TableState::Kind;
    TableState state;
    if (record.port.isEmpty()) {
        state.shortText = UiTexts::StateNoPort;
        state.longText = UiTexts::StateNoPortLong;
    } else {
        DescribeContent(state, record, encodedTable);
    }
    // The line, when it is not answering, stands over what the device holds.
    if (!record.port.isEmpty() && record.line == DeviceRecord::Line::NoReply) {
        const QString content = state.longText;
        state.kind = Kind::NoReply;
        state.shortText = UiTexts::StateNoReply.arg(record.port).arg(record.silentSeconds());
        state.longText =
            UiTexts::StateNoReplyLong.arg(record.silentSeconds()) + QStringLiteral("\n") + content;
    } else if (!record.port.isEmpty() && record.line == DeviceRecord::Line::Lost) {
        const QString content = state.longText;
        state.kind = Kind::Lost;
        state.shortText = UiTexts::StateLost.arg(record.port);
        state.longText = UiTexts::StateLostLong.arg(record.port, record.lostReason) +
                         QStringLiteral("\n") + content;
    }
    state.unshownBits = state.unshownBits || tableHoldsUnshownBits;
    state.lineText = state.shortText;
    if (state.unshownBits) {
        state.lineText += QStringLiteral("; ") + UiTexts::UnshownBitsShort;
        state.shortText += QStringLiteral("; ") + UiTexts::UnshownBitsNote;
        state.longText += QStringLiteral("\n") + UiTexts::UnshownBitsNote + QStringLiteral(".");
    }
    state.warning = state.kind != Kind::NoPort && state.kind != Kind::Unknown &&
                    state.kind != Kind::Confirming && state.kind != Kind::Same;
    return state;
}
