#pragma once
// What the slider popup of a value menu does with its slider's edits: the
// first edit opens an undo group at its client, Enter or Esc closes it, so
// everything done with the slider between opening and Enter or Esc is one
// undo step. PopupTrackerDlg (SelectionPopups.h) is its window.

class ControlListener;
class ParamRecord;

/// Whoever opens a slider popup; it receives every edit of the slider.
class PopupTrackerListener {
public:
    virtual bool OnTrackerEdit(ParamRecord* record) = 0;

protected:
    ~PopupTrackerListener() = default;
};

class PopupTrackerLogic {
public:
    /// chain: the popup's own listener (where the undo markers are found).
    PopupTrackerLogic(ControlListener* chain, PopupTrackerListener* client) : m_chain(chain), m_client(client) {}

    /// A slider edit: START_UNDO first when no group is open, then the edit to the client.
    bool Edit(ParamRecord* record);
    /// Enter: record takes the slider's value; the open group closes. The popup stays.
    void Ok(ParamRecord* record, int sliderValue);
    /// Esc: the open group closes (nothing when no edit opened one).
    void Cancel();
    bool GroupOpen() const { return m_groupOpen; }

private:
    void CloseGroup();

    ControlListener* m_chain;
    PopupTrackerListener* m_client;
    bool m_groupOpen = false;
};
