// The settings pages: the parameter block, its editor and the parameter file.
#include "boot/BootLoader.h"
#include "boot/MemoryImages.h"
#include "sensor/DeviceCommands.h"
#include "sensor/Identification.h"
#include "sensor/ParameterEditor.h"
#include "sensor/ParameterFile.h"
#include "sensor/ParameterTransfer.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include "lang/Messages.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QSignalBlocker>
#include <QStyledItemDelegate>
#include <QTabWidget>
#include <QTableWidget>

namespace vmx::ui {

namespace {

using sensor::ParameterBlock;
namespace Par = sensor::Par;

// Gives the cell editors of a grid the edit mask the grid asks for. The mask is written in
// the form's notation ("000;0": three digits, literals not kept); Qt's '0' is an optional digit.
class MaskDelegate : public QStyledItemDelegate {
public:
    MaskDelegate(std::function<QString(int, int)> mask, QObject* parent)
        : QStyledItemDelegate(parent), mask_(std::move(mask))
    {
    }
    QWidget* createEditor(QWidget* parent, const QStyleOptionViewItem& option,
                          const QModelIndex& index) const override
    {
        QWidget* w = QStyledItemDelegate::createEditor(parent, option, index);
        if (auto* e = qobject_cast<QLineEdit*>(w)) {
            const QString m = mask_(index.column(), index.row());
            if (!m.isEmpty()) e->setInputMask(m.section(QLatin1Char(';'), 0, 0));
        }
        return w;
    }

private:
    std::function<QString(int, int)> mask_;
};

void SetComboIndex(QComboBox* c, int index)
{
    if (!c) return;
    const QSignalBlocker block(c);
    c->setCurrentIndex(index < c->count() ? index : c->count() - 1);
}

// Items of a list that depends on the sensor type; the selection is clamped to the new list.
void SetComboList(QComboBox* c, const QStringList& items, int index)
{
    if (!c) return;
    const QSignalBlocker block(c);
    QStringList now;
    for (int i = 0; i < c->count(); ++i)
        now << c->itemText(i);
    if (now != items) {
        c->clear();
        c->addItems(items);
    }
    c->setCurrentIndex(items.isEmpty() ? -1 : qBound(0, index, int(items.size()) - 1));
}

void SetChecked(QCheckBox* c, bool on)
{
    if (!c) return;
    const QSignalBlocker block(c);
    c->setChecked(on);
}

QString CellText(const QTableWidget* g, int row, int col)
{
    const QTableWidgetItem* it = g->item(row, col);
    return it ? it->text() : QString();
}

// The combo boxes and check boxes of the block: name, offset; each averaging/burst byte has
// its on bit (bit 0) and its index (bits 4-7).
struct NibbleControl {
    const char* Combo;
    const char* Check;
    int Offset;
    bool SecondSet;
};
constexpr NibbleControl kNibbleControls[] = {
    {"CBBubbleAvg", "ChBBubbleAvgM", Par::BubbleAvg, false},
    {"CBBubbleAvg2", "ChBBubbleAvgM2", Par::BubbleAvg, true},
    {"CBZeroAvg", "ChBZeroAvgM", Par::ZeroAvg, false},
    {"CBBurstCt", "ChBBurst", Par::Burst, false},
    {"CBTestBurstCt", "ChBTestBurst", Par::TestBurst, false},
};

} // namespace

QString TMainForm::StGainTestGetEditMask(int col, int row) const
{
    return sensor::GainTestEditMask(col, row);
}

void TMainForm::StGainTestSelectCell()
{
    EditChange(StGainTest);
}

void TMainForm::StGCalSelectCell()
{
    EditChange(StGCal);
}

void TMainForm::EditChange(QObject* sender)
{
    // Refilling the controls is no edit of the user's.
    if (updatingDialog_ || !sender) return;
    ++editChangeCount_;
    Q_EMIT editChanged(sender);
    if (!EditChangeParameter(sender)) EditChangeIdent(sender);
    UpdateDialog();
}

bool TMainForm::EditChangeParameter(QObject* sender)
{
    ParameterBlock& b = station_->params().edit;
    station::StationSettings& st = station_->settings;
    const QString name = sender->objectName();
    if (const sensor::EditField* f = sensor::FindEditField(name)) {
        if (auto* e = qobject_cast<QLineEdit*>(sender)) sensor::ApplyEditText(b, *f, e->text());
        return true;
    }
    for (const NibbleControl& n : kNibbleControls) {
        if (name == QLatin1String(n.Combo)) {
            const int i = static_cast<QComboBox*>(sender)->currentIndex();
            if (i >= 0) b.SetHighNibble(n.Offset, i);
            return true;
        }
        if (name == QLatin1String(n.Check)) {
            b.SetBit(n.Offset, 0, static_cast<QCheckBox*>(sender)->isChecked());
            return true;
        }
    }
    if (sender == StGainTest) {
        for (int r = 1; r <= Par::GainTestRows; ++r)
            for (int c = 1; c <= Par::GainTestCols; ++c)
                b.SetByte(sensor::GainCellOffset(r, c), sensor::GainCellValue(CellText(StGainTest, r, c)));
        return true;
    }
    auto combo = qobject_cast<QComboBox*>(sender);
    const int item = combo ? combo->currentIndex() : -1;
    if (name == QLatin1String("CBStartCfg")) {
        sensor::SetStartCfgItem(b, item);
    } else if (name == QLatin1String("CBInitInterval")) {
        sensor::SetInitIntervalItem(b, item);
    } else if (name == QLatin1String("CBStartCfgMode")) {
        if (item >= 0) b.SetStartCfgMode(quint8(item));
    } else if (name == QLatin1String("CBMSerialMode")) {
        // The index is the setting itself; the refresh shows its labels.
    } else if (name == QLatin1String("CBGainTest")) {
        if (item >= 0) st.gainTestIndex = item <= 4 ? item : 255;
    } else if (name == QLatin1String("ChBBubbleTabLin")) {
        b.SetBubbleTabLinear(static_cast<QCheckBox*>(sender)->isChecked());
    } else if (name == QLatin1String("CBLSecurity")) {
        auto* list = static_cast<QListWidget*>(sender);
        std::vector<bool> checked;
        for (int k = 0; k < list->count(); ++k)
            checked.push_back(list->item(k)->checkState() == Qt::Checked);
        sensor::SetSecurityItems(b, checked);
    } else if (name == QLatin1String("EMaxBubble")) {
        st.maxBubble =
            sensor::TestLimits(static_cast<QLineEdit*>(sender)->text(), sensor::Limits::MaxBubbleMin,
                               sensor::Limits::MaxBubbleMax, st.maxBubble);
    } else if (name == QLatin1String("ENThr")) {
        st.bubbleThreshold =
            sensor::TestLimits(static_cast<QLineEdit*>(sender)->text(), sensor::Limits::ThresholdMin,
                               sensor::Limits::ThresholdMax, st.bubbleThreshold);
    } else if (name == QLatin1String("EBubbleTestTime") || name == QLatin1String("EBubbleTestTime2")) {
        st.bubbleTestTime =
            sensor::TestLimits(static_cast<QLineEdit*>(sender)->text(), sensor::Limits::BubbleTestTimeMin,
                               sensor::Limits::BubbleTestTimeMax, st.bubbleTestTime);
    } else if (name == QLatin1String("EAmplDecTemp")) {
        st.amplControlTime =
            sensor::TestLimits(static_cast<QLineEdit*>(sender)->text(), sensor::Limits::AdjustingSpeedMin,
                               sensor::Limits::AdjustingSpeedMax, st.amplControlTime);
    } else {
        return false;
    }
    return true;
}

void TMainForm::UpdateDialog()
{
    updatingDialog_ = true;
    sensor::NormaliseEditBlock(station_->params().edit, session_->sensor.Flags,
                               station_->transfer().ParLen());
    UpdateParameterPages();
    UpdatePanels();
    UpdateIdentPage();
    updatingDialog_ = false;
    // The chart background follows the scale and threshold.
    DrawBitmapSchedule();
}

void TMainForm::UpdateParameterPages()
{
    const ParameterBlock& b = station_->params().edit;
    const quint32 flags = session_->sensor.Flags;
    const bool g140 = session_->sensor.Has(app::Cap::Gen140);
    const auto msg = [this](int i) { return Msg(i); };

    for (const sensor::EditField& f : sensor::EditFields()) {
        auto* e = findChild<QLineEdit*>(f.Name);
        if (!e) continue;
        if (f.SecondSet && !g140) continue;
        const QString text = sensor::EditFieldText(b, f, msg);
        if (e->text() != text) e->setText(text);
        if (f.HintMessage >= 0) e->setToolTip(sensor::EditFieldHint(b, f, msg));
    }

    for (const NibbleControl& n : kNibbleControls) {
        if (n.SecondSet && !g140) continue;
        auto* c = findChild<QComboBox*>(QLatin1String(n.Combo));
        if (c) SetComboIndex(c, sensor::ListItem(b.HighNibble(n.Offset), c->count()));
        SetChecked(findChild<QCheckBox*>(QLatin1String(n.Check)), b.Bit(n.Offset, 0));
    }
    SetComboIndex(findChild<QComboBox*>(QStringLiteral("CBStartCfg")), sensor::StartCfgItem(b));
    SetComboIndex(findChild<QComboBox*>(QStringLiteral("CBInitInterval")), sensor::InitIntervalItem(b));

    // Serial mode of the monitor page and the start configuration mode: lists by type.
    auto* serial = findChild<QComboBox*>(QStringLiteral("CBMSerialMode"));
    if (serial) {
        SetComboList(serial, lang::MsgList(sensor::SerialModeListMessage(flags), session_->language()),
                     qMax(0, serial->currentIndex()));
        const auto [in, out] = sensor::SerialModeLabelMessages(serial->currentIndex());
        if (auto* l = findChild<QLabel*>(QStringLiteral("LMSerialModeIn"))) l->setText(Msg(in));
        if (auto* l = findChild<QLabel*>(QStringLiteral("LMSerialModeOut"))) l->setText(Msg(out));
    }
    if (g140) {
        SetComboList(findChild<QComboBox*>(QStringLiteral("CBStartCfgMode")),
                     lang::MsgList(sensor::StartCfgModeListMessage(flags), session_->language()),
                     b.StartCfgMode());
        const auto [in, out] = sensor::SerialModeLabelMessages(b.StartCfgMode());
        if (auto* l = findChild<QLabel*>(QStringLiteral("LMSerialModeIn2"))) l->setText(Msg(in));
        if (auto* l = findChild<QLabel*>(QStringLiteral("LMSerialModeOut2"))) l->setText(Msg(out));
        SetChecked(findChild<QCheckBox*>(QStringLiteral("ChBBubbleTabLin")), b.Byte(Par::BubbleTabLin) & 1u);
        if (auto* l = findChild<QLabel*>(QStringLiteral("LBubbleTabErr"))) {
            const bool ok = b.BubbleTableValid();
            l->setText(sensor::BubbleTableCheckText(ok, msg));
            l->setStyleSheet(ok ? QStringLiteral("color: green;") : QStringLiteral("color: red;"));
        }
    }

    if (auto* sec = findChild<QListWidget*>(QStringLiteral("CBLSecurity"))) {
        const QSignalBlocker block(sec);
        for (int k = 0; k < sec->count(); ++k)
            sec->item(k)->setCheckState(sensor::SecurityItemChecked(b, k) ? Qt::Checked : Qt::Unchecked);
    }

    if (StGainTest) {
        const QSignalBlocker block(StGainTest);
        for (int r = 1; r <= Par::GainTestRows; ++r)
            for (int c = 1; c <= Par::GainTestCols; ++c)
                SetGridCell(StGainTest, r, c, sensor::GainCellText(b.Byte(sensor::GainCellOffset(r, c))));
    }

    // Settings outside the block.
    const auto setNumber = [this](const char* name, int v) {
        if (auto* e = findChild<QLineEdit*>(QLatin1String(name))) {
            const QString t = QString::number(v);
            if (e->text() != t) e->setText(t);
        }
    };
    const station::StationSettings& st = station_->settings;
    setNumber("EMaxBubble", st.maxBubble);
    setNumber("ENThr", st.bubbleThreshold);
    setNumber("EBubbleTestTime", st.bubbleTestTime);
    setNumber("EBubbleTestTime2", st.bubbleTestTime);
    setNumber("EAmplDecTemp", st.amplControlTime);
    SetComboIndex(findChild<QComboBox*>(QStringLiteral("CBGainTest")),
                  st.gainTestIndex <= 4 ? st.gainTestIndex : 5);
    for (const char* n : {"ChBPowerOnAutoMon", "ChBPowerOnAutoSet", "ChBPowerOnAutoId"})
        SetChecked(findChild<QCheckBox*>(QLatin1String(n)), station_->PowerAutomatic());
}

void TMainForm::UpdatePanels()
{
    const ParameterBlock& b = station_->params().edit;
    const bool g140 = session_->sensor.Has(app::Cap::Gen140);
    const QList<TPanel*> panels = findChildren<TPanel*>();
    for (TPanel* p : panels) {
        const int tag = Tag(p);
        const sensor::PanelBit bit = sensor::PanelBitOfTag(tag);
        if (bit.Offset < 0) continue;
        // The second start set and the output table belong to the V1.40 page only.
        const bool second = tag >= 90;
        sensor::PanelLook look = sensor::PanelLookOf(b, tag);
        if (second && !g140) look = sensor::PanelLook::Off;
        QString text, colour;
        switch (look) {
        case sensor::PanelLook::Green:
            colour = QStringLiteral("#00C000");
            break;
        case sensor::PanelLook::Red:
            colour = QStringLiteral("#FF0000");
            break;
        case sensor::PanelLook::Blue:
            colour = QStringLiteral("#0000FF");
            break;
        case sensor::PanelLook::Auto:
            text = QStringLiteral("AUTO");
            break;
        case sensor::PanelLook::High:
            text = QStringLiteral("H");
            break;
        case sensor::PanelLook::Low:
            text = QStringLiteral("L");
            break;
        case sensor::PanelLook::Off:
            break;
        }
        p->setText(text);
        p->setAlignment(Qt::AlignCenter);
        // "AUTO" fits its wider panel in a size that can be read.
        QFont font = p->font();
        font.setPixelSize(look == sensor::PanelLook::Auto ? 10 : 11);
        p->setFont(font);
        p->setProperty("look", int(look));
        QString style = colour.isEmpty() ? QString() : QStringLiteral("background-color: %1;").arg(colour);
        // The level panels of the output table keep their bold blue letters.
        if (tag >= 100 && tag % 10 == 4) style += QStringLiteral("color: blue; font-weight: bold;");
        p->setStyleSheet(style);
    }
}

void TMainForm::InitBubbleTabEditors()
{
    const QSignalBlocker block(StGainTest);
    // The gain-test grid: headings are fixed, the cells take three digits.
    StGainTest->setItemDelegate(
        new MaskDelegate([this](int col, int row) { return StGainTestGetEditMask(col, row); }, StGainTest));
    for (int r = 0; r < StGainTest->rowCount(); ++r)
        for (int c = 0; c < StGainTest->columnCount(); ++c) {
            if (!StGainTest->item(r, c)) StGainTest->setItem(r, c, new QTableWidgetItem);
            if (r == 0 || c == 0)
                StGainTest->item(r, c)->setFlags(StGainTest->item(r, c)->flags() & ~Qt::ItemIsEditable);
        }
}

void TMainForm::SetCfgLED_Out(QObject* sender)
{
    if (sender) sensor::ToggleCfgBit(station_->params().edit, Tag(sender));
    UpdateDialog();
}

void TMainForm::SetStandardValues()
{
    station_->params().SetStandardValues();
}

QString TMainForm::AskFileName(const char* dialog, const QString& preset, bool save)
{
    if (env_.pickFile) return env_.pickFile(QLatin1String(dialog), preset);
    auto* d = findChild<TFileDialogText*>(QLatin1String(dialog));
    const QString title = d ? d->Title : QString();
    const QString filter = d ? d->QtFilter() : QString();
    QString name = save ? QFileDialog::getSaveFileName(this, title, preset, filter)
                        : QFileDialog::getOpenFileName(this, title, preset, filter);
    if (save && !name.isEmpty() && QFileInfo(name).suffix().isEmpty()) name += QStringLiteral(".hex");
    return name;
}

bool TMainForm::ImportHexParameter(const QString& fileName)
{
    return station_->parameterFile().ImportHexParameter(fileName);
}

void TMainForm::ALReadParameterExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    // The transfer ends with a restart: the boot loader is left.
    bootStarted_ = false;
    station_->ReadParameters();
}

void TMainForm::ALWriteParameterExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    bootStarted_ = false;
    station_->WriteParameters();
}

void TMainForm::ALVerifyParameterExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    bootStarted_ = false;
    station_->VerifyParameters();
}

void TMainForm::ALSetStandardExecute()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->SetStandardParameters();
}

bool TMainForm::WithCalibrationInFile() const
{
    auto* exim = findChild<QCheckBox*>(QStringLiteral("ChBIdExImCal"));
    return exim && exim->isChecked();
}

void TMainForm::BTSOpenParameterFileClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    const QString name = AskFileName("OpenHexFile", station_->parameterFile().lastFileName, false);
    if (name.isEmpty()) return;
    station_->OpenParameterFile(name, WithCalibrationInFile());
}

void TMainForm::BTSSaveParameterFileClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    TestFocusChanged();
    const QString name = AskFileName("SaveHexFile", station_->parameterFile().lastFileName, true);
    if (name.isEmpty()) return;
    station_->SaveParameterFile(name, WithCalibrationInFile());
}

} // namespace vmx::ui
