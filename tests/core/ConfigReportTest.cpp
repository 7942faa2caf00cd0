// The report's differences: bytes written and read back, and two decoded
// configurations. (Its text and JSON forms are checked through lumkctl show.)
#include "ConfigReport.h"
#include "ConfigModel.h"
#include "ParamImage.h"

#include <gtest/gtest.h>

namespace {

// The window's state right after start-up without a locked file.
void StartLikeWindow(ConfigModel& model)
{
    model.LabelPages();
    model.image().zeroStoredPrefix();
    model.ImageToTable();
}

} // namespace

TEST(ConfigReport, ImageDifferences_NameAddressesAndUnshownBytes_IgnoreBytes70And71)
{
    ParamImage written, read;
    written.setByte(0, 0x87);
    written.setByte(63, 0x80);
    read.setByte(64, 0x12);
    read.setByte(69, 0xAB);
    read.setByte(70, 0x01); // never stored in files, not compared
    read.setByte(71, 0x02);
    EXPECT_EQ(
        ImageDifferences(written, read),
        (QStringList{"адрес 1: записано 87, прочитано 00", "адрес 64: записано 80, прочитано 00",
                     "байт 64: записано 00, прочитано 12", "байт 69: записано 00, прочитано AB"}));
    EXPECT_TRUE(ImageDifferences(written, written).isEmpty());
}

TEST(ConfigReport, ConfigDifferences_ReportModeOptionsAndAddresses)
{
    ConfigModel device, file;
    StartLikeWindow(device);
    StartLikeWindow(file);
    EXPECT_TRUE(ConfigDifferences(device, file).isEmpty());

    device.image().setByte(0, 0x87); // other devices, address 1 "Да", UPA, acknowledgement
    device.image().setByte(4, 0xA0); // address 5: 120 s
    device.ImageToTable();
    file.image().setByte(4, 0xA0); // speech: address 5 "Сообщ.1" 120 s
    file.ImageToTable();
    EXPECT_EQ(ConfigDifferences(device, file),
              (QStringList{
                  "Режим работы: устройство «Другие устройства», файл «Речевое оповещение "
                  "\"Тилан\"»",
                  "квитирование запуска: устройство «да», файл «нет»",
                  "Адрес 1: устройство «Да 0 сек.», файл «Нет»",
                  "Адрес 5: устройство «Да 120 сек.», файл «Сообщ.1 120 сек.»",
              }));
}
