// Table editing rules: choice lists, header actions, mode-cell refresh and the
// conversion of the table when the operating mode changes.
#include "ConfigModel.h"
#include "CoreTexts.h"

#include <QSignalSpy>

#include <gtest/gtest.h>

using namespace CoreTexts;

namespace {

class EditingRules : public ::testing::Test
{
protected:
    void SetUp() override
    {
        m.LabelPages();
        m.ImageToTable();
    }
    QString mode(int page, int row) const { return m.cell(page, row, 1); }
    QString delay(int page, int row) const { return m.cell(page, row, 2); }
    void setRow(int page, int row, const QString& mode, const QString& delay)
    {
        m.setCell(page, row, 1, mode);
        m.setCell(page, row, 2, delay);
    }
    ConfigModel m;
};

} // namespace

TEST(Choices, ListsPerColumnAndModeInDisplayOrder)
{
    EXPECT_EQ(ConfigModel::Choices(1, SpeechMode),
              (QStringList{"Нет", "Сообщ.1", "Сообщ.2", "Сообщ.3", "Сообщ.4"}));
    EXPECT_EQ(ConfigModel::Choices(1, OtherDevicesMode), (QStringList{"Нет", "Да"}));
    EXPECT_EQ(ConfigModel::Choices(2, SpeechMode),
              (QStringList{"30 сек.", "60 сек.", "120 сек.", "240 сек."}));
    EXPECT_EQ(ConfigModel::Choices(2, OtherDevicesMode),
              (QStringList{"0 сек.", "60 сек.", "120 сек.", "360 сек."}));
    EXPECT_TRUE(ConfigModel::Choices(0, SpeechMode).isEmpty());
}

TEST_F(EditingRules, ToggleModeColumnFlipsEachRowOnItsOwn)
{
    m.ToggleModeColumn(2);
    for (int row = 1; row <= 16; ++row) {
        EXPECT_EQ(mode(2, row), MessageText(1));
        EXPECT_EQ(delay(2, row), Delay30);
        EXPECT_EQ(mode(1, row), ModeUnused); // other pages untouched
    }
    setRow(2, 5, ModeUnused, QString());
    setRow(2, 6, MessageText(4), Delay240);
    m.ToggleModeColumn(2);
    for (int row = 1; row <= 16; ++row) {
        EXPECT_EQ(mode(2, row), row == 5 ? MessageText(1) : ModeUnused) << row;
        EXPECT_EQ(delay(2, row), row == 5 ? Delay30 : QString()) << row;
    }
    EXPECT_EQ(m.cell(2, 0, 1), HeaderMode); // the header row is not a data row

    m.setOperatingMode(OtherDevicesMode);
    setRow(3, 1, QString(), QString()); // an empty mode counts as unused
    m.ToggleModeColumn(3);
    EXPECT_EQ(mode(3, 1), ModeUsed);
    EXPECT_EQ(delay(3, 1), Delay0);
    EXPECT_EQ(mode(3, 16), ModeUsed);
}

TEST_F(EditingRules, AdvanceDelayColumnCyclesInBothModes)
{
    const QStringList speechCycle = {Delay30, Delay60, Delay120, Delay240};
    const QStringList otherCycle = {Delay0, Delay60, Delay120, Delay360};
    for (int modeValue : {SpeechMode, OtherDevicesMode}) {
        m.setOperatingMode(modeValue);
        const QStringList& cycle = modeValue == SpeechMode ? speechCycle : otherCycle;
        for (int row = 1; row <= 4; ++row)
            setRow(1, row, ModeUsed, cycle.at(row - 1));
        setRow(1, 5, ModeUnused, QString());
        for (int step = 1; step <= 4; ++step) {
            m.AdvanceDelayColumn(1);
            for (int row = 1; row <= 4; ++row)
                EXPECT_EQ(delay(1, row), cycle.at((row - 1 + step) % 4)) << modeValue << step;
            EXPECT_EQ(delay(1, 5), QString());
        }
    }
}

TEST_F(EditingRules, AdvanceDelayColumnCarriesTheOtherModesValues)
{
    const std::pair<QString, QString> speech[] = {
        {Delay360, Delay30}, {Delay0, Delay60}, {QStringLiteral("x"), QStringLiteral("x")}};
    for (const auto& [from, to] : speech) {
        setRow(4, 1, MessageText(1), from);
        m.AdvanceDelayColumn(4);
        EXPECT_EQ(delay(4, 1), to);
    }
    m.setOperatingMode(OtherDevicesMode);
    const std::pair<QString, QString> other[] = {{Delay240, Delay0}, {Delay30, Delay60}};
    for (const auto& [from, to] : other) {
        setRow(4, 1, ModeUsed, from);
        m.AdvanceDelayColumn(4);
        EXPECT_EQ(delay(4, 1), to);
    }
}

TEST_F(EditingRules, ModeCellChangedTakesTheDelayFromTheImage)
{
    setRow(2, 3, MessageText(2), Delay120); // address 19, image byte still 0
    m.ModeCellChanged(2, 3, MessageText(2));
    EXPECT_EQ(delay(2, 3), Delay30);

    m.image().setByte(18, 0x30); // bit 7 is not looked at
    m.ModeCellChanged(2, 3, MessageText(4));
    EXPECT_EQ(delay(2, 3), Delay240);
    m.setOperatingMode(OtherDevicesMode);
    m.ModeCellChanged(2, 3, ModeUsed);
    EXPECT_EQ(delay(2, 3), Delay360);

    m.ModeCellChanged(2, 3, ModeUnused);
    EXPECT_EQ(delay(2, 3), QString());
}

TEST_F(EditingRules, SwitchingModesConvertsUsedRowsWithImageDelays)
{
    setRow(1, 1, MessageText(3), Delay240);
    setRow(1, 2, MessageText(1), Delay60);
    setRow(4, 16, MessageText(4), Delay120);
    m.image().setByte(1, 0x10); // address 2's image delay code 1
    m.image().setByte(63, 0x30);

    QSignalSpy modeSpy(&m, &ConfigModel::operatingModeChanged);
    m.setOperatingMode(OtherDevicesMode);
    m.ApplyOperatingMode();
    EXPECT_GE(modeSpy.count(), 1);
    EXPECT_EQ(mode(1, 1), ModeUsed);
    EXPECT_EQ(delay(1, 1), Delay0); // from the image, not the edited cell
    EXPECT_EQ(delay(1, 2), Delay60);
    EXPECT_EQ(mode(4, 16), ModeUsed);
    EXPECT_EQ(delay(4, 16), Delay360);
    EXPECT_EQ(mode(1, 3), ModeUnused);
    EXPECT_EQ(delay(1, 3), QString());

    m.setOperatingMode(SpeechMode);
    m.ApplyOperatingMode();
    EXPECT_EQ(mode(1, 1), MessageText(1)); // not back to "Сообщ.3"
    EXPECT_EQ(delay(1, 1), Delay30);
    EXPECT_EQ(delay(4, 16), Delay240);
    EXPECT_EQ(mode(1, 3), ModeUnused);

    // Choosing the same mode again converts nothing.
    const AddressTable before = m.table();
    m.ApplyOperatingMode();
    EXPECT_EQ(m.table(), before);
}

TEST_F(EditingRules, DoubleToggleGivesDefaultsBack)
{
    // A double click on the mode header runs the toggle twice.
    setRow(3, 2, MessageText(3), Delay120);
    m.ToggleModeColumn(3);
    m.ToggleModeColumn(3);
    EXPECT_EQ(mode(3, 2), MessageText(1));
    EXPECT_EQ(delay(3, 2), Delay30);
    EXPECT_EQ(mode(3, 1), ModeUnused);
}

TEST_F(EditingRules, ModelAnnouncesOptionAndLockChanges)
{
    QSignalSpy options(&m, &ConfigModel::optionsChanged);
    QSignalSpy locked(&m, &ConfigModel::configLockedChanged);
    m.setCheckFaultInput(true);
    m.setCheckFaultInput(true); // no change, no announcement
    m.setControlUpa(false);
    m.setConfigLocked(true);
    EXPECT_EQ(options.count(), 2);
    EXPECT_EQ(locked.count(), 1);
}
