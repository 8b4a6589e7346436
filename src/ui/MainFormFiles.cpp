// The File menu: measurement export and import.
#include "monitor/MeasFiles.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QFileDialog>
#include <QFileInfo>

namespace vmx::ui {

namespace {
// The catalogue's workbook filter names .xls; today's workbooks are .xlsx, offered first.
QString WithXlsx(QString filter)
{
    filter.replace(QStringLiteral("(*.xls)"), QStringLiteral("(*.xlsx *.xls)"));
    filter.replace(QStringLiteral("|*.xls|"), QStringLiteral("|*.xlsx;*.xls|"));
    return filter;
}

bool EndsWith(const QString& name, const char* ext)
{
    return name.endsWith(QLatin1String(ext), Qt::CaseInsensitive);
}
} // namespace

QString TMainForm::AskFileName(const char* dialog, bool save, const QString& preset, bool workbook)
{
    auto* d = findChild<TFileDialogText*>(QString::fromLatin1(dialog));
    TFileDialogText text;
    if (d) {
        text.Title = d->Title;
        text.Filter = workbook ? WithXlsx(d->Filter) : d->Filter;
    }
    const QString filter = text.QtFilter();
    if (env_.fileName) return env_.fileName(text.Title, filter, save, preset);
    // Qt's save dialog asks before an existing file is overwritten.
    return save ? QFileDialog::getSaveFileName(this, text.Title, preset, filter)
                : QFileDialog::getOpenFileName(this, text.Title, preset, filter);
}

namespace {
std::unique_ptr<monitor::MeasFiles> Files(TMainForm& f)
{
    station::Station& st = f.station();
    return std::make_unique<monitor::MeasFiles>(f.session(), st.store(), st.table(), st.measFileEvents());
}
} // namespace

void TMainForm::MIExportExcelClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    QString name = AskFileName("SaveDialog1", true, lastExcelName_, true);
    if (name.isEmpty()) return;
    // The workbook is always written as .xlsx; a name without that extension gets it.
    if (EndsWith(name, ".xls"))
        name += QLatin1Char('x');
    else if (!EndsWith(name, ".xlsx"))
        name += QStringLiteral(".xlsx");
    lastExcelName_ = name;
    SetBusy(true);
    Files(*this)->ExportExcel(name);
    SetBusy(false);
}

void TMainForm::MIExportTextClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    QString name = AskFileName("SaveDialog2", true, lastTextName_, false);
    if (name.isEmpty()) return;
    if (!EndsWith(name, ".txt")) name += QStringLiteral(".txt");
    lastTextName_ = name;
    SetBusy(true);
    Files(*this)->ExportText(name);
    SetBusy(false);
}

void TMainForm::MIImportExcelClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    const QString name = AskFileName("OpenDialog1", false, lastExcelName_, true);
    if (name.isEmpty()) return;
    lastExcelName_ = name;
    SetBusy(true);
    Files(*this)->ImportExcel(name);
    SetBusy(false);
}

void TMainForm::MIImportTextClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    const QString name = AskFileName("OpenDialog2", false, lastTextName_, false);
    if (name.isEmpty()) return;
    lastTextName_ = name;
    SetBusy(true);
    Files(*this)->ImportText(name);
    SetBusy(false);
}

} // namespace vmx::ui
