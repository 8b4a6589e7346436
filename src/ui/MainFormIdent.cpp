// The identification page: identification, serial number and calibration.
#include "ui/MainForm.h"

namespace vmx::ui {

void TMainForm::ALGetIdentExecute() {}
void TMainForm::ALSetIdSNExecute() {}
void TMainForm::BTIdClearSNClick() {}
void TMainForm::BTIdGetCalClick() {}
void TMainForm::BTIdSetCalClick() {}
void TMainForm::BTIdClearCalClick() {}

} // namespace vmx::ui
