#include "EditHistory.h"

#include <QUndoCommand>

class EditHistory::Step : public QUndoCommand
{
public:
    Step(EditHistory& history, Kind kind, const QString& name, const Snapshot& before,
         const Snapshot& after, quint64 mergeKey)
        : QUndoCommand(name), history_(history), kind_(kind), before_(before), after_(after),
          mergeKey_(mergeKey)
    {
    }
    int id() const override { return mergeKey_ ? 1 : -1; }
    bool mergeWith(const QUndoCommand* other) override
    {
        const auto* next = static_cast<const Step*>(other);
        if (next->mergeKey_ != mergeKey_ || next->kind_ != kind_)
            return false;
        after_ = next->after_;
        // Picks that came back to where they started leave no step.
        setObsolete(same(kind_, before_, after_));
        return true;
    }
    void undo() override { history_.apply(kind_, after_, before_); }
    void redo() override
    {
        // Pushed after the gesture itself has run.
        if (done_)
            history_.apply(kind_, before_, after_);
        done_ = true;
    }

private:
    EditHistory& history_;
    Kind kind_;
    Snapshot before_;
    Snapshot after_;
    quint64 mergeKey_;
    bool done_ = false;
};

EditHistory::EditHistory(ConfigModel& model, DocumentState& document, std::function<bool()> busy,
                         QObject* parent)
    : QObject(parent), model_(model), document_(document), busy_(std::move(busy))
{
    stack_.setUndoLimit(StepsKept);
    current_ = capture(true);
    // Changes outside the steps (a save, a verified write) are where the next
    // step starts from.
    connect(&document_, &DocumentState::changed, this, [this] {
        if (!inside_ && !busy_())
            settle();
    });
    connect(&stack_, &QUndoStack::indexChanged, this, &EditHistory::changed);
    connect(&stack_, &QUndoStack::undoTextChanged, this, &EditHistory::changed);
    connect(&stack_, &QUndoStack::redoTextChanged, this, &EditHistory::changed);
}

EditHistory::~EditHistory()
{
    // The window that shows the steps may be going too: say nothing more.
    blockSignals(true);
    stack_.clear();
}

quint64 EditHistory::MergeKey(quint64 gesture, int page, int row, int column)
{
    return (gesture << 12) | quint64(page << 8) | quint64(row << 2) | quint64(column);
}

EditHistory::Snapshot EditHistory::capture(bool image) const
{
    return {model_.table(), model_.OperatingMode(), model_.options(),
            image || !busy_() ? model_.image() : current_.image, document_.Kept()};
}

bool EditHistory::same(Kind kind, const Snapshot& a, const Snapshot& b)
{
    const bool edits = a.table == b.table && a.mode == b.mode && a.options == b.options;
    if (kind == Kind::Edit)
        return edits;
    return edits && a.image == b.image && a.document == b.document;
}

void EditHistory::settle()
{
    current_ = capture(false);
}

void EditHistory::Record(Kind kind, const QString& name, const std::function<void()>& gesture,
                         quint64 mergeKey)
{
    const Snapshot before = capture(false);
    inside_ = true;
    gesture();
    inside_ = false;
    push(kind, name, before, capture(false), mergeKey);
}

void EditHistory::RecordReplacement(const QString& name)
{
    const Snapshot before = current_;
    push(Kind::Replacement, name, before, capture(true), 0);
}

void EditHistory::TransferShown(bool shown)
{
    if (shown == transferShown_)
        return;
    transferShown_ = shown;
    // Nothing has been read into the image yet when it is shown, and the
    // transfer is over with it hidden.
    current_ = capture(true);
    emit changed();
}

void EditHistory::push(Kind kind, const QString& name, const Snapshot& before,
                       const Snapshot& after, quint64 mergeKey)
{
    current_ = after;
    if (same(kind, before, after))
        return;
    stack_.push(new Step(*this, kind, name, before, after, mergeKey));
}

void EditHistory::apply(Kind kind, const Snapshot& from, const Snapshot& to)
{
    inside_ = true;
    if (kind == Kind::Replacement)
        model_.image() = to.image;
    model_.Restore(to.table, to.mode, to.options);
    const bool documentAsLeft = document_.Kept() == from.document;
    document_.Restore(kind == Kind::Replacement && documentAsLeft ? to.document : document_.Kept());
    inside_ = false;
    current_ = capture(true);
}

bool EditHistory::CanUndo() const
{
    return stack_.canUndo() && !busy_();
}

bool EditHistory::CanRedo() const
{
    return stack_.canRedo() && !busy_();
}

void EditHistory::Undo()
{
    if (CanUndo())
        stack_.undo();
}

void EditHistory::Redo()
{
    if (CanRedo())
        stack_.redo();
}
