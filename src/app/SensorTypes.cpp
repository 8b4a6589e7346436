#include "app/SensorTypes.h"

#include <optional>

namespace vmx::app {

void CopyValidSensorType(CurrentSensorType& st, int row)
{
    if (row < 0 || row >= kSensorTypeCount) row = 0;
    const SensorTypeRow& r = kSensorTypes[row];
    st.Row = row;
    st.IdentCode = qint32(r.IdentCode);
    st.Type = qint32(r.Type);
    st.SubType = qint32(r.SubType);
    st.Firmware = qint32(r.Firmware);
    st.Key = qint32(r.Key);
    st.Flags = r.Flags;
    st.ParAddr = r.ParAddr;
    st.ParLen = r.ParLen;
    st.BootAddr = r.BootAddr;
    st.SNOffset = r.SNOffset;
    st.CalOffset = r.CalOffset;
    st.Model = QString::fromUtf8(r.Model);
    st.FirmwareText = QString::fromUtf8(r.FirmwareText);
    st.Hardware = 255;
    st.Year = 255;
    st.SerialNo = 0xFFFF;
    st.ModelIndex = 0;
    st.Cal.fill(0xFF);
}

int LastRowMatching(qint32 ident, qint32 type, qint32 subType, qint32 firmware)
{
    int found = -1;
    for (int i = 0; i < kSensorTypeCount; ++i) {
        const SensorTypeRow& r = kSensorTypes[i];
        if (qint64(r.IdentCode) == ident && qint64(r.Type) == type && qint64(r.SubType) == subType &&
            qint64(r.Firmware) == firmware)
            found = i;
    }
    return found;
}

int LastRowWithKey(qint32 key)
{
    int found = -1;
    for (int i = 0; i < kSensorTypeCount; ++i)
        if (qint64(kSensorTypes[i].Key) == key) found = i;
    return found;
}

QString FlagsText(quint32 flags)
{
    return QString::asprintf("0x%05X", flags);
}

bool VersionFilter::Passes(const SensorTypeRow& r) const
{
    return PassesType(r) && (SubType == -1 || quint32(SubType) == r.SubType) &&
           (Firmware == -1 || quint32(Firmware) == r.Firmware);
}

std::vector<VersionMenuEntry> BuildVersionMenu(const VersionFilter& filter)
{
    std::vector<VersionMenuEntry> menu;
    std::optional<quint32> currentSub; // subtype of the group being filled
    int lastGroup = -1;
    for (int i = 0; i < kSensorTypeCount; ++i) {
        const SensorTypeRow& r = kSensorTypes[i];
        if (i > 0 && r.Type != kSensorTypes[i - 1].Type) {
            if (filter.PassesType(r)) menu.push_back(VersionMenuEntry{true, {}, {}});
            currentSub.reset();
        }
        const bool passes = filter.Passes(r);
        if (!currentSub || *currentSub != r.SubType) {
            if (passes) {
                menu.push_back(VersionMenuEntry{false, QString::fromUtf8(r.Model), {}});
                lastGroup = int(menu.size()) - 1;
                currentSub = r.SubType;
            }
        }
        if (lastGroup >= 0 && passes)
            menu[size_t(lastGroup)].Items.push_back(
                VersionMenuItem{QString::fromUtf8(r.FirmwareText), int(r.Key), i});
    }
    return menu;
}

} // namespace vmx::app

namespace vmx::app {
int StartRow(const CurrentSensorType& st, const VersionFilter& filter)
{
    int row = LastRowMatching(st.IdentCode, st.Type, st.SubType, st.Firmware);
    if (row < 0) row = 0;
    for (const VersionMenuEntry& e : BuildVersionMenu(filter))
        for (const VersionMenuItem& it : e.Items)
            if (it.Key == int(kSensorTypes[row].Key)) return LastRowWithKey(it.Key);
    return 0;
}
} // namespace vmx::app
