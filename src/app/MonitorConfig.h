#pragma once

#include "app/Folders.h"
#include "app/SensorTypes.h"

#include <QString>

class QIODevice;

namespace vmx::app {

class Host;

enum class DataOverflow { Stop = 0, RollOver = 1, Restart = 2 };

// What MONITOR.INI sets; the defaults are the program's built-in ones.
struct MonitorConfig {
    int Language = 0;
    bool Service = false;
    bool Manufacturer = false;
    // Device keys as read (before the catalogue lookup); preset from the current type.
    qint32 IdentCode = 0;
    qint32 Type = 0;
    qint32 SubType = 0;
    qint32 Firmware = 0;
    QString ParFile;  // full path, empty for none
    QString TempFile; // full path, empty for none
    int RefreshDia = 10;
    DataOverflow Overflow = DataOverflow::Stop;
    bool MessageWindow = false;
    bool Beeper = false;
    bool WithAck = true;
    bool WithAnswer = true;
    bool WithFrameCrc = false;
    bool PowerAuto = false;
    VersionFilter ShowVersion;
    // [DATABASE]: the unit history's URL and this station's name (empty: the defaults).
    QString DatabaseUrl;
    QString StationName;
};

inline constexpr const char* kConfigFileName = "MONITOR.INI";

// Applies the lines of a MONITOR.INI text to `cfg` (the outcome of reading the whole file).
void ApplyConfigLines(const QStringList& lines, const QString& programDir, MonitorConfig& cfg);

// The same, line by line from a device as it is read; false on a read error (what was read
// before it stays applied).
bool ApplyConfigFrom(QIODevice& device, const QString& programDir, MonitorConfig& cfg);

// Reads `programDir`/MONITOR.INI into `cfg`, reporting in status panel 1 through `host`.
// False when the file is missing or cannot be read; what was read before a failure stays.
bool ReadConfigFromFile(const QString& programDir, int language, Host& host, MonitorConfig& cfg);
// The same from the configuration folder: PARFILE is looked up there, then in the shipped
// files; a relative TEMPFILE (a record the program writes) lies in the data folder.
bool ReadConfigFromFile(const Folders& folders, int language, Host& host, MonitorConfig& cfg);

// The `key=value` lines of the configuration listing.
QStringList ConfigListing(const MonitorConfig& cfg, int row, int key);

} // namespace vmx::app
