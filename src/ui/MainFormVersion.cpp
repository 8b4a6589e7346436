// The version menu and what the current sensor type and mode switch on and off.
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include <QAction>
#include <QActionGroup>
#include <QCheckBox>
#include <QMenu>
#include <QStackedWidget>
#include <QTabWidget>

namespace vmx::ui {

namespace {

// The page control a tab page belongs to, and its index there.
QTabWidget* TabOf(QWidget* page, int& index)
{
    for (QWidget* p = page->parentWidget(); p; p = p->parentWidget())
        if (auto* tabs = qobject_cast<QTabWidget*>(p)) {
            index = tabs->indexOf(page);
            return index >= 0 ? tabs : nullptr;
        }
    return nullptr;
}

} // namespace

QObject* TMainForm::Named(const char* name) const
{
    return findChild<QObject*>(QLatin1String(name));
}

void TMainForm::SetEnabledNamed(const char* name, bool on) const
{
    QObject* o = Named(name);
    if (auto* a = qobject_cast<QAction*>(o))
        a->setEnabled(on);
    else if (auto* m = qobject_cast<QMenu*>(o))
        m->menuAction()->setEnabled(on);
    else if (auto* w = qobject_cast<QWidget*>(o))
        w->setEnabled(on);
}

// Shows or hides a control; a page is shown or hidden as a tab of its page control.
void TMainForm::SetShownNamed(const char* name, bool on) const
{
    QObject* o = Named(name);
    if (auto* a = qobject_cast<QAction*>(o))
        a->setVisible(on);
    else if (auto* m = qobject_cast<QMenu*>(o))
        m->menuAction()->setVisible(on);
    else if (auto* w = qobject_cast<QWidget*>(o)) {
        int index = -1;
        if (QTabWidget* tabs = TabOf(w, index))
            tabs->setTabVisible(index, on);
        else
            w->setVisible(on);
    }
}

void TMainForm::CreateTypeMenu()
{
    MIVersion->clear();
    for (QMenu* old : MIVersion->findChildren<QMenu*>(Qt::FindDirectChildrenOnly))
        delete old;
    versionItems_.clear();
    delete versionGroup_;
    // Radio items, but MIVersionUnchecked may leave none checked.
    versionGroup_ = new QActionGroup(this);
    versionGroup_->setExclusionPolicy(QActionGroup::ExclusionPolicy::ExclusiveOptional);
    int group = 0;
    for (const app::VersionMenuEntry& e : app::BuildVersionMenu(session_->config.ShowVersion)) {
        if (e.Separator) {
            MIVersion->addSeparator();
            continue;
        }
        auto* g = new QMenu(e.Caption, MIVersion);
        g->setObjectName(QStringLiteral("MIVersionGroup%1").arg(++group));
        MIVersion->addMenu(g);
        for (const app::VersionMenuItem& it : e.Items) {
            QAction* a = g->addAction(it.Caption);
            a->setObjectName(QStringLiteral("MIVersion_%1").arg(it.Key));
            a->setCheckable(true);
            versionGroup_->addAction(a);
            SetTag(a, it.Key);
            connect(a, &QAction::triggered, this, [this, a] { MISubVersionClick(a); });
            versionItems_ << a;
        }
    }
}

void TMainForm::MIVersionUnchecked()
{
    for (QAction* a : versionItems_)
        a->setChecked(false);
}

QAction* TMainForm::CheckedVersionItem() const
{
    for (QAction* a : versionItems_)
        if (a->isChecked()) return a;
    return nullptr;
}

void TMainForm::TestValidVersion()
{
    const app::CurrentSensorType& st = session_->sensor;
    int row = app::LastRowMatching(st.IdentCode, st.Type, st.SubType, st.Firmware);
    if (row < 0) row = 0;
    const int key = int(app::kSensorTypes[row].Key);
    for (QAction* a : versionItems_)
        if (Tag(a) == key) {
            MIVersionUnchecked();
            a->setChecked(true);
            return;
        }
}

void TMainForm::MISubVersionClick(QAction* item)
{
    // A version chosen by hand: the identification of the sensor before is no longer known,
    // also when the same entry is chosen again.
    session_->CopyValidSensorType(session_->sensor.Row);
    MIVersionUnchecked();
    item->setChecked(true);
    UpdateVersion();
    UpdateDialog();
    ScanTestIniFile();
    PanelText(
        1,
        QStringLiteral("Sensor: %1, Version: %2").arg(session_->sensor.Model, session_->sensor.FirmwareText));
}

void TMainForm::UpdateVersion()
{
    // 1: the checked entry becomes the current type (none checked, or no such row: row 0).
    QAction* checked = CheckedVersionItem();
    const int found = app::LastRowWithKey(checked ? Tag(checked) : -1);
    const int row = found < 0 ? 0 : found;
    // A language switch or a mode change applies the same type again: what the sensor said
    // about itself stays. Only another type resets it (a version picked in the menu resets
    // before it comes here).
    const app::CurrentSensorType before = session_->sensor;
    session_->CopyValidSensorType(row);
    if (before.Row == row) {
        app::CurrentSensorType& now = session_->sensor;
        now.Hardware = before.Hardware;
        now.Year = before.Year;
        now.SerialNo = before.SerialNo;
        now.ModelIndex = before.ModelIndex;
        now.Cal = before.Cal;
    }
    const app::CurrentSensorType& st = session_->sensor;
    const app::OperatingMode& mode = session_->mode;
    using namespace app::Cap;

    // 2: LED group; the colours only while "auto" is off.
    UpdateLEDControls();
    // 3-4
    SetEnabledNamed("ALSetMode", st.Has(SetMode));
    for (const char* n : {"ALBubbleTest", "EBubbleTestTime", "EBubbleTestTime2"})
        SetEnabledNamed(n, st.Has(BubbleTest));
    // 5: window caption.
    setWindowTitle((st.Has(CaptionFamily) ? Msg(2) : Msg(1)) + st.Model);
    // 6-8
    SetEnabledNamed("ALGetIdent", st.Has(Ident));
    SetShownNamed("TSIdent", st.Has(Ident));
    SetEnabledNamed("CBLSecurity", st.Has(SelfTestList));
    for (const char* n : {"ALAmplDec", "BTAmplDec", "EAmplDecTemp", "LAmplDec"})
        SetShownNamed(n, st.Has(AmplDec));
    // 9: the 05.30 generation.
    const bool g0530 = st.Has(Gen0530);
    SetEnabledNamed("EServiceModeTime", g0530);
    for (const char* n : {"GBLEDCfg", "GBConfig"})
        SetEnabledNamed(n, !g0530);
    for (const char* n : {"GBIdService", "MIStartService", "GBIdCal", "BTIdGetCal", "ChBIdExImCal"})
        SetShownNamed(n, g0530);
    for (const char* n : {"BTIdSetCal", "BTIdClearCal", "StGCal"})
        SetShownNamed(n, g0530 && mode.Manufacturer);
    // 10: the V1.40 generation.
    const bool g140 = st.Has(Gen140);
    for (const char* n : {"CBGainTest", "BTSetGainTest"})
        SetEnabledNamed(n, g140);
    // The visible one of the two becomes the sub-page; the third stays where the user left it
    // (asked before hiding: the tab bar moves off a tab it hides).
    const bool onThird = PCSet->currentWidget() == TSSet3;
    SetShownNamed("TSSet2", g140);
    SetShownNamed("TSSet1", !g140);
    PCSet->setCurrentWidget(onThird ? TSSet3 : g140 ? TSSet2 : TSSet1);
    // 11-14
    for (const char* n : {"EMaxDiff", "EAmplTestLimit"})
        SetEnabledNamed(n, g0530 || g140);
    const bool writeSerial = st.Has(WriteSerial) && mode.Manufacturer;
    for (const char* n : {"EIdSN", "EIdYear", "ALSetIdSN", "CBIdModel", "BTIdClearSN"})
        SetEnabledNamed(n, writeSerial);
    SetEnabledNamed("EExtResetTime", st.Has(OutModes10));
    SetShownNamed("BTTKSwitchIF", st.Has(ChannelSwitch));
    // 15: operating mode.
    const bool boot = mode.Service || mode.Manufacturer;
    SetShownNamed("MIBootMenu", boot);
    SetEnabledNamed("MIBootMenu", boot);
    SetShownNamed("TSBoot", boot);
    SetShownNamed("TSTest", mode.Manufacturer);
    SetShownNamed("TSHistory", mode.Service || mode.Manufacturer);
    SetShownNamed("TSStatistics", mode.Service || mode.Manufacturer);
    SetShownNamed("MITest", mode.Manufacturer);
}

} // namespace vmx::ui
