#pragma once
// The PC side of the sensor's boot loader: start, restart, ping, identification, and the
// block transfers of the four memory kinds between the images and the target, for the framed
// boot loader and the old unframed one of firmware V1.00/V1.10.

#include "boot/MemoryImages.h"
#include "lang/Format.h"
#include "lang/MessageIds.h"

#include <QString>

#include <array>
#include <functional>

namespace vmx::app {
class Session;
}
namespace vmx::link {
class ByteLink;
class FrameProtocol;
class Link;
} // namespace vmx::link

namespace vmx::boot {

// The catalogue numbers by name.
using namespace lang::ids;

inline constexpr int kChannelSensor = 1;
inline constexpr int kChannelModule = 33;

class BootLoader {
public:
    // What the boot loader asks of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // The STOP action of the acquisition, run first by BootStart.
        virtual void StopAcquisition() = 0;
        // The boot page is to be redrawn (identification, MCU change).
        virtual void BootPageChanged() = 0;
    };

    BootLoader(app::Session& session, link::Link& link, MemoryImages& images, Hooks& hooks);
    BootLoader(app::Session& session, link::ByteLink& link, link::FrameProtocol& protocol,
               MemoryImages& images, Hooks& hooks);

    // --- state of the boot page ----------------------------------------------------------
    std::array<quint32, kMemoryKindCount> rangeStart{0x0000, 0x00, 0x00, 0x000};
    std::array<quint32, kMemoryKindCount> rangeEnd{0x19FF, 0xFF, 0x00, 0x1FF};
    quint32 bootStart = 0x1A00;
    quint32 bootEnd = 0x1BFF;
    int mcuType = 330;    // the checked MCU button
    int bootVersion = -1; // from the last identification
    std::array<quint8, 16> identBytes{};
    // When the last restart was sent (session clock, µs); -1 before any.
    qint64 lastRestartUs = -1;

    // MCU button: the boot sector B..B+511 and the code range 0..B-1 that go with it.
    void SelectMcu(int mcu);
    static quint32 McuBootStart(int mcu);

    // Whether transfers drive the host's progress bar; off while a caller that moves a longer
    // range block by block (C2 programming) drives it itself.
    bool showProgress = true;

    // --- commands -------------------------------------------------------------------------
    bool BootStart();
    // Framed except for firmware 110; `oneByteForOld`: the one-byte form for 100 as well (the
    // download's ping and restart).
    bool BootRestart(int channel = kChannelSensor, bool oneByteForOld = false);
    bool BootPing(int channel = kChannelSensor, bool oneByteForOld = false);
    bool BootIdent();
    // Message 301 with the last identification's bytes, as BootIdent shows it after its caption.
    QString IdentLine() const;

    bool ReadMemory(int channel, quint32 start, const QString& text, int kind, quint32 end);
    bool WriteMemory(int channel, quint32 start, const QString& text, int kind, quint32 end);
    bool EraseMemory(int channel, quint32 start, const QString& text, int kind, quint32 end);
    bool VerifyMemory(int channel, quint32 start, const QString& verifyText, const QString& readText,
                      int kind, quint32 end);

    bool ReadMemorySub(int channel, quint32 start, const QString& text, int kind, quint32 end);
    bool WriteMemorySub(int channel, quint32 start, const QString& text, int kind, quint32 end);
    bool EraseMemorySub(int channel, quint32 start, const QString& text, int kind, quint32 end);

    // The firmware generation of the selected sensor type.
    bool OldLoader() const;     // Firmware 100 or 110: old memory commands
    bool ShortCommands() const; // Firmware 110: one-byte start, restart, ping, identification
    bool TwoStep() const;       // Flags bit 12

    static quint8 ReadCommand(int kind);
    static quint8 WriteCommand(int kind);

    MemoryImages& images() { return *images_; }
    link::ByteLink& link() { return *link_; }
    link::FrameProtocol& protocol() { return *fp_; }

private:
    void Status(const QString& text, int message, const QString& extra = QString());
    void Progress(const QString& text, quint32 first, quint32 last);
    void Done(const QString& text, quint32 start, quint32 end);
    bool Routed(int channel, const std::function<bool()>& op);
    void HostProgress(qint64 done, qint64 total);
    // The top-down walk of a read or write with its progress lines.
    bool TransferBlocks(quint32 start, const QString& text, int kind, quint32 end,
                        bool (BootLoader::*block)(int, quint32, int, const QString&));
    bool ReadBlock(int kind, quint32 addr, int count, const QString& text);
    bool WriteBlock(int kind, quint32 addr, int count, const QString& text);
    bool ErasePage(quint32 page, const QString& text);
    bool ReadAck(const QString& text);
    bool OldRangeOk(int kind, quint32 start, quint32 end, int align, const QString& text);

    app::Session* session_;
    link::ByteLink* link_;
    link::FrameProtocol* fp_;
    MemoryImages* images_;
    Hooks* hooks_;
    // Inside Routed for the test module: its loader is always the framed one.
    bool toModule_ = false;
};

} // namespace vmx::boot
