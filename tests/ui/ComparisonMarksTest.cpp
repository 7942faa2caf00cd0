// The comparison's marks without a window: which addresses differ as the table
// would show them, what else differs, and that any change to the model takes
// the marks away.
#include "ComparisonMarks.h"

#include "ConfigModel.h"
#include "CoreTexts.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

#include <functional>

using namespace CoreTexts;

namespace {

struct Case
{
    const char* name;
    std::function<void(ConfigModel&)> table;
    std::vector<std::pair<int, std::uint8_t>> other; // byte index, value
    QList<int> addresses;
    bool modeDiffers;
    int unshownBytes;
};

} // namespace

TEST(ComparisonMarks, MarkExactlyTheAddressesWhoseRowsDiffer_AndCountWhatNoCellShows)
{
    const Case cases[] = {
        {"the same", [](ConfigModel&) {}, {}, {}, false, 0},
        {"used on the other side", [](ConfigModel&) {}, {{2, 0x88}, {19, 0x80}}, {3, 20}, false, 0},
        {"a delay only",
         [](ConfigModel& m) {
             m.setCell(1, 5, 1, MessageText(1));
             m.setCell(1, 5, 2, Delay30);
         },
         {{4, 0x90}},
         {5},
         false,
         0},
        {"unused in the other", [](ConfigModel& m) { m.setCell(4, 16, 1, MessageText(2)); }, {}, {64},
         false, 0},
        {"bits no cell shows", [](ConfigModel&) {}, {{6, 0x10}, {65, 0x01}}, {}, false, 2},
        {"the other mode", [](ConfigModel&) {}, {{0, 0x84}}, {1}, true, 0},
        {"only the speech mode's fault-input bit", [](ConfigModel&) {}, {{1, 0x00}}, {}, false, 1},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        ConfigModel model;
        model.LabelPages();
        model.ImageToTable();
        c.table(model);
        ComparisonMarks marks(model);
        ParamImage other;
        other.setByte(1, 0x04); // what the speech mode's encoding of the table sets
        for (const auto& [index, value] : c.other)
            other.setByte(index, value);
        const Comparison result = marks.Compare(other);
        EXPECT_EQ(result.addresses, c.addresses);
        EXPECT_EQ(result.modeDiffers, c.modeDiffers);
        EXPECT_EQ(result.unshownBytes, c.unshownBytes);
        EXPECT_EQ(result.none(), c.addresses.isEmpty() && !c.modeDiffers && c.unshownBytes == 0);
        for (int a = 1; a <= 64; ++a)
            EXPECT_EQ(marks.Marked((a - 1) / 16 + 1, (a - 1) % 16 + 1), c.addresses.contains(a))
                << "address " << a;
    }
}

TEST(ComparisonMarks, AnyChangeToTheModelTakesThemAway)
{
    const std::pair<const char*, std::function<void(ConfigModel&)>> changes[] = {
        {"a cell", [](ConfigModel& m) { m.setCell(2, 1, 1, MessageText(4)); }},
        {"the mode", [](ConfigModel& m) { m.setOperatingMode(OtherDevicesMode); }},
        {"an option", [](ConfigModel& m) { m.setCheckFaultInput(true); }},
    };
    for (const auto& [name, change] : changes) {
        SCOPED_TRACE(name);
        ConfigModel model;
        model.ImageToTable();
        ComparisonMarks marks(model);
        ParamImage other;
        other.setByte(0, 0x80);
        marks.Compare(other);
        ASSERT_TRUE(marks.Any());
        QSignalSpy changed(&marks, &ComparisonMarks::changed);
        change(model);
        EXPECT_FALSE(marks.Any());
        EXPECT_FALSE(marks.Marked(1, 1));
        EXPECT_EQ(changed.count(), 1);
    }
}
