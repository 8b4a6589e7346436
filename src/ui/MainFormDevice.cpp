// The monitor page's device commands: the window reads its controls and hands the values to
// the sensor layer, which does the talking; what comes back is shown through its callbacks.
#include "ui/FormWidgets.h"
#include "ui/Glyphs.h"
#include "ui/MainForm.h"

#include <QAbstractButton>
#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QTableWidget>

namespace vmx::ui {

namespace {
// An edit's number, or the fallback when it holds none (the editor keeps them in range).
int EditNumber(const QLineEdit* e, int fallback) {
    if (!e) return fallback;
    bool ok = false;
    const int v = e->text().trimmed().toInt(&ok);
    return ok ? v : fallback;
}
} // namespace

void TMainForm::WireDeviceCommands() {
    sensor::DeviceCommands* d = devices_.get();
    d->stopAcquisition = [this] { ALStopExecute(); };
    d->onColourBoxesEnabled = [this](bool on) {
        for (const char* n : {"CBLEDgreen", "CBLEDred", "CBLEDblue"}) SetEnabledNamed(n, on);
    };
    d->onPowerGlyph = [this](bool on) {
        const QPixmap g = Glyph(on ? QStringLiteral("POWER_ON") : QStringLiteral("POWER_OFF"));
        for (const char* n : {"BTPowerOn", "BTPowerOn2"})
            if (auto* b = findChild<QAbstractButton*>(QLatin1String(n))) b->setIcon(g);
    };
    d->onPowerActionChecked = [this](bool checked) {
        QAction* a = act("ALPowerOn");
        const bool blocked = a->blockSignals(true);
        a->setChecked(checked);
        a->blockSignals(blocked);
    };
    d->onChannelCaption = [this](const QString& caption) { act("ALSwitchIF")->setText(caption); };
    d->onPowerAutoChanged = [this](bool on) {
        powerAutomatic_ = on;
        ShowPowerAuto();
    };
    d->SetPowerAuto(powerAutomatic_);
}

sensor::DeviceCommands& TMainForm::Dev() {
    return *devices_;
}

void TMainForm::ShowPowerAuto() {
    for (const char* n : {"ChBPowerOnAutoId", "ChBPowerOnAutoMon", "ChBPowerOnAutoSet"})
        if (auto* b = findChild<QCheckBox*>(QLatin1String(n))) b->setChecked(powerAutomatic_);
}

int TMainForm::SerialModeIndex() const {
    auto* cb = findChild<QComboBox*>(QStringLiteral("CBMSerialMode"));
    return cb ? qMax(0, cb->currentIndex()) : 0;
}

sensor::LedBits TMainForm::LedFromBoxes() const {
    auto checked = [this](const char* n) {
        auto* b = findChild<QCheckBox*>(QLatin1String(n));
        return b && b->isChecked();
    };
    sensor::LedBits led;
    led.green = checked("CBLEDgreen");
    led.red = checked("CBLEDred");
    led.blue = checked("CBLEDblue");
    led.automatic = checked("CBLEDauto");
    return led;
}

int TMainForm::BubbleTestTime() const {
    const int t = EditNumber(findChild<QLineEdit*>(QStringLiteral("EBubbleTestTime")), bubbleTestTime_);
    return qBound(0, t, 250);
}

void TMainForm::ALQVRResetExecute() {
    Dev().ALQVRResetExecute();
}

void TMainForm::ALSetConfigExecute() {
    powerAutomatic_ = Dev().PowerAuto();
    Dev().ALSetConfigExecute(SerialModeIndex(), LedFromBoxes());
}

void TMainForm::ALSetLEDExecute() {
    UpdateLEDControls();
    if (!session_->sensor.Has(app::Cap::Led)) return;
    Dev().ALSetLEDExecute(SerialModeIndex(), LedFromBoxes());
}

void TMainForm::ALBubbleTestExecute() {
    bubbleTestTime_ = BubbleTestTime();
    Dev().ALBubbleTestExecute(SerialModeIndex(), bubbleTestTime_);
}

void TMainForm::ALAmplDecExecute() {
    const int speed = EditNumber(findChild<QLineEdit*>(QStringLiteral("EAmplDecTemp")), amplControlTime_);
    amplControlTime_ = qBound(1, speed, 65535);
    Dev().ALAmplDecExecute(amplControlTime_);
}

void TMainForm::ALPowerOnExecute() {
    Dev().ALPowerOnExecute(act("ALPowerOn")->isChecked());
}

void TMainForm::ALSwitchIFExecute() {
    Dev().ALSwitchIFExecute(act("ALSwitchIF")->isChecked());
}

void TMainForm::BTStartServiceClick() {
    if (auto* cb = findChild<QComboBox*>(QStringLiteral("CBMSerialMode")))
        if (cb->count() > sensor::DeviceCommands::kServiceMode) cb->setCurrentIndex(sensor::DeviceCommands::kServiceMode);
    Dev().BTStartServiceClick(LedFromBoxes());
}

void TMainForm::ChBPowerOnAutoSetMouseUp() {
    Dev().ChBPowerOnAutoSetMouseUp();
    powerAutomatic_ = Dev().PowerAuto();
    ShowPowerAuto();
}

bool TMainForm::SetPowerAutomatically() {
    return Dev().SetPowerAutomatically();
}

void TMainForm::BTSetGainTestClick() {
    auto* grid = findChild<QTableWidget*>(QStringLiteral("StGainTesttemp"));
    auto show = [grid](const sensor::GainGrid& g) {
        for (int r = 0; r < int(g.cells.size()); ++r)
            for (int c = 0; c < 2; ++c) SetGridCell(grid, r, c, g.cells[size_t(r)][size_t(c)]);
    };
    auto* cb = findChild<QComboBox*>(QStringLiteral("CBGainTest"));
    gainTestIndex_ = sensor::DeviceCommands::GainStepOfItem(cb ? cb->currentIndex() : -1);
    Dev().BTSetGainTestClick(gainTestIndex_);
    show(Dev().gainGrid());
}

} // namespace vmx::ui
