#pragma once
// Programming the sensor's Silicon Labs controller over C2 through the test module: blocks of
// up to 256 bytes staged in the module's XRAM ("X", from the PC's code image) or taken from the
// module's own flash ("F"), page erase, read-back and verify, and the production runs.

#include "testmodule/TestModule.h"

#include <QString>

#include <functional>

namespace vmx::boot {
class BootLoader;
class MemoryImages;
} // namespace vmx::boot

namespace vmx::testmodule {

class C2Programmer {
public:
    C2Programmer(TestModule& module, boot::BootLoader& boot, boot::MemoryImages& images);

    static constexpr int kBlock = 256;
    static constexpr int kPage = 512;
    // The "F" source lies in the module's flash from here up.
    static constexpr quint32 kFlashSourceStart = 512;
    static constexpr quint32 kFlashMaxSpan = 5120;

    bool C2_PageErase(int channel, quint32 start, const QString& caption, quint32 end);
    bool C2_BlockWriteX(int channel, quint32 start, const QString& caption, quint32 end);
    bool C2_BlockWriteF(int channel, quint32 start, const QString& caption, quint32 source, quint32 end);
    // Fills the code image.
    bool C2_BlockRead(int channel, quint32 start, const QString& caption, quint32 end);
    // The image as it was is kept when the read or the compare fails.
    bool C2_Verify(int channel, quint32 start, const QString& verifyCaption, const QString& readCaption,
                   quint32 end);

    // Production runs; they report in comment lines and set the record's SiLab result.
    void SiLabDeviceErase(const QString& prefix);
    void SiLabProgrammingX(quint32 start, quint32 end, const QString& prefix);
    void SiLabProgrammingF(quint32 start, quint32 end, const QString& prefix, quint32 source);

    // The page's buttons.
    bool Init();
    bool ResetTarget();
    bool EraseAll();
    bool PageEraseButton();
    bool WriteButton();
    bool ReadButton();
    bool VerifyButton();
    // The buttons work on 0 .. BootAddr + 511 of the selected sensor type.
    quint32 ButtonRangeEnd() const;

private:
    bool C2Command(int channel, quint8 command, int frameLength, const QString& caption, quint32 address);
    void Progress(const QString& caption, quint32 first, quint32 last, qint64 done, qint64 total);
    void Done(const QString& caption, quint32 start, quint32 end);
    void Status(const QString& caption, int message);
    // The range check, top-down walk, progress and completion lines of the staged operations.
    bool StagedBlocks(quint32 start, const QString& caption, quint32 end,
                      const std::function<bool(quint32 p, int count)>& block);
    // Steps 1..4 and 6 of every run around `work`, with the ending that always follows;
    // `refused` (if given) is asked first and, when it says so, the run ends before any frame.
    void Run(const QString& prefix, const std::function<bool()>& work,
             const std::function<bool()>& refused = {});
    // The read-back of start..end against the code image, with the run's comments.
    bool Verified(quint32 start, quint32 end, const QString& prefix);
    static bool FlashRangeOk(quint32 start, quint32 source, quint32 end);

    TestModule* module_;
    app::Session* session_;
    link::Link* link_;
    boot::BootLoader* boot_;
    boot::MemoryImages* images_;
};

} // namespace vmx::testmodule
