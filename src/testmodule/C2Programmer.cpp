#include "testmodule/C2Programmer.h"

#include "app/Session.h"
#include "boot/BootLoader.h"
#include "boot/MemoryImages.h"
#include "lang/Format.h"
#include "lang/MessageIds.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"
#include "proto/Protocol.h"

#include <algorithm>
#include <vector>

namespace vmx::testmodule {

using app::CommentColour;
using lang::FormatMsg;
using namespace lang::ids;
using namespace proto;

namespace {
constexpr int kData = 4;

void Put24(quint8* at, quint32 v)
{
    at[0] = quint8(v >> 16);
    at[1] = quint8(v >> 8);
    at[2] = quint8(v);
}

// The top-down walk in 256-byte aligned blocks; `block` gets its start and count.
bool WalkDown(quint32 start, quint32 end, const std::function<bool(quint32, int, quint32)>& block)
{
    qint64 a = end;
    while (a >= qint64(start)) {
        const qint64 p = std::max<qint64>(a & ~qint64(C2Programmer::kBlock - 1), start);
        if (!block(quint32(p), int(a - p + 1), quint32(a))) return false;
        a = p - 1;
    }
    return true;
}
} // namespace

C2Programmer::C2Programmer(TestModule& module, boot::BootLoader& boot, boot::MemoryImages& images)
    : module_(&module), session_(&module.session()), link_(&module.link()), boot_(&boot), images_(&images)
{
}

quint32 C2Programmer::ButtonRangeEnd() const
{
    return std::min<quint32>(session_->sensor.BootAddr + kPage - 1, boot::kCodeLimit);
}

void C2Programmer::Status(const QString& caption, int message)
{
    session_->PanelText(1, caption + session_->Msg(message));
}

void C2Programmer::Progress(const QString& caption, quint32 first, quint32 last, qint64 done, qint64 total)
{
    session_->PanelText(1,
                        caption + FormatMsg(session_->Msg(kMsgRange), first, last) + QStringLiteral("..."));
    session_->host().Progress(done, total);
    session_->host().ProcessMessages();
}

void C2Programmer::Done(const QString& caption, quint32 start, quint32 end)
{
    session_->host().Progress(0, 0);
    session_->PanelText(1,
                        caption + FormatMsg(session_->Msg(kMsgRange), start, end) + session_->Msg(kMsgOkay));
}

bool C2Programmer::C2Command(int channel, quint8 command, int frameLength, const QString& caption,
                             quint32 address)
{
    if (link_->protocol().SendReceiveCommand(channel, command, frameLength, 1, caption, true)) return true;
    session_->PanelText(1, caption + QString::asprintf("FEHLER bei Adresse: %4.4X ", address));
    session_->host().Progress(0, 0);
    return false;
}

bool C2Programmer::C2_PageErase(int channel, quint32 start, const QString& caption, quint32 end)
{
    if (end < start || end > boot::kCodeLimit || start % kPage != 0 || end % kPage != kPage - 1) {
        Status(caption, kMsgPagesOnly);
        return false;
    }
    const qint64 total = (qint64(end) - start + 1) / kPage;
    qint64 done = 0;
    for (qint64 page = end & ~qint64(kPage - 1); page >= qint64(start); page -= kPage) {
        quint8* tx = link_->Tx();
        tx[kData] = quint8(page >> 16);
        tx[kData + 1] = quint8(page >> 8);
        tx[kData + 2] = 0x00;
        if (!C2Command(channel, cmd::TmC2PageErase, 8, caption, quint32(page))) return false;
        Progress(caption, quint32(page), quint32(page) + kPage - 1, ++done, total);
        session_->Wait(10);
    }
    Done(caption, start, end);
    return true;
}

bool C2Programmer::StagedBlocks(quint32 start, const QString& caption, quint32 end,
                                const std::function<bool(quint32, int)>& block)
{
    if (end < start || end > boot::kCodeLimit) {
        Status(caption, kMsgBadAddresses);
        return false;
    }
    const qint64 total = qint64(end) - start + 1;
    // The XRAM staging of each block is short; the bar shows the whole range.
    boot_->showProgress = false;
    const bool ok = WalkDown(start, end, [&](quint32 p, int count, quint32 a) {
        if (!block(p, count)) return false;
        Progress(caption, p, a, qint64(end) - p + 1, total);
        return true;
    });
    boot_->showProgress = true;
    if (!ok) return session_->host().Progress(0, 0), false;
    Done(caption, start, end);
    return true;
}

bool C2Programmer::C2_BlockWriteX(int channel, quint32 start, const QString& caption, quint32 end)
{
    const auto code = images_->Image(boot::KindCode);
    const auto xram = images_->Image(boot::KindXram);
    return StagedBlocks(start, caption, end, [&](quint32 p, int count) {
        std::copy_n(code.begin() + p, count, xram.begin());
        if (!boot_->WriteMemory(channel, 0, QStringLiteral("Schreibe XRAM: "), boot::KindXram,
                                quint32(count - 1)))
            return false;
        quint8* tx = link_->Tx();
        Put24(tx + kData, p);
        tx[kData + 3] = quint8(count); // 256 goes as 0
        Put24(tx + kData + 4, 0);
        if (!C2Command(channel, cmd::TmC2Write, 12, caption, p)) return false;
        session_->Wait(10);
        return true;
    });
}

bool C2Programmer::FlashRangeOk(quint32 start, quint32 source, quint32 end)
{
    // The source must lie in the module's flash area for it, and fit in the module's flash.
    return end >= start && end - start <= kFlashMaxSpan && source >= kFlashSourceStart &&
           end <= boot::kCodeLimit && source + (end - start) <= boot::kCodeLimit;
}

bool C2Programmer::C2_BlockWriteF(int channel, quint32 start, const QString& caption, quint32 source,
                                  quint32 end)
{
    if (!FlashRangeOk(start, source, end)) {
        session_->PanelText(1, caption + QStringLiteral("unzulässiger Programmaufruf (prüfe Adressen)"));
        return false;
    }
    const qint64 total = qint64(end) - start + 1;
    const bool ok = WalkDown(start, end, [&](quint32 p, int count, quint32) {
        quint8* tx = link_->Tx();
        Put24(tx + kData, p);
        tx[kData + 3] = quint8(count);
        Put24(tx + kData + 4, source + (p - start));
        if (!C2Command(channel, cmd::TmC2Write2, 12, caption, p)) return false;
        session_->PanelText(1, caption +
                                   QString::asprintf("von %4.4X bis %4.4X, ...", p, p + quint32(count) - 1));
        session_->host().Progress(qint64(end) - p + 1, total);
        session_->host().ProcessMessages();
        return true;
    });
    session_->host().Progress(0, 0);
    if (!ok) return false;
    session_->PanelText(1, caption + QString::asprintf("von %4.4X bis %4.4X, alles okay", start, end));
    return true;
}

bool C2Programmer::C2_BlockRead(int channel, quint32 start, const QString& caption, quint32 end)
{
    const auto code = images_->Image(boot::KindCode);
    const auto xram = images_->Image(boot::KindXram);
    return StagedBlocks(start, caption, end, [&](quint32 p, int count) {
        quint8* tx = link_->Tx();
        Put24(tx + kData, p);
        tx[kData + 3] = quint8(count);
        if (!C2Command(channel, cmd::TmC2Read, 9, caption, p)) return false;
        if (!boot_->ReadMemory(channel, 0, QStringLiteral("Lese XRAM: "), boot::KindXram, quint32(count - 1)))
            return false;
        // count <= 256 <= the XRAM, and p + count <= end + 1 inside the image.
        std::copy_n(xram.begin(), count, code.begin() + p);
        return true;
    });
}

bool C2Programmer::C2_Verify(int channel, quint32 start, const QString& verifyCaption,
                             const QString& readCaption, quint32 end)
{
    if (end < start || end > boot::kCodeLimit) {
        Status(verifyCaption, kMsgBadAddresses);
        return false;
    }
    const auto code = images_->Image(boot::KindCode);
    // A copy of its own: the import buffer keeps the file the operator loaded.
    const std::vector<quint8> saved(code.begin() + start, code.begin() + end + 1);
    auto restore = [&] { std::copy(saved.begin(), saved.end(), code.begin() + start); };
    if (!C2_BlockRead(channel, start, readCaption, end)) return restore(), false;
    for (quint32 a = start; a <= end; ++a) {
        if (code[a] != saved[a - start]) {
            session_->PanelText(1, verifyCaption + FormatMsg(session_->Msg(kMsgDiffers), a));
            restore();
            return false;
        }
    }
    session_->PanelText(1, verifyCaption + FormatMsg(session_->Msg(kMsgRange), start, end) +
                               session_->Msg(kMsgOkay));
    return true;
}

void C2Programmer::Run(const QString& prefix, const std::function<bool()>& work,
                       const std::function<bool()>& refused)
{
    ModuleRecord& record = module_->record();
    record.siLabResult = 0;
    auto fail = [&](const QString& text) {
        module_->Comment(CommentColour::Red, prefix + text);
        return false;
    };
    // A range the run cannot write is refused before the first frame: nothing switched, nothing sent.
    if (refused && refused()) return;
    const link::FrameProtocol::ForcedChecks checked(link_->protocol());
    const bool ok = [&] {
        if (!module_->ResetSwitches()) return fail(QStringLiteral("FEHLER beim Reset der Steuerleitungen"));
        module_->QVR02Meas(false);
        if (!module_->SwitchPowerQVR(true)) return fail(QStringLiteral("FEHLER beim Einschalten des QVR"));
        module_->Comment(CommentColour::Blue, prefix + QStringLiteral("Init C2_Target ..."));
        if (!link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmC2Init, 5, 1,
                                                  prefix + QStringLiteral("Init C2: ")))
            return fail(QStringLiteral("FEHLER beim Initialisieren"));
        return work();
    }();
    if (ok) {
        module_->Comment(CommentColour::Blue, prefix + QStringLiteral("okay"));
        record.siLabResult = 1;
    }
    // Whatever happened, the target is left at rest and without power.
    module_->ResetSwitches();
    session_->Wait(200);
    module_->SwitchPowerQVR(false);
    if (ok) module_->Signal();
}

void C2Programmer::SiLabDeviceErase(const QString& prefix)
{
    Run(prefix, [&] {
        module_->Comment(CommentColour::Blue, prefix + QStringLiteral("Löschen ..."));
        if (!link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmC2EraseAll, 5, 1,
                                                  prefix + QStringLiteral("löschen: "))) {
            module_->Comment(CommentColour::Red, prefix + QStringLiteral("FEHLER beim Löschen"));
            return false;
        }
        return true;
    });
}

void C2Programmer::SiLabProgrammingX(quint32 start, quint32 end, const QString& prefix)
{
    const QString write = prefix + QStringLiteral("schreiben: ");
    Run(
        prefix,
        [&] {
            module_->Comment(CommentColour::Blue, prefix + QStringLiteral("Schreiben ..."));
            if (!C2_BlockWriteX(kTargetModule, start, write, end)) {
                module_->Comment(CommentColour::Red, prefix + QStringLiteral("FEHLER beim Schreiben"));
                return false;
            }
            return Verified(start, end, prefix);
        },
        [&] {
            if (end >= start && end <= boot::kCodeLimit) return false;
            Status(write, kMsgBadAddresses);
            module_->Comment(CommentColour::Red, prefix + QStringLiteral("FEHLER beim Schreiben"));
            return true;
        });
}

void C2Programmer::SiLabProgrammingF(quint32 start, quint32 end, const QString& prefix, quint32 source)
{
    const QString write = prefix + QStringLiteral("schreiben: ");
    Run(
        prefix,
        [&] {
            module_->Comment(CommentColour::Blue, prefix + QStringLiteral("Schreiben ..."));
            if (!C2_BlockWriteF(kTargetModule, start, write, source, end)) {
                module_->Comment(CommentColour::Red, prefix + QStringLiteral("FEHLER beim Schreiben"));
                return false;
            }
            // The whole range against the firmware image: the module's segment may hold another
            // firmware, or a block may not have reached the target.
            return Verified(start, end, prefix);
        },
        [&] {
            if (FlashRangeOk(start, source, end)) return false;
            session_->PanelText(1, write + QStringLiteral("unzulässiger Programmaufruf (prüfe Adressen)"));
            module_->Comment(CommentColour::Red, prefix + QStringLiteral("FEHLER beim Schreiben"));
            return true;
        });
}

bool C2Programmer::Verified(quint32 start, quint32 end, const QString& prefix)
{
    module_->Comment(CommentColour::Blue, prefix + QStringLiteral("Verifizieren ..."));
    if (C2_Verify(kTargetModule, start, QStringLiteral("vergleichen: "), prefix + QStringLiteral("lesen: "),
                  end))
        return true;
    module_->Comment(CommentColour::Red, prefix + QStringLiteral("FEHLER beim Verifizieren"));
    return false;
}

bool C2Programmer::Init()
{
    return link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmC2Init, 5, 1,
                                                QStringLiteral("Init SiLab-Flash: "));
}

bool C2Programmer::ResetTarget()
{
    return module_->ResetC2();
}

bool C2Programmer::EraseAll()
{
    return link_->protocol().SendReceiveCommand(kTargetModule, cmd::TmC2EraseAll, 5, 1,
                                                QStringLiteral("Lösche gesamten Flash: "));
}

bool C2Programmer::PageEraseButton()
{
    return C2_PageErase(kTargetModule, boot_->rangeStart[boot::KindCode],
                        QStringLiteral("Lösche Flash-Page: "), boot_->rangeEnd[boot::KindCode]);
}

bool C2Programmer::WriteButton()
{
    return C2_BlockWriteX(kTargetModule, 0, QStringLiteral("Schreibe Flash: "), ButtonRangeEnd());
}

bool C2Programmer::ReadButton()
{
    return C2_BlockRead(kTargetModule, 0, QStringLiteral("Lese Flash: "), ButtonRangeEnd());
}

bool C2Programmer::VerifyButton()
{
    return C2_Verify(kTargetModule, 0, QStringLiteral("Vergleiche Flash: "), QStringLiteral("Lese Flash: "),
                     ButtonRangeEnd());
}

} // namespace vmx::testmodule
