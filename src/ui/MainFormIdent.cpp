// The identification page: identification, serial number and calibration.
#include "sensor/Identification.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTableWidget>

namespace vmx::ui {

bool TMainForm::EditChangeIdent(QObject* sender)
{
    app::CurrentSensorType& st = session_->sensor;
    const QString name = sender->objectName();
    if (name == QLatin1String("EIdYear")) {
        st.Year = sensor::Identification::ParseYear(static_cast<QLineEdit*>(sender)->text(), st.Year);
    } else if (name == QLatin1String("EIdSN")) {
        st.SerialNo =
            sensor::Identification::ParseSerial(static_cast<QLineEdit*>(sender)->text(), st.SerialNo);
    } else if (name == QLatin1String("CBIdModel")) {
        const int i = static_cast<QComboBox*>(sender)->currentIndex();
        if (i >= 0) st.ModelIndex = quint8(i);
    } else if (sender == StGCal) {
        std::array<std::array<QString, 2>, 8> cells;
        for (int k = 0; k < 8; ++k)
            for (int c = 0; c < 2; ++c) {
                const QTableWidgetItem* it = StGCal->item(k + 1, c + 1);
                cells[std::size_t(k)][std::size_t(c)] = it ? it->text() : QString();
            }
        station_->identification().SetCalFromGrid(cells);
    } else {
        return false;
    }
    return true;
}

void TMainForm::UpdateIdentPage()
{
    sensor::Identification& ident = station_->identification();
    // The model list chosen for the type; an index beyond it stands for "unknown".
    auto* model = findChild<QComboBox*>(QStringLiteral("CBIdModel"));
    const int modelIndex = ident.NormalizedModelIndex();
    if (model) {
        const QSignalBlocker block(model);
        const QStringList items = ident.ModelList();
        QStringList now;
        for (int i = 0; i < model->count(); ++i)
            now << model->itemText(i);
        if (now != items) {
            model->clear();
            model->addItems(items);
        }
        if (items.isEmpty()) {
            model->setEditable(true);
            model->setEditText(QStringLiteral("?????"));
        } else {
            model->setEditable(false);
            model->setCurrentIndex(qBound(0, modelIndex, int(items.size()) - 1));
        }
    }

    if (auto* year = findChild<QLineEdit*>(QStringLiteral("EIdYear"))) year->setText(ident.YearText());
    if (auto* sn = findChild<QLineEdit*>(QStringLiteral("EIdSN"))) {
        sn->setText(ident.SerialText());
        sn->setToolTip(ident.SerialHint());
    }

    if (auto* grid = findChild<QTableWidget*>(QStringLiteral("StGIdent"))) {
        const QSignalBlocker block(grid);
        const QStringList labels = ident.IdentGridLabels();
        const QStringList column = ident.IdentGridColumn(
            model && model->count() > 0 && model->currentIndex() >= 0 ? model->currentText() : QString());
        for (int r = 0; r < 5; ++r) {
            SetGridCell(grid, r, 0, r < labels.size() ? labels[r] : QString());
            SetGridCell(grid, r, 1, r < column.size() ? column[r] : QString());
        }
    }

    if (StGCal) {
        const QSignalBlocker block(StGCal);
        const auto cal = ident.CalGrid();
        for (int r = 0; r < 9; ++r)
            for (int c = 0; c < 3; ++c)
                SetGridCell(StGCal, r, c, cal[std::size_t(r)][std::size_t(c)]);
        // Headings in this language, sizes with one decimal, thresholds up to four digits.
        FitColumns(StGCal, {QString(), QStringLiteral("00,0"), QStringLiteral("0000")}, {60, 40, 40});
    }
}

// A catalogue row found by the identification becomes the current type as a menu click
// would make it, so the window follows its flags.
void TMainForm::ApplyIdentifiedType(int row)
{
    session_->CopyValidSensorType(row);
    TestValidVersion();
    UpdateVersion();
    // The version menu may not list the row (filters): it stays the current type anyway.
    if (session_->sensor.Row != row) session_->CopyValidSensorType(row);
}

void TMainForm::ShowIdentPage()
{
    PC1->setCurrentWidget(TSIdent);
}

void TMainForm::ALGetIdentExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Identify();
}

void TMainForm::ALSetIdSNExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    TestFocusChanged();
    station_->SetSerialNumber();
    UpdateDialog();
}

void TMainForm::BTIdClearSNClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->ClearSerialNumber();
    UpdateDialog();
}

void TMainForm::BTIdGetCalClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->ReadCalibration();
    UpdateDialog();
}

void TMainForm::BTIdSetCalClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    TestFocusChanged();
    station_->WriteCalibration();
    UpdateDialog();
}

void TMainForm::BTIdClearCalClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->ClearCalibration();
    UpdateDialog();
}

} // namespace vmx::ui
