#pragma once
// Reading, writing and verifying the parameter block through the sensor's boot loader, and
// the entry into the boot loader with the check of its address that every flash operation of
// the sensor pages starts with.

#include "lang/MessageIds.h"
#include "sensor/ParameterBlock.h"

#include <QString>

namespace vmx::app {
class Session;
}
namespace vmx::link {
class Link;
}
namespace vmx::boot {
class BootLoader;
}

namespace vmx::sensor {

// The catalogue numbers by name.
using namespace lang::ids;

class DeviceCommands;

class ParameterTransfer {
public:
    // What the transfer asks of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // STOP of the acquisition, run before every operation on the sensor.
        virtual void StopAcquisition() = 0;
        // Commit of a pending edit (TestFocusChanged) before read, write and verify.
        virtual void CommitEdit() = 0;
        // The pages show the edit block again (UpdateDialog).
        virtual void RefreshPages() = 0;
    };

    // `power` gives the automatic power cycle before the boot entry.
    ParameterTransfer(app::Session& session, link::Link& link, boot::BootLoader& boot,
                      ParameterBlocks& blocks, DeviceCommands& power, Hooks& hooks);

    // --- boot-loader entry --------------------------------------------------------------------
    bool StartReadWrite();
    // The entry without the check of the loader's address: start (the two-step entry of the
    // 05.30 generation), wait, ping; a loader that does not answer gets a restart and the
    // line is purged. What every command that talks to the loader starts with.
    bool EnterBootLoader();
    bool StartReadWriteV130();
    bool StartReadWriteQVR0530();

    // --- transfers ----------------------------------------------------------------------------
    bool ReadParameters();
    bool WriteParameters();
    bool VerifyParameter();
    // After a verify that found a difference: the first differing field and both values.
    const QString& verifyMismatch() const { return verifyMismatch_; }
    // The name of the block field at `offset` (its layout's name), for the operator.
    static QString FieldName(int offset);

    // --- actions: commit, run, report in panel 1 ----------------------------------------------
    bool Read();
    bool Write();
    bool Verify();
    // "Standard": the standard block and word into the edit block, pages refreshed.
    void SetStandard();
    // At start: builds the standard set.
    void SetStandardValues() { blocks_.SetStandardValues(); }

    ParameterBlocks& blocks() { return blocks_; }
    boot::BootLoader& boot() { return *boot_; }

    // The sensor type's block length, cut to what the block can hold (0: the type has none).
    int ParLen() const;

private:
    bool EnterV130();
    bool EnterQVR0530();
    void Stop();
    bool CheckBootAddress();
    bool RestartSensor();
    QString Msg(int m) const;
    QString verifyMismatch_;

    app::Session& session_;
    link::Link& link_;
    boot::BootLoader* boot_;
    ParameterBlocks& blocks_;
    DeviceCommands& power_;
    Hooks& hooks_;
};

} // namespace vmx::sensor
