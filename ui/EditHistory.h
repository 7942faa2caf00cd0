// The operator's steps on the table, for undo and redo. Each step keeps the
// table, the operating mode and the options before and after a gesture; a step
// that replaced the whole table (a file opened, the device read) also keeps the
// image and the document (what the marks compare with, the title's name).
// Undo and redo set them back exactly, without the mode conversion, and never
// touch the device; both wait while a transfer owns the image.
#pragma once

#include "AddressTable.h"
#include "ConfigModel.h"
#include "DocumentState.h"
#include "ParamImage.h"

#include <QObject>
#include <QString>
#include <QUndoStack>

#include <functional>

class EditHistory : public QObject
{
    Q_OBJECT
public:
    static constexpr int StepsKept = 100;

    enum class Kind {
        Edit,        // cells, the mode, the options
        Replacement, // the table replaced, with the image and the document
    };

    // `busy`: a transfer runs (it owns the image; nothing is undone then).
    EditHistory(ConfigModel& model, DocumentState& document, std::function<bool()> busy,
                QObject* parent = nullptr);
    ~EditHistory() override;

    // Runs `gesture` and keeps what it changed as one step named `name` (none
    // when nothing changed). A step whose `mergeKey` (not 0) equals that of the
    // step just before joins it: picks in one cell while the popup stays open.
    void Record(Kind kind, const QString& name, const std::function<void()>& gesture,
                quint64 mergeKey = 0);
    // A read has just replaced the table: one step back to the table before it.
    void RecordReplacement(const QString& name);
    // The progress bar shown or hidden: the image a transfer starts from, or
    // the one it left, is the one later steps go back to.
    void TransferShown(bool shown);

    static quint64 MergeKey(quint64 gesture, int page, int row, int column);

    bool CanUndo() const;
    bool CanRedo() const;
    // The names of the steps undo and redo would take; empty when none.
    QString UndoName() const { return stack_.undoText(); }
    QString RedoName() const { return stack_.redoText(); }
    int Steps() const { return stack_.count(); }
    void Undo();
    void Redo();

signals:
    // What undo and redo would do, or whether they can, changed.
    void changed();

private:
    struct Snapshot
    {
        AddressTable table;
        int mode = SpeechMode;
        CommonOptions options;
        ParamImage image;
        DocumentState::Snapshot document;
    };
    class Step;

    // The model and document now; the image as the last settled state kept it
    // while a transfer fills it (unless `image` says take it as it is).
    Snapshot capture(bool image) const;
    static bool same(Kind kind, const Snapshot& a, const Snapshot& b);
    void push(Kind kind, const QString& name, const Snapshot& before, const Snapshot& after,
              quint64 mergeKey);
    // Sets `to` back; the document only when it is still as `from` left it (a
    // save or a write since has said where the table stands now).
    void apply(Kind kind, const Snapshot& from, const Snapshot& to);
    void settle();

    ConfigModel& model_;
    DocumentState& document_;
    std::function<bool()> busy_;
    QUndoStack stack_;
    Snapshot current_;    // the state after the last step or settled change
    bool inside_ = false; // a gesture or a restore is running
    bool transferShown_ = false;
};
