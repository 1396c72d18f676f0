#pragma once
// The PID editor's controls as plain values, for the editor's flows without a window.

#include "pid/PidEditorView.h"

namespace tuvik::test {

struct FakeEditor : PidEditorView {
    PidEditorValues v;
    PidEditorValues EditorValues() const override { return v; }
    void ShowBoxes(const PidBoxTexts& boxes) override { v.boxes = boxes; }
    void ShowLoop(const LoopSettingsView& l, int manual, int) override {
        v = {l.boxes, l.automatic, l.enable, l.remoteSetpoint, manual};
    }
    void ShowManualOutput(int output) override {
        v.automatic = false;
        v.manual = output;
    }
    void ShowTuning(double K, double Ti, double Td) override {
        v.boxes[PidBox::K] = QString::number(K);
        v.boxes[PidBox::Ti] = QString::number(Ti);
        v.boxes[PidBox::Td] = QString::number(Td);
    }
};

}  // namespace tuvik::test
