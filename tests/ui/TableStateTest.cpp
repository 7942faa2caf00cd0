// Where the table stands against the device, from the session's record and the
// table's encoded image: each case's short form (title and state line), what
// the tooltip must name, and whether it is shown as a warning.
#include "TableState.h"
#include "UiTexts.h"

#include <QDateTime>

#include <gtest/gtest.h>

namespace {

using Content = DeviceRecord::Content;
using Kind = TableState::Kind;

ParamImage Configured()
{
    ParamImage image;
    image.setByte(1, 0x04); // speech mode
    for (int a = 0; a < 64; a += 5)
        image.setByte(a, image.byte(a) | 0x80 | 0x10); // used, 30 s
    return image;
}

DeviceRecord Holding(const ParamImage& image, DeviceRecord::Source source)
{
    DeviceRecord record;
    record.port = QStringLiteral("COM3");
    record.content = Content::Holds;
    record.image = image;
    record.source = source;
    record.at = QDateTime(QDate(2026, 3, 4), QTime(14, 5, 59));
    return record;
}

} // namespace

TEST(TableStateTest, EachRecordAndTable_SayWhereTheTableStands)
{
    const ParamImage table = Configured();
    ParamImage edited = table; // three addresses and one other byte changed
    for (int a : {2, 3, 4})
        edited.setByte(a, 0x80);
    ParamImage otherByte = edited;
    otherByte.setByte(64, 0x01);
    ParamImage lowBits = table; // bits of address 1 no cell shows
    lowBits.setByte(0, lowBits.byte(0) | 0x01);

    const auto read = Holding(table, DeviceRecord::Source::Read);
    const auto written = Holding(table, DeviceRecord::Source::WrittenAndVerified);
    DeviceRecord none;
    DeviceRecord unknown;
    unknown.port = QStringLiteral("COM3");
    DeviceRecord partly = unknown;
    partly.content = Content::PartlyWritten;
    partly.confirmedBlocks = 2;
    partly.backup = QStringLiteral("/b/COM3.device.lmk");
    DeviceRecord silent = written;
    silent.line = DeviceRecord::Line::NoReply;
    silent.silentMs = 7900;
    DeviceRecord lost = read;
    lost.line = DeviceRecord::Line::Lost;
    lost.lostReason = QStringLiteral("сервер закрыл соединение");
    DeviceRecord disagree = unknown;
    disagree.content = Content::ReadsDisagree;
    DeviceRecord unconfirmed = unknown;
    unconfirmed.content = Content::Unconfirmed;

    const struct
    {
        const char* what;
        DeviceRecord record;
        ParamImage table;
        bool tableUnshown;
        Kind kind;
        QString shortText;
        QString longNames; // a part the tooltip must hold
        bool warning;
    } cases[] = {
        {"no port", none, table, false, Kind::NoPort, "порт не выбран", "не выбран", false},
        {"nothing read", unknown, table, false, Kind::Unknown, "COM3: содержимое не известно",
         "COM3", false},
        {"read", read, table, false, Kind::Same, "COM3: как в устройстве, 14:05", "14:05", false},
        {"written", written, table, false, Kind::Same, "COM3: записано и проверено 14:05",
         "проверена", false},
        // The first edit ends the claim.
        {"edited after a write", written, edited, false, Kind::Differs, "COM3: отличается, 3 адр.",
         "записано в устройство на COM3 в 14:05: адресов: 3", true},
        {"edited after a read", read, otherByte, false, Kind::Differs,
         "COM3: отличается, 3 адр., 1 служ. байт", "служебных байтов: 1", true},
        {"device holds bits the table cannot show", Holding(lowBits, DeviceRecord::Source::Read),
         table, false, Kind::Same,
         "COM3: как в устройстве, 14:05; запись изменит биты, которых таблица не показывает",
         "запись изменит биты", false},
        // Counted exactly: the edits and the bits a write would drop.
        {"edited, device holds bits the table cannot show",
         Holding(lowBits, DeviceRecord::Source::Read), edited, false, Kind::Differs,
         "COM3: отличается, 4 адр.; запись изменит биты, которых таблица не показывает",
         "адресов: 4", true},
        {"file with bits the table cannot show", unknown, table, true, Kind::Unknown,
         "COM3: содержимое не известно; запись изменит биты, которых таблица не показывает",
         "запись изменит биты", false},
        {"partly written", partly, table, false, Kind::PartlyWritten,
         "COM3: записано не полностью, 2 из 6",
         "Устройство на COM3 записано не полностью (2 из 6 блоков). Резервная копия: "
         "/b/COM3.device.lmk",
         true},
        {"silent", silent, table, false, Kind::NoReply, "COM3: нет ответа 7 с",
         "нет ответа от БС 7 с: проверьте кабель, питание БС и выбор порта; выберите порт "
         "снова, чтобы повторить",
         true},
        {"lost", lost, table, false, Kind::Lost, "COM3: соединение потеряно",
         "сервер закрыл соединение", true},
        {"reads disagree", disagree, table, false, Kind::ReadsDisagree, "COM3: чтения не совпали",
         "разные данные", true},
        {"confirmation cut", unconfirmed, table, false, Kind::Unconfirmed,
         "COM3: чтение не подтверждено", "проверочное чтение не завершено", true},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.what);
        const TableState state = DescribeTable(c.record, c.table, c.tableUnshown);
        EXPECT_EQ(state.kind, c.kind);
        EXPECT_EQ(state.shortText, c.shortText);
        // The state line keeps the note short; its tooltip says it in full.
        EXPECT_EQ(state.lineText,
                  QString(c.shortText).replace(UiTexts::UnshownBitsNote, UiTexts::UnshownBitsShort));
        EXPECT_TRUE(state.longText.contains(c.longNames)) << state.longText.toStdString();
        EXPECT_EQ(state.warning, c.warning);
    }
}
