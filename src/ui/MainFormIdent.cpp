// The identification page: identification, serial number and calibration.
#include "lang/Messages.h"
#include "sensor/ParameterEditor.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSignalBlocker>
#include <QTableWidget>

namespace vmx::ui {

namespace {

void SetIdentCell(QTableWidget* g, int row, int col, const QString& text) {
    if (!g || row >= g->rowCount() || col >= g->columnCount()) return;
    QTableWidgetItem* it = g->item(row, col);
    if (!it) {
        it = new QTableWidgetItem;
        g->setItem(row, col, it);
    }
    if (it->text() != text) it->setText(text);
}

QString YearText(quint8 year) {
    return year == 255 ? QStringLiteral("??") : QString::number(year);
}

QString SerialText(quint16 sn) {
    return sn == 0xFFFF ? QStringLiteral("????") : QString::asprintf("%5.5d", int(sn));
}

} // namespace

bool TMainForm::EditChangeIdent(QObject* sender) {
    app::CurrentSensorType& st = session_->sensor;
    const QString name = sender->objectName();
    if (name == QLatin1String("EIdYear")) {
        st.Year = quint8(sensor::TestLimits(static_cast<QLineEdit*>(sender)->text(), sensor::Limits::YearMin,
                                            sensor::Limits::YearMax, st.Year));
    } else if (name == QLatin1String("EIdSN")) {
        st.SerialNo = quint16(sensor::TestLimits(static_cast<QLineEdit*>(sender)->text(),
                                                 sensor::Limits::SerialMin, sensor::Limits::SerialMax,
                                                 st.SerialNo));
    } else if (name == QLatin1String("CBIdModel")) {
        const int i = static_cast<QComboBox*>(sender)->currentIndex();
        if (i >= 0) st.ModelIndex = quint8(i);
    } else if (sender == StGCal) {
        for (int k = 0; k < 8; ++k) {
            const QTableWidgetItem* size = StGCal->item(k + 1, 1);
            const QTableWidgetItem* value = StGCal->item(k + 1, 2);
            st.Cal[std::size_t(2 * k)] = sensor::CalSizeFromText(size ? size->text() : QString());
            st.Cal[std::size_t(2 * k + 1)] = sensor::CalValueFromText(value ? value->text() : QString());
        }
    } else {
        return false;
    }
    return true;
}

void TMainForm::UpdateIdentPage() {
    const app::CurrentSensorType& st = session_->sensor;
    const bool g0530 = st.Has(app::Cap::Gen0530);

    // The model list chosen for the type; an index beyond it stands for "unknown".
    auto* model = findChild<QComboBox*>(QStringLiteral("CBIdModel"));
    if (model) {
        const QSignalBlocker block(model);
        if (model->count() > 0 && st.ModelIndex < model->count())
            model->setCurrentIndex(st.ModelIndex);
        else if (model->count() > 0)
            model->setCurrentIndex(0);
    }

    auto* year = findChild<QLineEdit*>(QStringLiteral("EIdYear"));
    if (year) year->setText(YearText(st.Year));
    auto* sn = findChild<QLineEdit*>(QStringLiteral("EIdSN"));
    if (sn) {
        sn->setText(SerialText(st.SerialNo));
        sn->setToolTip(Msg(g0530 ? 392 : 377));
    }

    if (auto* grid = findChild<QTableWidget*>(QStringLiteral("StGIdent"))) {
        const QSignalBlocker block(grid);
        const QStringList labels = lang::MsgList(388, session_->language());
        for (int r = 0; r < 5; ++r)
            SetIdentCell(grid, r, 0, r < labels.size() ? labels[r] : QString());
        SetIdentCell(grid, 0, 1, st.Model);
        SetIdentCell(grid, 1, 1, model && model->currentIndex() >= 0 ? model->currentText() : QString());
        SetIdentCell(grid, 2, 1, st.FirmwareText);
        SetIdentCell(grid, 4, 1,
                     QStringLiteral("20") + YearText(st.Year) +
                         (g0530 ? QStringLiteral(" / 9xx") : QStringLiteral(" / ")) + SerialText(st.SerialNo));
    }

    if (StGCal) {
        const QSignalBlocker block(StGCal);
        const QStringList rows = lang::MsgList(418, session_->language());
        const QStringList cols = lang::MsgList(419, session_->language());
        for (int r = 0; r < 9; ++r)
            SetIdentCell(StGCal, r, 0, r < rows.size() ? rows[r] : QString());
        for (int c = 1; c < 3; ++c)
            SetIdentCell(StGCal, 0, c, c < cols.size() ? cols[c] : QString());
        for (int k = 0; k < 8; ++k) {
            SetIdentCell(StGCal, k + 1, 1, sensor::CalSizeText(st.Cal[std::size_t(2 * k)]));
            SetIdentCell(StGCal, k + 1, 2, sensor::CalValueText(st.Cal[std::size_t(2 * k + 1)]));
        }
    }
}

void TMainForm::ALGetIdentExecute() {}
void TMainForm::ALSetIdSNExecute() {}
void TMainForm::BTIdClearSNClick() {}
void TMainForm::BTIdGetCalClick() {}
void TMainForm::BTIdSetCalClick() {}
void TMainForm::BTIdClearCalClick() {}

} // namespace vmx::ui
