#pragma once
// Programming the sensor's small PIC through the test module: 56 twelve-bit words staged in
// the module's XRAM, CONFIG from the firmware file, the chip's factory OSCCAL kept.

#include "testmodule/TestModule.h"

#include <QString>

namespace vmx::boot {
class BootLoader;
class MemoryImages;
} // namespace vmx::boot

namespace vmx::testmodule {

class PicProgrammer {
public:
    PicProgrammer(TestModule& module, boot::BootLoader& boot, boot::MemoryImages& images);

    static constexpr int kProgramBytes = 112; // 56 words, low byte first
    static constexpr int kConfigAddr = 0x1FFE;
    static constexpr int kConfigWord = 0x0FEB;
    static constexpr int kOscXram = 510;

    // The erased word: what the page shows before anything was read.
    static constexpr int kErased = 0x0FFF;
    static constexpr int kOscLow = 0x0C00;
    static constexpr int kOscHigh = 0x0CFF;

    // The page's edits (ETK_PICConfig, ETK_PICOsc) and check box (CBxTKPICwriteOsc); the
    // window shows these.
    QString configEdit = QStringLiteral("$FFF");
    QString oscEdit = QStringLiteral("$FFF");
    // Both edits back to the erased word, as at start and when the test page is set up.
    void ResetEdits();
    // A factory calibration word: even, inside 0x0C00..0x0CFF.
    static bool OscCalValid(int osc) { return osc >= kOscLow && osc <= kOscHigh && osc % 2 == 0; }
    // A twelve-bit CONFIG word that is not the erased one.
    static bool ConfigValid(int config) { return config >= 0 && config < kErased; }
    bool writeOsc = false;

    bool PICProgErase(bool withOsc);
    // Refused without sending while CONFIG or OSCCAL is unknown (-1), erased or out of range:
    // writing an erased OSCCAL would lose the chip's factory calibration for good.
    bool PICProgWrite(bool withOsc);
    bool PICProgRead();
    // The production run.
    void PICProgramming(const QString& prefix);

    // The page's buttons.
    bool EraseButton() { return PICProgErase(writeOsc); }
    bool WriteButton();
    bool ReadButton() { return PICProgRead(); }

    // The shared edit conversion: decimal or "$" hexadecimal; -1 when it is neither.
    static int EditValue(const QString& text);
    static QString EditText(int value);

private:
    bool Voltage(bool on) { return module_->SwitchPICProg(on); }

    TestModule* module_;
    app::Session* session_;
    link::Link* link_;
    boot::BootLoader* boot_;
    boot::MemoryImages* images_;
};

} // namespace vmx::testmodule
