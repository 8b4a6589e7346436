#include "sensor/ParameterBlock.h"

#include <algorithm>

namespace vmx::sensor {

quint8 GetParCheckSum(const quint8* block, int len)
{
    len = std::clamp(len, 0, kParBlockSize);
    quint8 sum = 0;
    for (int i = 1; i < len; ++i)
        sum = quint8(sum + block[i]);
    return quint8(~sum);
}

bool ParameterBlock::BubbleTableValid() const
{
    for (int j = 0; j < 7; ++j)
        if (BubbleSize(j + 1) < BubbleSize(j)) return false;
    return true;
}

ParameterBlock StandardParameterBlock()
{
    ParameterBlock b; // 0xFF everywhere, word 0xFFFF
    b.SetByte(Par::CheckSum, 0xCF);
    b.SetSendPulse(0x20);
    b.SetTestSendPulse(0x0C);
    b.SetGateBegin(0x18);
    b.SetGateWidth(19);
    b.SetGateWidthZero(19);
    b.SetADCZeroUpLimit(1000);
    b.SetADCZeroDnLimit(700);
    b.SetAmplMaxUpLiq(600);
    b.SetAmplMaxDnLiq(200);
    b.SetAmplIncrement(0xFFFF);
    b.SetAmplDecrement(200);
    b.SetAmplMaxUpLimit(225);
    b.SetAmplMaxDnLimit(80);
    b.SetByte(Par::BubbleAvg, 0x31);
    b.SetAmplBubbleLimit(0x30);
    b.SetBubbleFactor(5);
    b.SetByte(Par::StartCfg, 8);
    b.SetErrorOutCfg(20);
    b.SetAirOutCfg(18);
    b.SetLiquidOutCfg(1);
    b.SetHoldTime(0);
    b.SetByte(Par::ZeroAvg, 225);
    b.SetInitInterval(12);
    b.SetGainTestInc(100);
    static constexpr quint8 kGain[Par::GainTestRows][Par::GainTestCols] = {
        {140, 110, 17, 0, 5, 0},       {245, 215, 127, 97, 15, 0},     {255, 250, 232, 202, 55, 0},
        {255, 250, 255, 250, 130, 80}, {255, 250, 255, 250, 210, 170},
    };
    for (int r = 0; r < Par::GainTestRows; ++r)
        for (int c = 0; c < Par::GainTestCols; ++c)
            b.SetGainTestCell(r, c, kGain[r][c]);
    b.SetByte(Par::Security, 0x16);
    b.SetByte(Par::SecurityInv, 0xE9);
    b.SetServiceModeTime(146);
    b.SetMaxDiff(10);
    b.SetByte(Par::Burst, 0x51);
    b.SetByte(Par::TestBurst, 0x20);
    for (int k = 0; k < 8; ++k) {
        const int value = std::min(240, 60 * k);
        b.SetBubbleSize(k, quint8(std::min(48, 12 * k)));
        b.SetBubbleValue(k, quint8(value));
        b.SetBubblePercent(k, quint8(std::min(250, 25 * k)));
        b.SetBubbleOut(k, value >= 240 ? 18 : 1);
    }
    b.SetBubbleSize(8, 0xFF);
    b.SetBubbleValue(8, 240);
    b.SetBubblePercent(8, 250);
    b.SetBubbleOut(8, 2);
    b.SetBubbleSize(9, 0xFF);
    b.SetBubbleValue(9, 241);
    b.SetBubblePercent(9, 255);
    b.SetBubbleOut(9, 3);
    b.SetByte(Par::BubbleTabLin, 0);
    b.SetStartCfgMode(0);
    b.SetInputCfg(8);
    b.SetAmplTestLimit(48);
    b.SetExtResetTime(0xFF);
    b.word = 0xFFFF;
    return b;
}

} // namespace vmx::sensor
