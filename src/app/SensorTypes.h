#pragma once

#include <QString>
#include <QtGlobal>

#include <array>
#include <vector>

namespace vmx::app {

inline constexpr int kSensorTypeCount = 54;
inline constexpr quint32 kNoOffset = 0xFFFF;

// One row of the sensor-type catalogue.
struct SensorTypeRow {
    quint32 IdentCode;
    quint32 Type;
    quint32 SubType;
    quint32 Firmware; // version x 100
    quint32 Key;      // Type * 1000000 + SubType * 1000 + Firmware
    quint32 Flags;
    quint32 ParAddr;
    quint32 ParLen;
    quint32 BootAddr;
    quint32 SNOffset;
    quint32 CalOffset;
    const char* Model;
    const char* FirmwareText;
};

extern const SensorTypeRow kSensorTypes[kSensorTypeCount];

// Capability flag bits of SensorTypeRow::Flags.
namespace Cap {
inline constexpr int OldCfgMode1 = 0;
inline constexpr int OldCfgMode3 = 1;
inline constexpr int OldCfgMode4 = 2;
inline constexpr int Led = 3;
inline constexpr int SetMode = 4;
inline constexpr int BubbleTest = 5;
inline constexpr int CaptionFamily = 6;
inline constexpr int Ident = 7;
inline constexpr int SelfTestList = 8;
inline constexpr int AmplDec = 10;
inline constexpr int OldCfgMode0 = 11;
inline constexpr int Gen0530 = 12;
inline constexpr int Gen140 = 13;
inline constexpr int BurstCount = 14;
inline constexpr int OutModes9 = 15;
inline constexpr int OutModes10 = 16;
inline constexpr int WriteSerial = 17;
inline constexpr int ChannelSwitch = 18;
} // namespace Cap

// The current sensor type: a copy of one catalogue row plus the identification values of the
// connected sensor that belong to it.
struct CurrentSensorType {
    int Row = 0;
    qint32 IdentCode = 0;
    qint32 Type = 0;
    qint32 SubType = 0;
    qint32 Firmware = 0;
    qint32 Key = 0;
    quint32 Flags = 0;
    quint32 ParAddr = 0;
    quint32 ParLen = 0;
    quint32 BootAddr = 0;
    quint32 SNOffset = kNoOffset;
    quint32 CalOffset = kNoOffset;
    QString Model;
    QString FirmwareText;

    quint8 Hardware = 255;
    quint8 Year = 255;
    quint16 SerialNo = 0xFFFF;
    quint8 ModelIndex = 0;
    std::array<quint8, 16> Cal{};

    bool Has(int bit) const { return (Flags >> bit) & 1u; }
};

// Makes catalogue row `row` current and resets the identification values to unknown.
// A row outside the catalogue selects row 0.
void CopyValidSensorType(CurrentSensorType& st, int row);

// Last row whose ident, type, subtype and firmware all equal the given ones; -1 when none.
int LastRowMatching(qint32 ident, qint32 type, qint32 subType, qint32 firmware);
// Last row with this key; -1 when none.
int LastRowWithKey(qint32 key);

// Text of the flags as the type listing shows them ("0x3E9FF").
QString FlagsText(quint32 flags);

// The three filters of the version menu; -1 means no restriction.
struct VersionFilter {
    int Type = -1;
    int SubType = -1;
    int Firmware = -1;
    bool Passes(const SensorTypeRow& r) const;
    bool PassesType(const SensorTypeRow& r) const { return Type == -1 || quint32(Type) == r.Type; }
};

struct VersionMenuItem {
    QString Caption; // firmware text
    int Key = 0;     // the menu item's tag
    int Row = 0;
};

struct VersionMenuEntry {
    bool Separator = false;
    QString Caption; // group caption (model); empty for a separator
    std::vector<VersionMenuItem> Items;
};

// The version menu as the window builds it from the catalogue and the filters.
std::vector<VersionMenuEntry> BuildVersionMenu(const VersionFilter& filter);

} // namespace vmx::app

namespace vmx::app {
// The row the window ends on at start: the last catalogue match of the current numbers, when
// the version menu (with its filters) holds it; otherwise row 0.
int StartRow(const CurrentSensorType& st, const VersionFilter& filter);
} // namespace vmx::app
