// The operation buttons. The checks, texts, lamps, timing and the reset after writing are
// the shared ProgrammerCommands; the form supplies the list rows, the option boxes, its
// displays and its busy state.
#include <QCheckBox>

#include "CVantixView.h"

bool CVantixView::ConnectPod() {
    return commands_.ConnectPod();
}

void CVantixView::ResetLeds() {
    commands_.ResetLeds();
}

void CVantixView::OnTargetReset() {
    if (busy_) {
        return;
    }
    const InputGate::Closure closure(gate_);
    commands_.TargetReset();
}

void CVantixView::OnTargetWrite() {
    RunTargetCommand(TargetCommand::Write);
}

void CVantixView::OnTargetWriteVerify() {
    RunTargetCommand(TargetCommand::WriteVerify);
}

void CVantixView::OnTargetVerify() {
    RunTargetCommand(TargetCommand::Verify);
}

void CVantixView::OnPodWrite() {
    RunPodCommand(PodCommand::Write);
}

void CVantixView::OnPodVerify() {
    RunPodCommand(PodCommand::Verify);
}

void CVantixView::RunTargetCommand(TargetCommand command) {
    if (busy_) {
        return;
    }
    const InputGate::Closure closure(gate_);
    std::vector<RegionListItem> items;
    for (int row = 0; row < regionList_.rowCount(); ++row) {
        const QTableWidgetItem* name = regionList_.item(row, 0);
        if (name != nullptr) {
            items.push_back({name->text().toStdString(), name->checkState() == Qt::Checked});
        }
    }
    commands_.RunTarget(command, items, EraseAllBootBox().isChecked(),
                        ResetAfterWriteBox().isChecked());
}

void CVantixView::RunPodCommand(PodCommand command) {
    if (busy_) {
        return;
    }
    const InputGate::Closure closure(gate_);
    commands_.RunPod(command, static_cast<std::size_t>(regionList_.rowCount()),
                     EraseAllBootBox().isChecked(), ResetAfterWriteBox().isChecked());
}
