// The monitor page's device commands.
#include "ui/MainForm.h"

namespace vmx::ui {

void TMainForm::ALQVRResetExecute() {}
void TMainForm::ALSetConfigExecute() {}
void TMainForm::ALSetLEDExecute() {
    UpdateLEDControls();
}
void TMainForm::ALBubbleTestExecute() {}
void TMainForm::ALAmplDecExecute() {}
void TMainForm::ALPowerOnExecute() {}
void TMainForm::ALSwitchIFExecute() {}
void TMainForm::BTStartServiceClick() {}
void TMainForm::ChBPowerOnAutoSetMouseUp() {}

} // namespace vmx::ui
