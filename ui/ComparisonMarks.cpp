#include "ComparisonMarks.h"

#include "AddressTable.h"
#include "ConfigModel.h"
#include "ConfigReport.h"
#include "UiTexts.h"

#include <algorithm>

ComparisonMarks::ComparisonMarks(const ConfigModel& model, QObject* parent)
    : QObject(parent), model_(model)
{
    connect(&model_, &ConfigModel::cellChanged, this, &ComparisonMarks::Clear);
    connect(&model_, &ConfigModel::operatingModeChanged, this, &ComparisonMarks::Clear);
    connect(&model_, &ConfigModel::optionsChanged, this, &ComparisonMarks::Clear);
}

Comparison ComparisonMarks::Compare(const ParamImage& other)
{
    // What the table would show after a read or Open of `other`: decoding keeps
    // the mode and options when no address is used.
    ConfigModel shown;
    shown.setOperatingMode(model_.OperatingMode());
    shown.setOptions(model_.options());
    shown.ImageToTable(other);

    Comparison result;
    for (int a = 1; a <= AddressTable::Addresses; ++a) {
        const int page = (a - 1) / 16 + 1;
        const int row = (a - 1) % 16 + 1;
        const bool differs =
            shown.cell(page, row, AddressTable::ModeColumn) !=
                model_.cell(page, row, AddressTable::ModeColumn) ||
            shown.cell(page, row, AddressTable::DelayColumn) !=
                model_.cell(page, row, AddressTable::DelayColumn);
        marked_[a - 1] = differs;
        if (differs)
            result.addresses << a;
    }
    result.modeDiffers = shown.OperatingMode() != model_.OperatingMode();
    result.optionsDiffer = !(shown.options() == model_.options());
    result.unshownBytes = int(UnshownDifferences(other, model_.EncodedImage()).size());
    emit changed();
    return result;
}

bool ComparisonMarks::Marked(int page, int row) const
{
    const int index = (page - 1) * 16 + row - 1;
    return row >= 1 && row <= 16 && index >= 0 && index < int(marked_.size()) && marked_[index];
}

bool ComparisonMarks::Any() const
{
    return std::any_of(marked_.begin(), marked_.end(), [](bool m) { return m; });
}

void ComparisonMarks::Clear()
{
    if (!Any())
        return;
    marked_.fill(false);
    emit changed();
}

QString ComparisonText(const QString& other, const Comparison& comparison)
{
    if (comparison.none())
        return UiTexts::CompareSame(other);
    QStringList lines{UiTexts::CompareDiffers(other, int(comparison.addresses.size()))};
    if (comparison.modeDiffers)
        lines << UiTexts::CompareModeDiffers;
    if (comparison.optionsDiffer)
        lines << UiTexts::CompareOptionsDiffer;
    if (comparison.unshownBytes > 0)
        lines << UiTexts::CompareUnshownBytes(comparison.unshownBytes);
    return lines.join(QLatin1Char('\n'));
}
