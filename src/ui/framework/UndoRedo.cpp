#include "ui/framework/UndoRedo.h"

#include "ui/framework/CommandIds.h"
#include "ui/framework/ControlListener.h"

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

void UndoRedo::Apply(ParamRecord record)
{
    if (m_owner) {
        // Only the window's own record of that id takes the values; a
        // placeholder handed out for an unknown id is left alone.
        ParamRecord* live = m_owner->GetParameter(record.id);
        if (live && live->id == record.id)
            live->CopyValues(record);
    }
    ApplyChange(&record);
}

void UndoRedo::Undo(bool keepForRedo)
{
    // Whenever records moved, the window hears of it, also when a group ends
    // at an exhausted or barred history, so its buttons never show stale texts.
    if (CanUndo()) {
        auto take = [&] {
            ParamRecord r = m_undo.front();
            m_undo.pop_front();
            if (keepForRedo)
                m_redo.push_front(Swapped(r));
            return r;
        };
        ParamRecord r = take();
        if (r.id == END_UNDO) {
            while (CanUndo()) {
                ParamRecord inner = take();
                if (inner.id == START_UNDO)
                    break;
                Apply(inner);
            }
        } else {
            Apply(r);
        }
    }
    OnUndoStackChanged();
}

void UndoRedo::Redo()
{
    if (!m_redo.empty()) {
        auto take = [&] {
            ParamRecord q = m_redo.front();
            m_redo.pop_front();
            m_undo.push_front(Swapped(q));
            return q;
        };
        ParamRecord q = take();
        if (q.id == START_UNDO) {
            while (!m_redo.empty()) {
                ParamRecord inner = take();
                if (inner.id == END_UNDO)
                    break;
                Apply(inner);
            }
        } else {
            Apply(q);
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
