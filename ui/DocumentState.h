// What the window's table is as a document: where it came from (start-up, the
// device, a file), the configuration the cell marks and the modified mark
// compare with, the title that says so, and Open and Save, which move it.
// No widgets: the window shows Title() and Modified() and repaints the marks
// on changed().
#pragma once

#include "AddressTable.h"
#include "DeviceRecord.h"
#include "ParamImage.h"
#include "TableState.h"

#include <QObject>
#include <QString>

class ConfigModel;
class FileCommandPrompts;

class DocumentState : public QObject
{
    Q_OBJECT
public:
    enum class Origin { StartUp, Device, File };

    // Follows `model`'s edits; file errors and replace questions go to `prompts`.
    DocumentState(ConfigModel& model, FileCommandPrompts& prompts, QObject* parent = nullptr);

    // The table as it stands becomes what the marks compare with; `name` (a
    // file name or a port) heads the title. The table has no file any more.
    void SetBaseline(Origin origin, const QString& name);
    // A verified write: the device on `port` holds `table` and `image` (what
    // was written, which the table may have moved on from since).
    void AdoptWritten(const QString& port, const AddressTable& table, const ParamImage& image);
    // What the device on the port holds, by the session's record.
    void SetDevice(const DeviceRecord& record);

    // What the edit history keeps of the document and sets back: what the marks
    // compare with, where the table came from, and the title's name.
    struct Snapshot
    {
        AddressTable table;
        ParamImage image;
        Origin origin = Origin::StartUp;
        QString name;
        QString path;
        bool unshownBytes = false;
        bool operator==(const Snapshot&) const = default;
    };
    Snapshot Kept() const;
    void Restore(const Snapshot& kept);

    Origin origin() const { return origin_; }
    // The file name or port the title names; empty when none.
    const QString& ShownName() const { return shownName_; }
    // The file the table was last opened from or saved to, in full; empty when
    // a read has replaced it since, or when there was none.
    const QString& FilePath() const { return filePath_; }
    // The table differs from the configuration last read, opened, saved or written.
    bool Modified() const { return modified_; }
    // A data cell whose text differs from that configuration.
    bool CellChanged(int page, int row, int column) const;
    // Where the table stands against the device, now.
    TableState State() const;
    // "name[*] — state — caption"; the window fills "[*]" from Modified().
    QString Title() const;
    // The same with `state`, State() worked out already.
    QString Title(const TableState& state) const;
    // The table came from bytes it cannot show all of (a file or the device
    // holding bits no cell or option presents): writing it would change them.
    bool HoldsUnshownBytes() const { return unshownBytes_; }
    // A connection's read would replace a table the device does not hold: the
    // operator is asked first (never while the start-up file locks the table).
    bool AsksBeforeReplacing() const;

    // Open and Save of the file `chosen` names (as the menu commands do after
    // their dialogs). Open changes nothing while the configuration is locked.
    // `transferOpen`: a transfer is running (its image stays untouched). True
    // when the file was read or written.
    bool Open(const QString& chosen, bool transferOpen);
    bool Save(const QString& chosen, bool transferOpen);
    // A file named on the command line: exactly that file (no ".lmk" rule); a
    // name that does not exist is reported (no dialog vouched for it).
    bool OpenNamed(const QString& name, bool transferOpen);

signals:
    // The title, the modified mark or what the cell marks compare with changed.
    void changed();

private:
    void adopt(Origin origin, const QString& name, const AddressTable& table,
               const ParamImage& image);
    void refresh();

    ConfigModel& model_;
    FileCommandPrompts& prompts_;
    AddressTable baselineTable_;
    ParamImage baselineImage_; // encoded, bytes 0..69 count
    bool modified_ = false;
    Origin origin_ = Origin::StartUp;
    QString shownName_;
    QString filePath_;
    DeviceRecord device_;
    bool unshownBytes_ = false;
};
