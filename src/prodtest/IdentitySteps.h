#pragma once
// The programming and identity steps of a test run: the firmware version check, parameter
// files into the sensor, the identification (variant, year, serial number), the calibration
// block, the restart, the boot loader's start and identity check and the firmware download.

#include <QString>

namespace vmx::link {
class Link;
}
namespace vmx::monitor {
class Acquisition;
}
namespace vmx::boot {
class BootLoader;
}
namespace vmx::sensor {
struct ParameterBlocks;
class ParameterFile;
class ParameterTransfer;
class Identification;
} // namespace vmx::sensor

namespace vmx::prodtest {

class StepContext;

class IdentitySteps {
public:
    struct Parts {
        link::Link& link;
        monitor::Acquisition& acquisition;
        boot::BootLoader& boot;
        sensor::ParameterBlocks& params;
        sensor::ParameterFile& parameterFile;
        sensor::ParameterTransfer& transfer;
        sensor::Identification& identification;
    };
    IdentitySteps(StepContext& context, Parts parts);

    void CheckFirmware(int n);
    void SetParameters(int n);
    void SetIdentVar(int n);
    void SetCalBlock();
    void BootRestart();
    void StartCheckBootMode(quint32 bootAddress, int n);
    void DownloadFirmware(quint32 start, quint32 end, const QString& caption);

    // The three characters before the extension of a parameter file's name ("…V123.hex": "123").
    static QString ParFileTag(const QString& fileName);
    // The model index a variant number writes: 1..99 as it is, anything else 0.
    static int ModelOfVariant(int variant) { return variant >= 1 && variant <= 99 ? variant : 0; }
    // The serial number as the sensor keeps it: the last five digits.
    static int SensorSerial(int serial) { return serial < 0 ? serial : serial % 100000; }

private:
    // Parameter file `name` imported; false when the import failed.
    bool Import(const QString& name);

    StepContext& c_;
    Parts p_;
};

} // namespace vmx::prodtest
