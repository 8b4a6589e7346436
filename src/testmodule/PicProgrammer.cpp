#include "testmodule/PicProgrammer.h"

#include "app/Session.h"
#include "boot/BootLoader.h"
#include "boot/MemoryImages.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"
#include "proto/Protocol.h"
#include "sensor/ParameterEditor.h"

#include <algorithm>

namespace vmx::testmodule {

using app::CommentColour;
using namespace proto;

namespace {
constexpr int kData = 4;
}

PicProgrammer::PicProgrammer(TestModule& module, boot::BootLoader& boot, boot::MemoryImages& images)
    : module_(&module), session_(&module.session()), link_(&module.link()), boot_(&boot), images_(&images)
{
}

int PicProgrammer::EditValue(const QString& text)
{
    qint64 v = 0;
    if (!sensor::ParseEditInteger(text, v) || v < 0 || v > 0xFFFF) return -1;
    return int(v);
}

QString PicProgrammer::EditText(int value)
{
    return QString::asprintf("$%3X", value);
}

bool PicProgrammer::PICProgErase(bool withOsc)
{
    if (!Voltage(true)) return false;
    link_->Tx()[kData] = withOsc ? 1 : 0;
    const bool ok = link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmPicErase, 6, 1,
                                                         QStringLiteral("Lösche PIC: "));
    // The voltage goes off whatever the erase did.
    const bool off = Voltage(false);
    return ok && off;
}

bool PicProgrammer::PICProgWrite(bool withOsc)
{
    const ModuleRecord& r = module_->record();
    if (!OscCalValid(r.picOscCal)) {
        session_->PanelText(1, QStringLiteral("Schreibe PIC: Fehler, OSCCAL=$FFFF nicht plausibel!"));
        return false;
    }
    if (!ConfigValid(r.picConfig)) {
        session_->PanelText(1, QStringLiteral("Schreibe PIC: Fehler, CONFIG=$FFFF, nicht plausibel!"));
        return false;
    }
    if (!Voltage(true)) return false;
    quint8* tx = link_->Tx();
    tx[kData] = quint8(r.picConfig);
    tx[kData + 1] = quint8(r.picConfig >> 8);
    tx[kData + 2] = quint8(r.picOscCal);
    tx[kData + 3] = quint8(r.picOscCal >> 8);
    tx[kData + 4] = withOsc ? 1 : 0;
    const bool ok = link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmPicWrite, 10, 1,
                                                         QStringLiteral("Schreibe PIC: "));
    const bool off = Voltage(false);
    return ok && off;
}

bool PicProgrammer::PICProgRead()
{
    if (!Voltage(true)) return false;
    const QString caption = QStringLiteral("Lese PIC: ");
    const bool ok = link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmPicRead, 5, 9, caption);
    int config = -1, osc = -1;
    if (ok) {
        const quint8* d = link_->Rx() + kData;
        config = d[0] | (d[1] << 8);
        osc = d[2] | (d[3] << 8);
    }
    const bool off = Voltage(false);
    if (!ok || !off) return false;
    ModuleRecord& r = module_->record();
    r.picConfig = config;
    r.picOscCal = osc;
    configEdit = EditText(config);
    oscEdit = EditText(osc);
    session_->PanelText(1, QString::asprintf("Lese PIC: CONFIG = $%3X, OSCCAL = $%3X", config, osc));
    module_->Changed();
    return true;
}

void PicProgrammer::ResetEdits()
{
    configEdit = oscEdit = EditText(kErased);
}

bool PicProgrammer::WriteButton()
{
    ModuleRecord& r = module_->record();
    r.picConfig = EditValue(configEdit);
    r.picOscCal = EditValue(oscEdit);
    // Valid values go back into the edits in the page's own form; a wrong entry stays.
    if (r.picConfig >= 0) configEdit = EditText(r.picConfig);
    if (r.picOscCal >= 0) oscEdit = EditText(r.picOscCal);
    module_->Changed();
    return PICProgWrite(writeOsc);
}

void PicProgrammer::PICProgramming(const QString& prefix)
{
    ModuleRecord& record = module_->record();
    record.picResult = 0;
    auto fail = [&](const QString& text) {
        module_->Comment(CommentColour::Red, prefix + text);
        return false;
    };
    auto info = [&](const QString& text) { module_->Comment(CommentColour::Blue, prefix + text); };
    const auto code = images_->Image(boot::KindCode);
    const auto xram = images_->Image(boot::KindXram);
    // The file's CONFIG word is known before the chip is touched: a wrong one is refused
    // before the first frame.
    const int config = code[kConfigAddr] | (code[kConfigAddr + 1] << 8);
    if (config != kConfigWord) {
        fail(QString::asprintf("FEHLER, CONFIG=$%3.3X", config));
        return;
    }
    const link::FrameProtocol::ForcedChecks checked(link_->protocol());
    const bool ok = [&] {
        if (!module_->ResetSwitches()) return fail(QStringLiteral("FEHLER beim Reset der Steuerleitungen"));
        module_->QVR02Meas(false);
        if (!module_->SwitchPowerQVR(true)) return fail(QStringLiteral("FEHLER beim Einschalten des QVR"));
        if (!link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmC2Init, 5, 1,
                                                  QStringLiteral("Init SiLab-Flash: ")))
            return fail(QStringLiteral("FEHLER beim Reset SiLab"));
        info(QStringLiteral("OSCCAL/ CONFIG lesen ..."));
        if (!PICProgRead()) return fail(QStringLiteral("FEHLER beim Lesen"));
        const int osc = record.picOscCal;
        if (!OscCalValid(osc)) return fail(QString::asprintf("FEHLER, OSCCAL=$%3.3X", osc));
        record.picConfig = config;
        std::copy_n(code.begin(), 512, xram.begin());
        if (!boot_->WriteMemory(kTargetModule, 0, prefix + QStringLiteral("Schreibe in XRAM: "),
                                boot::KindXram, kProgramBytes - 1))
            return fail(QStringLiteral("FEHLER beim Schreiben in XRAM"));
        info(QStringLiteral("löschen ..."));
        if (!PICProgErase(false)) return fail(QStringLiteral("FEHLER beim Löschen"));
        info(QStringLiteral("schreiben ..."));
        if (!PICProgWrite(false)) return fail(QStringLiteral("FEHLER beim Schreiben"));
        info(QStringLiteral("verifizieren ..."));
        if (!PICProgRead()) return fail(QStringLiteral("FEHLER beim Lesen"));
        if (record.picConfig != config || record.picOscCal != osc)
            return fail(QStringLiteral("FEHLER beim Vergleich (OSCCAL/ CONFIG)"));
        if (!boot_->ReadMemory(kTargetModule, 0, prefix + QStringLiteral("Lese aus XRAM: "), boot::KindXram,
                               kProgramBytes - 1) ||
            !boot_->ReadMemory(kTargetModule, kOscXram, prefix + QStringLiteral("Lese XRAM: "),
                               boot::KindXram, kOscXram + 1))
            return fail(QStringLiteral("FEHLER beim Lesen aus XRAM"));
        // Only the low four bits of a word's high byte belong to the twelve-bit word.
        bool same = true;
        for (int i = 0; i < kProgramBytes; ++i) {
            const quint8 want = (i % 2 == 0) ? code[size_t(i)] : quint8(code[size_t(i)] & 0x0F);
            if (want != xram[size_t(i)]) same = fail(QStringLiteral("FEHLER beim Vergleich (Programm)"));
        }
        if (!same) return false;
        const int readOsc = xram[kOscXram] | (xram[kOscXram + 1] << 8);
        if (readOsc != osc) return fail(QStringLiteral("FEHLER beim Vergleich (OSCCAL)"));
        return true;
    }();
    if (ok) {
        info(QStringLiteral("okay"));
        record.picResult = 1;
        session_->Wait(200);
    }
    module_->ResetSwitches();
    module_->SwitchPowerQVR(false);
    if (ok) module_->Signal();
}

} // namespace vmx::testmodule
