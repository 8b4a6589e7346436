// The File menu: measurement export and import.
#include "ui/MainForm.h"

namespace vmx::ui {

void TMainForm::MIExportExcelClick() {}
void TMainForm::MIExportTextClick() {}
void TMainForm::MIImportExcelClick() {}
void TMainForm::MIImportTextClick() {}

} // namespace vmx::ui
