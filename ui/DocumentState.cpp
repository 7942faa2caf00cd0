#include "DocumentState.h"

#include "ConfigFiles.h"
#include "ConfigModel.h"
#include "ConfigReport.h"
#include "UiTexts.h"

#include <QFileInfo>

#include <cstring>

namespace {
bool SameStoredBytes(const ParamImage& a, const ParamImage& b)
{
    return std::memcmp(a.bytes().data(), b.bytes().data(), ParamImage::StoredSize) == 0;
}
} // namespace

DocumentState::DocumentState(ConfigModel& model, FileCommandPrompts& prompts, QObject* parent)
    : QObject(parent), model_(model), prompts_(prompts)
{
    connect(&model_, &ConfigModel::cellChanged, this, &DocumentState::refresh);
    connect(&model_, &ConfigModel::operatingModeChanged, this, &DocumentState::refresh);
    connect(&model_, &ConfigModel::optionsChanged, this, &DocumentState::refresh);
}

void DocumentState::SetBaseline(Origin origin, const QString& name)
{
    // Bits read from a file or the device that no cell or option shows: a write
    // encodes the table, so it would change them.
    unshownBytes_ = !UnshownBitsText(model_.image()).isEmpty();
    filePath_.clear();
    adopt(origin, name, model_.table(), model_.EncodedImage());
}

void DocumentState::AdoptWritten(const QString& port, const AddressTable& table,
                                 const ParamImage& image)
{
    unshownBytes_ = false;
    adopt(Origin::Device, port, table, image);
}

void DocumentState::adopt(Origin origin, const QString& name, const AddressTable& table,
                          const ParamImage& image)
{
    origin_ = origin;
    shownName_ = name;
    baselineTable_ = table;
    baselineImage_ = image;
    refresh();
}

DocumentState::Snapshot DocumentState::Kept() const
{
    return {baselineTable_, baselineImage_, origin_, shownName_, filePath_, unshownBytes_};
}

void DocumentState::Restore(const Snapshot& kept)
{
    baselineTable_ = kept.table;
    baselineImage_ = kept.image;
    origin_ = kept.origin;
    shownName_ = kept.name;
    filePath_ = kept.path;
    unshownBytes_ = kept.unshownBytes;
    refresh();
}

void DocumentState::SetDevice(const DeviceRecord& record)
{
    device_ = record;
    emit changed();
}

TableState DocumentState::State() const
{
    return DescribeTable(device_, model_.EncodedImage(), unshownBytes_);
}

void DocumentState::refresh()
{
    modified_ =
        !SameStoredBytes(model_.EncodedImage(), baselineImage_) || model_.table() != baselineTable_;
    emit changed();
}

bool DocumentState::CellChanged(int page, int row, int column) const
{
    return row > 0 && column > 0 &&
           model_.cell(page, row, column) != baselineTable_.cell(page, row, column);
}

QString DocumentState::Title() const
{
    return Title(State());
}

QString DocumentState::Title(const TableState& state) const
{
    // Without a port only the note on bits the table cannot show is said.
    QString title = UiTexts::WindowCaption;
    if (state.kind != TableState::Kind::NoPort) {
        // A table read from the port the title already names: the port once.
        const QString portPrefix = device_.port + QStringLiteral(": ");
        const QString said = shownName_ == device_.port && state.shortText.startsWith(portPrefix)
                                 ? state.shortText.mid(portPrefix.size())
                                 : state.shortText;
        title = said + QStringLiteral(" — ") + title;
    } else if (state.unshownBits) {
        title = UiTexts::UnshownBitsNote + QStringLiteral(" — ") + title;
    }
    if (!shownName_.isEmpty())
        return shownName_ + QStringLiteral("[*] — ") + title;
    return title + QStringLiteral("[*]");
}

bool DocumentState::AsksBeforeReplacing() const
{
    return !model_.ConfigLocked() && (origin_ == Origin::File || modified_);
}

bool DocumentState::Open(const QString& chosen, bool transferOpen)
{
    if (model_.ConfigLocked())
        return false; // the command is disabled while the start-up file locks the configuration
    if (OpenConfigFile(model_, chosen, prompts_, transferOpen) != FileOutcome::Done)
        return false;
    SetBaseline(Origin::File, QFileInfo(LmkFileName(chosen)).fileName());
    filePath_ = QFileInfo(LmkFileName(chosen)).absoluteFilePath();
    return true;
}

bool DocumentState::OpenNamed(const QString& name, bool transferOpen)
{
    if (model_.ConfigLocked())
        return false;
    // Exactly the file named: FAT media give "CONFIG.LMK".
    if (OpenNamedConfigFile(model_, name, prompts_, transferOpen) != FileOutcome::Done)
        return false;
    SetBaseline(Origin::File, QFileInfo(name).fileName());
    filePath_ = QFileInfo(name).absoluteFilePath();
    return true;
}

bool DocumentState::Save(const QString& chosen, bool transferOpen)
{
    if (SaveConfigFile(model_, chosen, prompts_, transferOpen) != FileOutcome::Done)
        return false;
    // The saved table is the file's, whatever the table came from: a later read
    // replacing it is asked about.
    SetBaseline(Origin::File, QFileInfo(LmkFileName(chosen)).fileName());
    filePath_ = QFileInfo(LmkFileName(chosen)).absoluteFilePath();
    return true;
}
