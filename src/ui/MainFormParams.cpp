// The settings pages: the parameter block, its editor and the parameter file.
#include "ui/MainForm.h"

namespace vmx::ui {

void TMainForm::UpdateDialog() {
    // The parameter editor fills its controls here; the chart background follows its scale.
    DrawBitmapSchedule();
}
void TMainForm::SetStandardValues() {}
bool TMainForm::ImportHexParameter(const QString&) {
    return false;
}
void TMainForm::ALReadParameterExecute() {}
void TMainForm::ALWriteParameterExecute() {}
void TMainForm::ALVerifyParameterExecute() {}
void TMainForm::ALSetStandardExecute() {}
void TMainForm::BTSOpenParameterFileClick() {}
void TMainForm::BTSSaveParameterFileClick() {}
void TMainForm::SetCfgLED_Out(QObject*) {}

} // namespace vmx::ui
