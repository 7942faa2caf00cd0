// Program-wide configuration state: the parameter image, the address table, the
// operating mode, the common options and the lock. Every change is
// announced through a signal so a view can show it at once without polling.
#pragma once

#include "AddressTable.h"
#include "ParamImage.h"

#include <QObject>
#include <QStringList>

enum OperatingModeValue : int {
    SpeechMode = 0,       // speech announcement
    OtherDevicesMode = 1, // other devices
};

struct CommonOptions
{
    bool checkFaultInput = false;  // check the fault on the КН input
    bool startAcknowledge = false; // start acknowledgement; decoded only, never shown
    bool controlUpa = true;        // control the УПА (true) or the alerting (false)

    bool operator==(const CommonOptions&) const = default;
};

class ConfigModel : public QObject
{
    Q_OBJECT
public:
    explicit ConfigModel(QObject* parent = nullptr);

    // --- state -----------------------------------------------------------
    ParamImage& image() { return image_; }
    const ParamImage& image() const { return image_; }

    const AddressTable& table() const { return table_; }
    const QString& cell(int page, int row, int column) const
    {
        return table_.cell(page, row, column);
    }
    void setCell(int page, int row, int column, const QString& text);

    int OperatingMode() const { return mode_; }
    void setOperatingMode(int mode);

    const CommonOptions& options() const { return options_; }
    void setOptions(const CommonOptions& options);
    void setCheckFaultInput(bool checked);
    void setStartAcknowledge(bool checked);
    void setControlUpa(bool upa); // false: control the alerting

    // The table, mode and options set back at once as they were (an undo): no
    // conversion runs; each change is announced as usual.
    void Restore(const AddressTable& table, int mode, const CommonOptions& options);

    bool ConfigLocked() const { return locked_; }
    void setConfigLocked(bool locked);

    // --- address table codec ---------------------------------------------
    QString DelayText(int address) const;
    void TableToImage();
    void ImageToTable();
    // The image with the table encoded into bytes 0..63: what a write or Save
    // would send now. The model's image is not touched.
    ParamImage EncodedImage() const;
    // The same conversions with another image: encode into `target` (bytes
    // 0..63; the rest stays), or decode `source`. The model's image is not touched.
    void TableToImage(ParamImage& target) const;
    void ImageToTable(const ParamImage& source);

    // --- table editing rules ---------------------------------------------
    // The choices a mode (column 1) or delay (column 2) cell offers in a mode.
    static QStringList Choices(int column, int mode);
    void ToggleModeColumn(int page);
    void AdvanceDelayColumn(int page);
    void ModeCellChanged(int page, int row, const QString& text);
    // Converts the table after the operator chose the operating mode now set.
    void ApplyOperatingMode();

    // Header texts and address numbers of the four pages.
    void LabelPages();

signals:
    void cellChanged(int page, int row, int column);
    void operatingModeChanged(int mode);
    void optionsChanged();
    void configLockedChanged(bool locked);

private:
    void setModeAndDelay(int address, const QString& mode, const QString& delay);
    QString delayText(std::uint8_t addressByte) const;

    ParamImage image_;
    AddressTable table_;
    int mode_ = SpeechMode;
    CommonOptions options_;
    bool locked_ = false;
};
