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
#include <QSignalBlocker>
#include <QTableWidget>

namespace vmx::ui {

namespace {
// An edit's number, or the fallback when it holds none (the editor keeps them in range).
int EditNumber(const QLineEdit* e, int fallback)
{
    if (!e) return fallback;
    bool ok = false;
    const int v = e->text().trimmed().toInt(&ok);
    return ok ? v : fallback;
}
} // namespace

// What the device commands left to show: glyphs, check marks, captions, enabling.
void TMainForm::DeviceStateChanged(DeviceField field)
{
    const station::DeviceState& d = station_->deviceState();
    switch (field) {
    case DeviceField::PowerGlyph: {
        const QPixmap g = Glyph(d.powerGlyphOn ? QStringLiteral("POWER_ON") : QStringLiteral("POWER_OFF"));
        for (const char* n : {"BTPowerOn", "BTPowerOn2"})
            if (auto* b = findChild<QAbstractButton*>(QLatin1String(n))) b->setIcon(g);
        break;
    }
    case DeviceField::PowerAction: {
        QAction* a = act("ALPowerOn");
        const bool blocked = a->blockSignals(true);
        a->setChecked(d.powerActionChecked);
        a->blockSignals(blocked);
        break;
    }
    case DeviceField::ColourBoxes:
        for (const char* n : {"CBLEDgreen", "CBLEDred", "CBLEDblue"})
            SetEnabledNamed(n, d.colourBoxesEnabled);
        break;
    case DeviceField::Channel:
        act("ALSwitchIF")->setText(d.channelCaption);
        break;
    case DeviceField::SerialMode:
        if (auto* c = findChild<QComboBox*>(QStringLiteral("CBMSerialMode"))) {
            const QSignalBlocker block(c);
            c->setCurrentIndex(d.serialModeIndex < c->count() ? d.serialModeIndex : c->count() - 1);
        }
        station_->SerialModeIndexShown();
        break;
    case DeviceField::PowerAutomatic:
        ShowPowerAuto();
        break;
    }
}

void TMainForm::ShowPowerAuto()
{
    for (const char* n : {"ChBPowerOnAutoId", "ChBPowerOnAutoMon", "ChBPowerOnAutoSet"})
        if (auto* b = findChild<QCheckBox*>(QLatin1String(n))) b->setChecked(station_->PowerAutomatic());
}

int TMainForm::SerialModeIndex() const
{
    auto* cb = findChild<QComboBox*>(QStringLiteral("CBMSerialMode"));
    return cb ? qMax(0, cb->currentIndex()) : 0;
}

sensor::LedBits TMainForm::LedFromBoxes() const
{
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

int TMainForm::BubbleTestTime() const
{
    const int t = EditNumber(findChild<QLineEdit*>(QStringLiteral("EBubbleTestTime")),
                             station_->settings.bubbleTestTime);
    return qBound(0, t, 250);
}

void TMainForm::ALQVRResetExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Restart();
}

void TMainForm::ALSetConfigExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->SetOutputMode(SerialModeIndex(), LedFromBoxes());
}

void TMainForm::ALSetLEDExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    UpdateLEDControls();
    if (!session_->sensor.Has(app::Cap::Led)) return;
    station_->SetLed(SerialModeIndex(), LedFromBoxes());
}

void TMainForm::ALBubbleTestExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->settings.bubbleTestTime = BubbleTestTime();
    station_->BubbleTest(SerialModeIndex());
}

void TMainForm::ALAmplDecExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station::StationSettings& st = station_->settings;
    const int speed = EditNumber(findChild<QLineEdit*>(QStringLiteral("EAmplDecTemp")), st.amplControlTime);
    st.amplControlTime = qBound(1, speed, 65535);
    station_->AdjustTemporarily();
}

void TMainForm::ALPowerOnExecute()
{
    const TransferLock lock(*this);
    if (!lock) {
        // The click has already moved the check mark; nothing was sent.
        act("ALPowerOn")->setChecked(!act("ALPowerOn")->isChecked());
        return;
    }
    station_->SetPower(act("ALPowerOn")->isChecked());
}

void TMainForm::ALSwitchIFExecute()
{
    const TransferLock lock(*this);
    if (!lock) {
        // The click has already moved the check mark; nothing was sent.
        act("ALSwitchIF")->setChecked(!act("ALSwitchIF")->isChecked());
        return;
    }
    station_->SelectChannel(act("ALSwitchIF")->isChecked());
}

void TMainForm::BTStartServiceClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    if (auto* cb = findChild<QComboBox*>(QStringLiteral("CBMSerialMode")))
        if (cb->count() > sensor::DeviceCommands::kServiceMode)
            cb->setCurrentIndex(sensor::DeviceCommands::kServiceMode);
    station_->StartService(LedFromBoxes());
}

void TMainForm::ChBPowerOnAutoSetMouseUp()
{
    station_->TogglePowerAutomatic();
    ShowPowerAuto();
}

bool TMainForm::SetPowerAutomatically()
{
    return station_->devices().SetPowerAutomatically();
}

void TMainForm::BTSetGainTestClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    auto* grid = findChild<QTableWidget*>(QStringLiteral("StGainTesttemp"));
    auto* cb = findChild<QComboBox*>(QStringLiteral("CBGainTest"));
    station_->settings.gainTestIndex = sensor::DeviceCommands::GainStepOfItem(cb ? cb->currentIndex() : -1);
    station_->SetGainTest();
    const sensor::GainGrid& g = station_->devices().gainGrid();
    for (int r = 0; r < int(g.cells.size()); ++r)
        for (int c = 0; c < 2; ++c)
            SetGridCell(grid, r, c, g.cells[size_t(r)][size_t(c)]);
}

} // namespace vmx::ui
