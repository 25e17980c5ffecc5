#include "ui/framework/UndoRedo.h"

#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlListener.h"

#include <optional>

namespace {

ParamRecord Swapped(ParamRecord r)
{
    r.SwapWithPrevious();
    return r;
}

} // namespace

bool UndoRedo::IsModified() const
{
    for (const ParamRecord& r : m_undo) {
        switch (r.id) {
        case LAYER_SELECT:
        case START_UNDO:
        case END_UNDO:
        case PREV_PARAMETER_BUTTON:
        case NEXT_PARAMETER_BUTTON:
        case UNDO_PARAMETER_BUTTON:
        case REDO_PARAMETER_BUTTON:
        case APPLY_PARAMETER_BUTTON:
        case PAGE_SELECT:
            break;
        default:
            return true;
        }
    }
    return false;
}

void UndoRedo::RecordChange(const ParamRecord* record)
{
    if (!record || record->id == EDIT_TRACKER)
        return;
    m_undo.push_front(Swapped(*record));
    m_redo.clear();
    OnUndoStackChanged();
}

void UndoRedo::ClearHistory()
{
    m_undo.clear();
    m_redo.clear();
    OnUndoStackChanged();
}

bool UndoRedo::Apply(ParamRecord record)
{
    // Only the window's own record of that id takes the values; a
    // placeholder handed out for an unknown id is left alone. The values go
    // in before ApplyChange, which may read them from there, and come back
    // out when the change is refused: the module still has the old ones.
    std::optional<ParamRecord> before;
    if (m_owner) {
        ParamRecord* live = m_owner->GetParameter(record.id);
        if (live && live->id == record.id) {
            before = *live;
            live->CopyValues(record);
        }
    }
    if (ApplyChange(&record))
        return true;
    if (before && m_owner) {
        ParamRecord* live = m_owner->GetParameter(record.id);
        if (live && live->id == record.id)
            live->CopyValues(*before);
    }
    return false;
}

void UndoRedo::Undo(bool keepForRedo)
{
    // A step the window refuses (a record whose ApplyChange fails) leaves
    // both histories as they were, so the step can be tried again; records
    // of a group applied before the refusal keep their values, which the
    // module took, and a new try sends the same values again.
    // Whenever records moved, the window hears of it, also when a group ends
    // at an exhausted or barred history, so its buttons never show stale texts.
    if (CanUndo()) {
        const std::deque<ParamRecord> undo = m_undo;
        const std::deque<ParamRecord> redo = m_redo;
        auto take = [&] {
            ParamRecord r = m_undo.front();
            m_undo.pop_front();
            if (keepForRedo)
                m_redo.push_front(Swapped(r));
            return r;
        };
        bool applied = true;
        ParamRecord r = take();
        if (r.id == END_UNDO) {
            while (applied && CanUndo()) {
                ParamRecord inner = take();
                if (inner.id == START_UNDO)
                    break;
                applied = Apply(inner);
            }
        } else {
            applied = Apply(r);
        }
        if (!applied) {
            m_undo = undo;
            m_redo = redo;
        }
    }
    OnUndoStackChanged();
}

void UndoRedo::Redo()
{
    if (!m_redo.empty()) {
        const std::deque<ParamRecord> undo = m_undo;
        const std::deque<ParamRecord> redo = m_redo;
        auto take = [&] {
            ParamRecord q = m_redo.front();
            m_redo.pop_front();
            m_undo.push_front(Swapped(q));
            return q;
        };
        bool applied = true;
        ParamRecord q = take();
        if (q.id == START_UNDO) {
            while (applied && !m_redo.empty()) {
                ParamRecord inner = take();
                if (inner.id == END_UNDO)
                    break;
                applied = Apply(inner);
            }
        } else {
            applied = Apply(q);
        }
        if (!applied) {
            m_undo = undo;
            m_redo = redo;
        }
    }
    OnUndoStackChanged();
}

bool UndoRedo::CanUndo() const
{
    if (m_undo.empty())
        return false;
    const int id = m_undo.front().id;
    return id != RANDOMISE_PRESET_BUTTON && id != UPLOAD_SYSEX;
}

QString UndoRedo::StepText(const std::deque<ParamRecord>& history)
{
    if (history.empty())
        return QString();
    const ParamRecord& r = history.front();
    if (r.id != START_UNDO && r.id != END_UNDO)
        return r.name;
    if (!r.text.isEmpty())
        return r.text;
    if (!r.previousText.isEmpty())
        return r.previousText;
    return QStringLiteral("Sequence of Commands");
}

QString UndoRedo::GetUndoText() const
{
    return StepText(m_undo);
}

QString UndoRedo::GetRedoText() const
{
    return StepText(m_redo);
}

bool RunUndoRedoCommand(UndoRedo& history, int id)
{
    if (id == cmd::Undo) {
        if (history.CanUndo())
            history.Undo(true);
        return true;
    }
    if (id == cmd::Redo) {
        if (history.CanRedo())
            history.Redo();
        return true;
    }
    return false;
}
