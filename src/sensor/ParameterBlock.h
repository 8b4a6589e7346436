#pragma once
// The sensor's parameter block: a 256-byte image of the start of the parameter page in code
// flash, with its one's-complement checksum in byte 0, plus the 16-bit extra word that lives at
// page offset 510. Words inside the block are little-endian.

#include <QtGlobal>

#include <array>
#include <cstddef>

namespace vmx::sensor {

inline constexpr int kParBlockSize = 256;
inline constexpr int kParPageSize = 512;
inline constexpr int kParExtraWordOffset = 510; // page offset of the extra word (ECRC)

// 8-bit sum of block bytes 1..len-1, inverted. len is ParLen of the sensor type (256, 64, 32);
// it is cut to the block so a bad length can never read past it.
quint8 GetParCheckSum(const quint8* block, int len);

// Byte offsets of the block's fields.
namespace Par {
inline constexpr int CheckSum = 0;
inline constexpr int SendPulse = 1;
inline constexpr int TestSendPulse = 2;
inline constexpr int GateBegin = 3;
inline constexpr int GateWidth = 4;
inline constexpr int GateWidthZero = 5;
inline constexpr int ADCZeroUpLimit = 6; // word
inline constexpr int ADCZeroDnLimit = 8; // word
inline constexpr int AmplMaxUpLiq = 10;  // word
inline constexpr int AmplMaxDnLiq = 12;  // word
inline constexpr int AmplIncrement = 14; // word
inline constexpr int AmplDecrement = 16; // word
inline constexpr int AmplMaxUpLimit = 18;
inline constexpr int AmplMaxDnLimit = 19;
inline constexpr int BubbleAvg = 20; // bit 0 on, bits 4-7 index
inline constexpr int AmplBubbleLimit = 21;
inline constexpr int BubbleFactor = 22;
inline constexpr int StartCfg = 23;    // bits 0-3 LEDs (green, red, blue, auto), bits 4-7 mode
inline constexpr int ErrorOutCfg = 24; // bits 0-2 LEDs, bit 4 level
inline constexpr int AirOutCfg = 25;
inline constexpr int LiquidOutCfg = 26;
inline constexpr int HoldTime = 27; // word
inline constexpr int ZeroAvg = 29;  // bit 0 on, bits 4-7 index
inline constexpr int InitInterval = 30;
inline constexpr int GainTestInc = 31;
inline constexpr int GainTest = 32; // 5 rows x 6 bytes
inline constexpr int GainTestRows = 5;
inline constexpr int GainTestCols = 6;
inline constexpr int Security = 62;
inline constexpr int SecurityInv = 63;
inline constexpr int ServiceModeTime = 64;
inline constexpr int MaxDiff = 65;
inline constexpr int Burst = 66; // bit 0 on, bits 4-7 count index
inline constexpr int TestBurst = 67;
inline constexpr int BubbleTab = 68; // 10 entries x 4 bytes: size, value, percentage, output bits
inline constexpr int BubbleTabRows = 10;
inline constexpr int BubbleTabLin = 108;
inline constexpr int StartCfgMode = 109;
inline constexpr int InputCfg = 110;
inline constexpr int AmplTestLimit = 111;
inline constexpr int ExtResetTime = 112;
inline constexpr int FirstUnused = 113;

// Bits of the output configuration bytes (24, 25, 26 and the bubble-table output bits).
inline constexpr quint8 OutGreen = 0x01;
inline constexpr quint8 OutRed = 0x02;
inline constexpr quint8 OutBlue = 0x04;
inline constexpr quint8 OutAuto = 0x08; // start configuration only
inline constexpr quint8 OutLevel = 0x10;
inline constexpr quint8 BubbleOutMask = 0x17;
} // namespace Par

// One block image with its extra word. Accessors check nothing beyond the block's bounds;
// the editor's limits are the editor's business.
struct ParameterBlock {
    std::array<quint8, kParBlockSize> bytes;
    quint16 word = 0xFFFF; // the extra word (ECRC field)

    ParameterBlock() { Clear(); }
    void Clear()
    {
        bytes.fill(0xFF);
        word = 0xFFFF;
    }

    quint8* data() { return bytes.data(); }
    const quint8* data() const { return bytes.data(); }
    quint8& operator[](std::size_t i) { return bytes[i]; }
    quint8 operator[](std::size_t i) const { return bytes[i]; }

    quint8 Byte(int offset) const { return bytes[std::size_t(offset)]; }
    void SetByte(int offset, quint8 v) { bytes[std::size_t(offset)] = v; }
    quint16 Word(int offset) const { return quint16(Byte(offset) | (Byte(offset + 1) << 8)); }
    void SetWord(int offset, quint16 v)
    {
        SetByte(offset, quint8(v));
        SetByte(offset + 1, quint8(v >> 8));
    }
    bool Bit(int offset, int bit) const { return (Byte(offset) >> bit) & 1u; }
    void SetBit(int offset, int bit, bool on)
    {
        const quint8 m = quint8(1u << bit);
        SetByte(offset, on ? quint8(Byte(offset) | m) : quint8(Byte(offset) & ~m));
    }
    void ToggleBit(int offset, int bit) { SetBit(offset, bit, !Bit(offset, bit)); }
    quint8 HighNibble(int offset) const { return quint8(Byte(offset) >> 4); }
    void SetHighNibble(int offset, int v)
    {
        SetByte(offset, quint8((Byte(offset) & 0x0F) | ((v & 0x0F) << 4)));
    }
    quint8 LowNibble(int offset) const { return quint8(Byte(offset) & 0x0F); }
    void SetLowNibble(int offset, int v) { SetByte(offset, quint8((Byte(offset) & 0xF0) | (v & 0x0F))); }

    // --- checksum ---------------------------------------------------------------------------
    quint8 CheckSum() const { return Byte(Par::CheckSum); }
    quint8 ComputeCheckSum(int len) const { return GetParCheckSum(data(), len); }
    // Stores the checksum for the given length in byte 0.
    void UpdateCheckSum(int len) { SetByte(Par::CheckSum, ComputeCheckSum(len)); }
    bool CheckSumValid(int len) const { return ComputeCheckSum(len) == CheckSum(); }

    // --- pulses and gate --------------------------------------------------------------------
    quint8 SendPulse() const { return Byte(Par::SendPulse); }
    void SetSendPulse(quint8 v) { SetByte(Par::SendPulse, v); }
    quint8 TestSendPulse() const { return Byte(Par::TestSendPulse); }
    void SetTestSendPulse(quint8 v) { SetByte(Par::TestSendPulse, v); }
    quint8 GateBegin() const { return Byte(Par::GateBegin); }
    void SetGateBegin(quint8 v) { SetByte(Par::GateBegin, v); }
    quint8 GateWidth() const { return Byte(Par::GateWidth); }
    void SetGateWidth(quint8 v) { SetByte(Par::GateWidth, v); }
    quint8 GateWidthZero() const { return Byte(Par::GateWidthZero); }
    void SetGateWidthZero(quint8 v) { SetByte(Par::GateWidthZero, v); }

    // --- limits (words) ---------------------------------------------------------------------
    quint16 ADCZeroUpLimit() const { return Word(Par::ADCZeroUpLimit); }
    void SetADCZeroUpLimit(quint16 v) { SetWord(Par::ADCZeroUpLimit, v); }
    quint16 ADCZeroDnLimit() const { return Word(Par::ADCZeroDnLimit); }
    void SetADCZeroDnLimit(quint16 v) { SetWord(Par::ADCZeroDnLimit, v); }
    quint16 AmplMaxUpLiq() const { return Word(Par::AmplMaxUpLiq); }
    void SetAmplMaxUpLiq(quint16 v) { SetWord(Par::AmplMaxUpLiq, v); }
    quint16 AmplMaxDnLiq() const { return Word(Par::AmplMaxDnLiq); }
    void SetAmplMaxDnLiq(quint16 v) { SetWord(Par::AmplMaxDnLiq, v); }
    quint16 AmplIncrement() const { return Word(Par::AmplIncrement); }
    void SetAmplIncrement(quint16 v) { SetWord(Par::AmplIncrement, v); }
    quint16 AmplDecrement() const { return Word(Par::AmplDecrement); }
    void SetAmplDecrement(quint16 v) { SetWord(Par::AmplDecrement, v); }
    quint8 AmplMaxUpLimit() const { return Byte(Par::AmplMaxUpLimit); }
    void SetAmplMaxUpLimit(quint8 v) { SetByte(Par::AmplMaxUpLimit, v); }
    quint8 AmplMaxDnLimit() const { return Byte(Par::AmplMaxDnLimit); }
    void SetAmplMaxDnLimit(quint8 v) { SetByte(Par::AmplMaxDnLimit, v); }

    // --- bubble evaluation ------------------------------------------------------------------
    bool BubbleAvgOn() const { return Bit(Par::BubbleAvg, 0); }
    void SetBubbleAvgOn(bool on) { SetBit(Par::BubbleAvg, 0, on); }
    int BubbleAvgIndex() const { return HighNibble(Par::BubbleAvg); }
    void SetBubbleAvgIndex(int i) { SetHighNibble(Par::BubbleAvg, i); }
    quint8 AmplBubbleLimit() const { return Byte(Par::AmplBubbleLimit); }
    void SetAmplBubbleLimit(quint8 v) { SetByte(Par::AmplBubbleLimit, v); }
    quint8 BubbleFactor() const { return Byte(Par::BubbleFactor); }
    void SetBubbleFactor(quint8 v) { SetByte(Par::BubbleFactor, v); }

    // --- start and output configuration -----------------------------------------------------
    int StartLeds() const { return LowNibble(Par::StartCfg); }
    void SetStartLeds(int v) { SetLowNibble(Par::StartCfg, v); }
    int StartMode() const { return HighNibble(Par::StartCfg); }
    void SetStartMode(int v) { SetHighNibble(Par::StartCfg, v); }
    quint8 ErrorOutCfg() const { return Byte(Par::ErrorOutCfg); }
    void SetErrorOutCfg(quint8 v) { SetByte(Par::ErrorOutCfg, v); }
    quint8 AirOutCfg() const { return Byte(Par::AirOutCfg); }
    void SetAirOutCfg(quint8 v) { SetByte(Par::AirOutCfg, v); }
    quint8 LiquidOutCfg() const { return Byte(Par::LiquidOutCfg); }
    void SetLiquidOutCfg(quint8 v) { SetByte(Par::LiquidOutCfg, v); }
    quint16 HoldTime() const { return Word(Par::HoldTime); }
    void SetHoldTime(quint16 v) { SetWord(Par::HoldTime, v); }

    // --- zero averaging, interval, gain test ------------------------------------------------
    bool ZeroAvgOn() const { return Bit(Par::ZeroAvg, 0); }
    void SetZeroAvgOn(bool on) { SetBit(Par::ZeroAvg, 0, on); }
    int ZeroAvgIndex() const { return HighNibble(Par::ZeroAvg); }
    void SetZeroAvgIndex(int i) { SetHighNibble(Par::ZeroAvg, i); }
    quint8 InitInterval() const { return Byte(Par::InitInterval); }
    void SetInitInterval(quint8 v) { SetByte(Par::InitInterval, v); }
    quint8 GainTestInc() const { return Byte(Par::GainTestInc); }
    void SetGainTestInc(quint8 v) { SetByte(Par::GainTestInc, v); }
    // row 0..4, col 0..5
    static constexpr int GainTestOffset(int row, int col)
    {
        return Par::GainTest + Par::GainTestCols * row + col;
    }
    quint8 GainTestCell(int row, int col) const { return Byte(GainTestOffset(row, col)); }
    void SetGainTestCell(int row, int col, quint8 v) { SetByte(GainTestOffset(row, col), v); }

    // --- self tests, service, burst ---------------------------------------------------------
    quint8 Security() const { return Byte(Par::Security); }
    quint8 SecurityInv() const { return Byte(Par::SecurityInv); }
    // Byte 62 and its inverted copy in 63 together.
    void SetSecurity(quint8 v)
    {
        SetByte(Par::Security, v);
        SetByte(Par::SecurityInv, quint8(~v));
    }
    // Item k of the self-test list: bit k of byte 62 set, or bit k of byte 63 clear.
    bool SecurityItem(int k) const { return Bit(Par::Security, k) || !Bit(Par::SecurityInv, k); }
    quint8 ServiceModeTime() const { return Byte(Par::ServiceModeTime); }
    void SetServiceModeTime(quint8 v) { SetByte(Par::ServiceModeTime, v); }
    quint8 MaxDiff() const { return Byte(Par::MaxDiff); }
    void SetMaxDiff(quint8 v) { SetByte(Par::MaxDiff, v); }
    bool BurstOn() const { return Bit(Par::Burst, 0); }
    void SetBurstOn(bool on) { SetBit(Par::Burst, 0, on); }
    int BurstIndex() const { return HighNibble(Par::Burst); }
    void SetBurstIndex(int i) { SetHighNibble(Par::Burst, i); }
    bool TestBurstOn() const { return Bit(Par::TestBurst, 0); }
    void SetTestBurstOn(bool on) { SetBit(Par::TestBurst, 0, on); }
    int TestBurstIndex() const { return HighNibble(Par::TestBurst); }
    void SetTestBurstIndex(int i) { SetHighNibble(Par::TestBurst, i); }

    // --- bubble table (row 0..9) ------------------------------------------------------------
    static constexpr int BubbleOffset(int row) { return Par::BubbleTab + 4 * row; }
    quint8 BubbleSize(int row) const { return Byte(BubbleOffset(row)); }
    void SetBubbleSize(int row, quint8 v) { SetByte(BubbleOffset(row), v); }
    quint8 BubbleValue(int row) const { return Byte(BubbleOffset(row) + 1); }
    void SetBubbleValue(int row, quint8 v) { SetByte(BubbleOffset(row) + 1, v); }
    quint8 BubblePercent(int row) const { return Byte(BubbleOffset(row) + 2); }
    void SetBubblePercent(int row, quint8 v) { SetByte(BubbleOffset(row) + 2, v); }
    quint8 BubbleOut(int row) const { return Byte(BubbleOffset(row) + 3); }
    void SetBubbleOut(int row, quint8 v) { SetByte(BubbleOffset(row) + 3, v); }
    bool BubbleTabLinear() const { return Byte(Par::BubbleTabLin) & 1u; }
    void SetBubbleTabLinear(bool on) { SetByte(Par::BubbleTabLin, on ? 1 : 0); }
    // Sizes of rows 0..7 never decrease.
    bool BubbleTableValid() const;

    // --- the rest ---------------------------------------------------------------------------
    quint8 StartCfgMode() const { return Byte(Par::StartCfgMode); }
    void SetStartCfgMode(quint8 v) { SetByte(Par::StartCfgMode, v); }
    quint8 InputCfg() const { return Byte(Par::InputCfg); }
    void SetInputCfg(quint8 v) { SetByte(Par::InputCfg, v); }
    quint8 AmplTestLimit() const { return Byte(Par::AmplTestLimit); }
    void SetAmplTestLimit(quint8 v) { SetByte(Par::AmplTestLimit, v); }
    quint8 ExtResetTime() const { return Byte(Par::ExtResetTime); }
    void SetExtResetTime(quint8 v) { SetByte(Par::ExtResetTime, v); }
    quint16 ExtraWord() const { return word; }
    void SetExtraWord(quint16 v) { word = v; }

    // All 256 bytes and the word.
    bool operator==(const ParameterBlock& o) const { return bytes == o.bytes && word == o.word; }
    bool operator!=(const ParameterBlock& o) const { return !(*this == o); }
};

// The standard parameter set. Its checksum byte is the fixed 0xCF of the set, not recomputed;
// a write recomputes it for the sensor's length.
ParameterBlock StandardParameterBlock();

// The three images the program holds: what the editor shows and writes, the last block read
// from the sensor, and the standard set.
struct ParameterBlocks {
    ParameterBlock edit;
    ParameterBlock read;
    ParameterBlock standard;

    // Builds the standard set (done once at start).
    void SetStandardValues() { standard = StandardParameterBlock(); }
    // "Standard": the standard block and word become the edit block and word.
    void CopyStandardToEdit() { edit = standard; }
    void CopyReadToEdit() { edit = read; }
};

} // namespace vmx::sensor
