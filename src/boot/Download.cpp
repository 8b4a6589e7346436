#include "boot/Download.h"

#include "lang/MessageIds.h"

#include "app/Session.h"
#include "boot/BootLoader.h"
#include "boot/DownloadBackup.h"
#include "boot/HexImage.h"
#include "link/ByteLink.h"
#include "link/FrameProtocol.h"
#include "proto/Protocol.h"

#include <algorithm>

namespace vmx::boot {

// The catalogue numbers by name.
using namespace lang::ids;

Download::Download(app::Session& session, BootLoader& boot, HexImage& hex, Hooks& hooks)
    : session_(session), boot_(boot), hex_(hex), hooks_(hooks)
{
}

void Download::Redraw()
{
    hooks_.BootPageChanged();
}

bool Download::DownLoad()
{
    // A damaged or extended file is refused before the sensor is touched; step 4 reads it again.
    if (hexImport && !hexFile.isEmpty() && !hex_.ImportHexFile(hexFile, kCodeLimit)) return false;

    // 1. Boot loader entered and its sector checked.
    if (!hooks_.StartReadWrite()) return false;

    // 2. The MCU follows from the type's boot sector; other sectors cannot be downloaded.
    const quint32 bootAddr = session_.sensor.BootAddr;
    if (bootAddr == 0x0C00)
        boot_.mcuType = 332;
    else if (bootAddr == 0x1A00)
        boot_.mcuType = 330;
    else
        return false;
    boot_.rangeStart[KindCode] = 0;
    boot_.rangeEnd[KindCode] = bootAddr - 1;
    boot_.bootStart = bootAddr;
    boot_.bootEnd = bootAddr + 511;
    hooks_.SelectCodeFlash();
    Redraw();

    // 3. ABS file converted to HEX.
    if (absImport) {
        if (absFile.isEmpty() && !hooks_.PickDownloadFile(true)) return false;
        if (absFile.isEmpty() || !hex_.ConvertAbsToHex(absFile)) return false;
        session_.Wait(500);
    }

    // 4. HEX file into the code image.
    if (hexImport) {
        if (hexFile.isEmpty() && !hooks_.PickDownloadFile(false)) return false;
        if (hexFile.isEmpty() || !hex_.ImportHexFile(hexFile, kCodeLimit)) return false;
        // Checked before the erase: an image without data for the range, or with records this
        // import does not understand, would replace the application by nothing or by garbage.
        if (!hex_.CheckFirmwareFile(hexFile, boot_.rangeStart[KindCode], boot_.rangeEnd[KindCode]))
            return false;
        const auto buffer = boot_.images().Buffer();
        std::copy(buffer.begin(), buffer.end(), boot_.images().Image(KindCode).begin());
        Redraw();
        session_.PanelText(1, session_.Msg(kMsgHexLoaded));
        session_.Wait(500);
    }

    // 5. A loader that does not answer the first ping gets a second one.
    if (!boot_.BootPing(kChannelSensor, true) && !boot_.BootPing(kChannelSensor, true)) return false;

    const quint32 start = boot_.rangeStart[KindCode];
    const quint32 end = boot_.rangeEnd[KindCode];
    // What the erase takes and the image may not bring back (identity, calibration,
    // parameters) is kept in a file first; without that file nothing is erased.
    DownloadBackup backup(session_, boot_);
    if (!backup.Save(start, end)) return false;
    // 6.-8. Erase, write and verify below the boot sector.
    if (!boot_.EraseMemory(kChannelSensor, start, session_.Msg(kMsgErase[KindCode]), KindCode, end))
        return false;
    session_.PanelText(1, session_.Msg(kMsgErased));
    session_.Wait(500);
    if (!boot_.WriteMemory(kChannelSensor, start, session_.Msg(kMsgWrite[KindCode]), KindCode, end))
        return false;
    session_.PanelText(1, session_.Msg(kMsgWritten));
    session_.Wait(500);
    if (!boot_.VerifyMemory(kChannelSensor, start, session_.Msg(kMsgVerify[KindCode]),
                            session_.Msg(kMsgRead[KindCode]), KindCode, end))
        return false;
    session_.PanelText(1, session_.Msg(kMsgVerified));
    if (!backup.Restore()) return false;

    // 9.-10. Back to the application.
    if (!boot_.BootRestart(kChannelSensor, true)) return false;
    session_.PanelText(1, session_.Msg(kMsgSuccess));
    return true;
}

} // namespace vmx::boot
