#pragma once
// A slider of the real-time controller popup: every drag step is committed
// (and so sent), not only the value where the drag ends.

#include "ui/controls/TrackerCtrl.h"

class ControllerTrackerCtrl : public TrackerCtrl {
    Q_OBJECT
public:
    explicit ControllerTrackerCtrl(ControlListener* owner = nullptr, QWidget* parent = nullptr)
        : TrackerCtrl(owner, parent)
    {
    }
    explicit ControllerTrackerCtrl(QWidget* parent) : ControllerTrackerCtrl(nullptr, parent) {}

    void OnTrack(int value) override { SetValue(value); }
};
