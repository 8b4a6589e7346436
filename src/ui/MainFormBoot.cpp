// The boot page: boot loader, memories, HEX and ABS files, firmware download.
#include "ui/MainForm.h"

namespace vmx::ui {

void TMainForm::BTBootStartClick() {}
void TMainForm::BTBootResetClick() {}
void TMainForm::BTBootPingClick() {}
void TMainForm::BTBootIdentClick() {}
void TMainForm::BTBootMemEraseClick() {}
void TMainForm::BTBootMemReadClick() {}
void TMainForm::BTBootMemWriteClick() {}
void TMainForm::BTBootMemVerifyClick() {}
void TMainForm::BTBootHexImportClick() {}
void TMainForm::BTBootHexExportClick() {}
void TMainForm::BTBootABSImportClick() {}
void TMainForm::BTDownloadClick() {}

} // namespace vmx::ui
