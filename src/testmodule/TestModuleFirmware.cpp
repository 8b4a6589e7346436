#include "testmodule/TestModuleFirmware.h"

#include "boot/BootLoader.h"
#include "boot/HexImage.h"
#include "boot/MemoryImages.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"

#include <algorithm>
#include <vector>

namespace vmx::testmodule {

using app::CommentColour;

namespace {
const QString kVerify = QStringLiteral("Vergleiche CodeSegment_3: ");
const QString kRead = QStringLiteral("Lese CodeSegment_3: ");
} // namespace

TestModuleFirmware::TestModuleFirmware(TestModule& module, boot::BootLoader& boot, boot::HexImage& hex,
                                       boot::MemoryImages& images)
    : module_(&module), boot_(&boot), hex_(&hex), images_(&images)
{
}

bool TestModuleFirmware::ImportFirmware(const QString& fileName, const QString& caption)
{
    module_->Comment(CommentColour::Blue, caption + QStringLiteral(" ..."));
    module_->StopAcquisition();
    if (!hex_->ImportHexFile(fileName, boot::kCodeLimit)) {
        module_->Comment(CommentColour::Red, caption + QStringLiteral("FEHLER bei Import"));
        return false;
    }
    module_->Comment(CommentColour::Blue, caption + QStringLiteral("okay"));
    images_->BufferToImage(boot::KindCode, 0, boot::kCodeLimit);
    module_->Signal();
    return true;
}

bool TestModuleFirmware::MoveInImage(quint32 destination, quint32 sourceStart, quint32 sourceEnd)
{
    if (sourceEnd < sourceStart || sourceEnd > boot::kCodeLimit) return false;
    const quint32 length = sourceEnd - sourceStart + 1;
    if (destination + length - 1 > boot::kCodeLimit) return false;
    const auto code = images_->Image(boot::KindCode);
    // Through a copy, so a destination overlapping the source gets the source as it was.
    const std::vector<quint8> moved(code.begin() + sourceStart, code.begin() + sourceEnd + 1);
    std::copy(moved.begin(), moved.end(), code.begin() + destination);
    return true;
}

bool TestModuleFirmware::ProgCodeTK33(quint32 destination, quint32 sourceStart, quint32 sourceEnd)
{
    ModuleRecord& record = module_->record();
    record.tk33ProgResult = 0;
    auto info = [&](const QString& text) { module_->Comment(CommentColour::Blue, text); };
    auto fail = [&](const QString& text) {
        module_->Comment(CommentColour::Red, text);
        return false;
    };
    info(QStringLiteral("QVR-Firmware: Transfer ins Prüfmittel"));
    if (!SegmentRangeOk(destination, sourceStart, sourceEnd))
        return fail(QStringLiteral("QVR-Firmware: Adressbereich nicht plausibel"));
    const quint32 destinationEnd = destination + sourceEnd - sourceStart;
    const link::FrameProtocol::ForcedChecks checked(module_->link().protocol());
    info(QStringLiteral("QVR-Firmware: löschen ..."));
    if (!boot_->EraseMemory(boot::kChannelModule, destination, QStringLiteral("Lösche CodeSegment_3: "),
                            boot::KindCode, destinationEnd))
        return fail(QStringLiteral("QVR-Firmware: FEHLER beim Löschen"));
    info(QStringLiteral("QVR-Firmware: schreiben ..."));
    MoveInImage(destination, sourceStart, sourceEnd);
    info(QStringLiteral("QVR-Firmware: schreiben ..."));
    if (!boot_->WriteMemory(boot::kChannelModule, destination, QStringLiteral("Schreibe CodeSegment_3: "),
                            boot::KindCode, destinationEnd))
        return fail(QStringLiteral("QVR-Firmware: FEHLER beim Schreiben"));
    info(QStringLiteral("QVR-Firmware: verifizieren ..."));
    if (!boot_->VerifyMemory(boot::kChannelModule, destination, kVerify, kRead, boot::KindCode,
                             destinationEnd))
        return fail(QStringLiteral("QVR-Firmware: FEHLER beim Vergleichen"));
    info(QStringLiteral("QVR-Firmware: okay"));
    record.tk33ProgResult = 1;
    module_->Signal();
    return true;
}

bool TestModuleFirmware::SegmentRangeOk(quint32 destination, quint32 sourceStart, quint32 sourceEnd)
{
    return sourceEnd >= sourceStart && destination >= kSegmentStart &&
           qint64(destination) + sourceEnd - sourceStart <= kSegmentEnd;
}

bool TestModuleFirmware::ProgCodeTK33Check(quint32 destination, quint32 sourceStart, quint32, quint32,
                                           quint32 sourceEnd)
{
    ModuleRecord& record = module_->record();
    record.tk33ProgResult = 0;
    auto fail = [&] {
        module_->Comment(CommentColour::Red, QStringLiteral("QVR-Firmware: FEHLER beim Vergleichen"));
        return false;
    };
    // The whole segment the transfer wrote, not a sample of it: a module holding another
    // firmware that agrees in the sample would otherwise pass.
    if (!SegmentRangeOk(destination, sourceStart, sourceEnd) ||
        !MoveInImage(destination, sourceStart, sourceEnd))
        return fail();
    const quint32 destinationEnd = destination + sourceEnd - sourceStart;
    const link::FrameProtocol::ForcedChecks checked(module_->link().protocol());
    module_->Comment(CommentColour::Blue, QStringLiteral("QVR-Firmware: verifizieren ..."));
    if (!boot_->VerifyMemory(boot::kChannelModule, destination, kVerify, kRead, boot::KindCode,
                             destinationEnd))
        return fail();
    module_->Comment(CommentColour::Blue, QStringLiteral("QVR-Firmware: okay"));
    record.tk33ProgResult = 1;
    module_->Signal();
    return true;
}

} // namespace vmx::testmodule
