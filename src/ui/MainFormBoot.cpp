// The boot page: boot loader, memories, HEX and ABS files, firmware download.
#include "lang/MessageIds.h"
#include "lang/OperatorTexts.h"
#include "ui/FormWidgets.h"
#include "ui/MainForm.h"

#include "app/TextHelpers.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QProgressBar>
#include <QRadioButton>
#include <QStatusBar>

#include <algorithm>
#include <array>

namespace vmx::ui {

// The catalogue numbers by name.
using namespace lang::ids;

using namespace vmx::boot;

namespace {

// The memory buttons in the order the handlers walk them.
struct MemButton {
    int kind;
    const char* name;
};
constexpr std::array<MemButton, 4> kMemButtons{
    {{KindCode, "RBMemCode"}, {KindSram, "RBMemSRAM"}, {KindXram, "RBMemXRAM"}, {KindEeprom, "RBMemInEE"}}};

const char kSeparator[] = "-----------------------------------------------------";

QString Hex4(quint32 v)
{
    return QStringLiteral("%1").arg(v, 4, 16, QLatin1Char('0')).toUpper();
}

// One line of the dump: "AAAA: " and 16 bytes "BB ".
QString DumpLine(quint32 address, const quint8* bytes)
{
    static const char digits[] = "0123456789ABCDEF";
    QString line = Hex4(address) + QStringLiteral(": ");
    line.reserve(6 + 16 * 3);
    for (int i = 0; i < 16; ++i) {
        line += QLatin1Char(digits[bytes[i] >> 4]);
        line += QLatin1Char(digits[bytes[i] & 0x0F]);
        line += QLatin1Char(' ');
    }
    return line;
}

} // namespace

// ---- state ----

void TMainForm::InitBootState()
{
    if (!progress_) {
        progress_ = new QProgressBar(statusBar());
        progress_->setObjectName(QStringLiteral("PBTransfer"));
        // Wide enough to read at a glance beside the status panels, with its percentage.
        progress_->setMinimumWidth(220);
        progress_->setMaximumWidth(320);
        progress_->setMinimumHeight(progress_->fontMetrics().height() + 6);
        progress_->setTextVisible(true);
        progress_->setFormat(QStringLiteral("%p %"));
        progress_->hide();
        statusBar()->addPermanentWidget(progress_);
    }
    UpdateBootPage();
}

// Without a remembered name the download asks through the import buttons; the name decides.
bool TMainForm::PickDownloadFile(bool abs)
{
    if (abs)
        AbsImport();
    else
        HexImport();
    return true;
}

void TMainForm::Progress(qint64 done, qint64 total)
{
    if (!progress_) return;
    if (total <= 0) {
        progress_->hide();
        progress_->reset();
        return;
    }
    progress_->setRange(0, int(std::min<qint64>(total, 1 << 30)));
    progress_->setValue(int(std::clamp<qint64>(done, 0, total)));
    progress_->show();
}

int TMainForm::BootChannel() const
{
    auto* tk = findChild<QCheckBox*>(QStringLiteral("ChBTK33Mem"));
    return tk && tk->isChecked() ? kChannelModule : kChannelSensor;
}

namespace {
std::array<bool, kMemoryKindCount> CheckedKinds(const QObject* form)
{
    std::array<bool, kMemoryKindCount> checked{};
    for (const MemButton& m : kMemButtons) {
        auto* rb = form->findChild<QRadioButton*>(QLatin1String(m.name));
        checked[size_t(m.kind)] = rb && rb->isChecked();
    }
    return checked;
}

// The kind the address edits and the dump show: the first checked in the handlers' order.
int ShownKind(const std::array<bool, kMemoryKindCount>& checked)
{
    for (const MemButton& m : kMemButtons)
        if (checked[size_t(m.kind)]) return m.kind;
    return -1;
}

// The kind a HEX file goes to or comes from: the one whose limit the checked buttons give.
int HexKind(const std::array<bool, kMemoryKindCount>& checked)
{
    for (int kind : {int(KindEeprom), int(KindXram), int(KindSram), int(KindCode)})
        if (checked[size_t(kind)]) return kind;
    return -1;
}
} // namespace

// ---- the page ----

void TMainForm::UpdateBootPage()
{
    if (!station_) return;
    // The download works on code flash: the memory buttons follow.
    if (station_->TakeCodeFlashSelected())
        if (auto* rb = findChild<QRadioButton*>(QStringLiteral("RBMemCode"))) rb->setChecked(true);
    const auto checked = CheckedKinds(this);
    const int kind = ShownKind(checked);
    const boot::BootLoader& b = station_->bootLoader();

    for (const char* name : {"RBMCUType330", "RBMCUType332", "RBMCUType334"})
        if (auto* rb = findChild<QRadioButton*>(QLatin1String(name)))
            if (QLatin1String(name).right(3) == QString::number(b.mcuType)) rb->setChecked(true);
    if (auto* e = findChild<QLineEdit*>(QStringLiteral("EditBootStartAddr"))) e->setText(Hex4(b.bootStart));
    if (auto* e = findChild<QLineEdit*>(QStringLiteral("EditBootEndAddr"))) e->setText(Hex4(b.bootEnd));
    auto* startEdit = findChild<QLineEdit*>(QStringLiteral("EditStartAddr"));
    auto* endEdit = findChild<QLineEdit*>(QStringLiteral("EditEndAddr"));
    auto* list = findChild<QListWidget*>(QStringLiteral("ListBoxBoot"));
    if (!list) return;
    list->setUpdatesEnabled(false);
    list->clear();
    if (kind < 0) {
        list->setUpdatesEnabled(true);
        return;
    }
    const quint32 start = b.rangeStart[size_t(kind)];
    const quint32 end = b.rangeEnd[size_t(kind)];
    if (startEdit) startEdit->setText(Hex4(start));
    if (endEdit) endEdit->setText(Hex4(end));

    const auto image = station_->images().Image(kind);
    const quint32 last = kind == KindCode ? std::min<quint32>(b.bootEnd, kCodeLimit) : KindLimit(kind);
    QStringList lines;
    lines.reserve(int(last / 16 + 2));
    int topRow = 0;
    for (quint32 a = 0; a <= last; a += 16) {
        if (kind == KindCode && a == (b.bootStart & ~15u)) lines << QLatin1String(kSeparator);
        if (a == (start & ~15u)) topRow = int(lines.size());
        lines << DumpLine(a, image.data() + a);
    }
    list->addItems(lines);
    list->setUpdatesEnabled(true);
    if (QListWidgetItem* top = list->item(topRow)) list->scrollToItem(top, QAbstractItemView::PositionAtTop);
}

void TMainForm::RBMemClick()
{
    UpdateBootPage();
}

void TMainForm::RBMCUTypeClick(QRadioButton* button)
{
    station_->bootLoader().SelectMcu(button->objectName().right(3).toInt());
    UpdateBootPage();
}

void TMainForm::EditBootAddrExit(QLineEdit* edit)
{
    const int kind = ShownKind(CheckedKinds(this));
    if (kind < 0 || !station_) return;
    boot::BootLoader& boot = station_->bootLoader();
    quint32 v = 0;
    if (app::ParseHex(edit->text().trimmed(), v)) {
        v = std::min(v, KindLimit(kind));
        if (edit->objectName() == QLatin1String("EditStartAddr"))
            boot.rangeStart[size_t(kind)] = v;
        else
            boot.rangeEnd[size_t(kind)] = v;
    }
    // The edit shows what is kept, also after a text that was no number.
    UpdateBootPage();
}

// ---- loader commands ----

void TMainForm::SayStartBootFirst(bool ok)
{
    // A memory command to a sensor whose boot loader was not started from this page fails with
    // a wire-level text ("falsche Adresse"): say what to do.
    if (ok || bootStarted_ || BootChannel() == 33) return;
    PanelText(1, lang::OperatorTextOf(lang::OperatorText::StartBootFirst, session_->language()));
}

void TMainForm::BTBootStartClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    bootStarted_ = station_->bootLoader().BootStart();
}

void TMainForm::BTBootResetClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    if (station_->bootLoader().BootRestart(BootChannel()) && BootChannel() != 33) bootStarted_ = false;
}

void TMainForm::BTBootPingClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    station_->bootLoader().BootPing(BootChannel());
}

void TMainForm::BTBootIdentClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    station_->bootLoader().BootIdent();
}

// ---- memory commands: each checked kind in turn, its range, until one fails ----

namespace {
template <class Op> void EachCheckedKind(const QObject* form, station::Station& st, Op op)
{
    const auto checked = CheckedKinds(form);
    const boot::BootLoader& b = st.bootLoader();
    for (const MemButton& m : kMemButtons) {
        if (!checked[size_t(m.kind)]) continue;
        const size_t k = size_t(m.kind);
        if (!op(m.kind, b.rangeStart[k], b.rangeEnd[k])) break;
    }
}
} // namespace

void TMainForm::BTBootMemReadClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    bool ok = true;
    EachCheckedKind(this, *station_, [this, &ok](int kind, quint32 start, quint32 end) {
        return ok = station_->ReadMemory(BootChannel(), kind, start, end);
    });
    SayStartBootFirst(ok);
    UpdateBootPage();
}

void TMainForm::BTBootMemWriteClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    bool ok = true;
    EachCheckedKind(this, *station_, [this, &ok](int kind, quint32 start, quint32 end) {
        return ok = station_->WriteMemory(BootChannel(), kind, start, end);
    });
    SayStartBootFirst(ok);
}

void TMainForm::BTBootMemEraseClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    bool ok = true;
    EachCheckedKind(this, *station_, [this, &ok](int kind, quint32 start, quint32 end) {
        return ok = station_->EraseMemory(BootChannel(), kind, start, end);
    });
    SayStartBootFirst(ok);
    UpdateBootPage();
}

void TMainForm::BTBootMemVerifyClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    bool ok = true;
    EachCheckedKind(this, *station_, [this, &ok](int kind, quint32 start, quint32 end) {
        return ok = station_->VerifyMemory(BootChannel(), kind, start, end);
    });
    SayStartBootFirst(ok);
    UpdateBootPage();
}

// ---- files ----

QString TMainForm::PickFile(const char* dialog, const QString& title, const QString& filter, bool save,
                            const QString& initial)
{
    if (env_.pickFile) return env_.pickFile(QLatin1String(dialog), initial);
    TFileDialogText text;
    text.Filter = filter;
    QFileDialog d(this, title, initial);
    d.setObjectName(QLatin1String(dialog));
    d.setNameFilter(text.QtFilter());
    d.setAcceptMode(save ? QFileDialog::AcceptSave : QFileDialog::AcceptOpen);
    d.setFileMode(save ? QFileDialog::AnyFile : QFileDialog::ExistingFile);
    if (QLatin1String(dialog) != QLatin1String("OpenAbsFile")) d.setDefaultSuffix(QStringLiteral("hex"));
    // Qt's dialog asks before overwriting in save mode.
    if (!initial.isEmpty()) d.selectFile(initial);
    if (d.exec() != QDialog::Accepted || d.selectedFiles().isEmpty()) return QString();
    return d.selectedFiles().front();
}

void TMainForm::BTBootHexImportClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    HexImport();
}

void TMainForm::HexImport()
{
    const auto checked = CheckedKinds(this);
    const quint32 limit = CheckedKindLimit(checked);
    const QString file = PickFile("OpenHexFile", Msg(kMsgOpenHexTitle), Msg(kMsgHexFilter), false,
                                  station_->download().hexFile);
    if (file.isEmpty()) return;
    station_->download().hexFile = file;
    const QString caption = Msg(kMsgHexImport);
    PanelText(1, caption + QFileInfo(file).fileName());
    if (station_->hex().ImportHexFile(file, limit)) PanelText(1, caption + Msg(kMsgOkay));
    // Whatever the import gave, the image of the checked kind takes the buffer.
    const int kind = HexKind(checked);
    if (kind >= 0) station_->images().BufferToImage(kind, 0, KindLimit(kind));
    UpdateBootPage();
}

void TMainForm::BTBootHexExportClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    const auto checked = CheckedKinds(this);
    const int kind = HexKind(checked);
    const quint32 limit = CheckedKindLimit(checked);
    if (kind >= 0) station_->images().ImageToBuffer(kind, 0, KindLimit(kind));
    const QString file = PickFile("SaveHexFile", Msg(kMsgSaveHexTitle), Msg(kMsgHexFilter), true,
                                  station_->download().hexFile);
    if (file.isEmpty()) return;
    station_->download().hexFile = file;
    const QString caption = Msg(kMsgHexExport);
    PanelText(1, caption + QFileInfo(file).fileName());
    if (station_->hex().ExportHexData(file, 0, limit)) PanelText(1, caption + Msg(kMsgOkay));
}

void TMainForm::BTBootABSImportClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    AbsImport();
}

void TMainForm::AbsImport()
{
    const QString file = PickFile("OpenAbsFile", Msg(kMsgOpenAbsTitle), Msg(kMsgAbsFilter), false,
                                  station_->download().absFile);
    if (file.isEmpty()) return;
    station_->download().absFile = file;
    const QString caption = Msg(kMsgAbsImport);
    if (!QFileInfo::exists(file)) {
        PanelText(1, caption + Msg(kMsgNotFound) + QFileInfo(file).fileName());
        return;
    }
    // The conversion reports its own result (converted, or message 288 when it cannot start).
    station_->hex().ConvertAbsToHex(file);
}

// ---- download ----

bool TMainForm::DownLoad()
{
    station_->download().absImport = false;
    station_->download().hexImport = true;
    if (auto* b = findChild<QCheckBox*>(QStringLiteral("BABSImport")))
        station_->download().absImport = b->isChecked();
    if (auto* b = findChild<QCheckBox*>(QStringLiteral("BHexImport")))
        station_->download().hexImport = b->isChecked();
    return station_->download().DownLoad();
}

void TMainForm::BTDownloadClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    DownLoad();
}

void TMainForm::JmpDownloadClick()
{
    const TransferLock lock(*this);
    if (!lock) return;
    station_->Stop();
    PC1->setCurrentWidget(TSBoot);
    ProcessMessages();
    if (DownLoad()) PC1->setCurrentWidget(TSMonitor);
}

void TMainForm::MIBootMode()
{
    station_->Stop();
    PC1->setCurrentWidget(TSBoot);
}

} // namespace vmx::ui
