#pragma once
// Parameter transfer, parameter file and identification against the in-process simulated
// bench through the program's own link, boot loader and device commands, on a virtual clock.

#include "link/LinkTestSupport.h"

#include "boot/BootLoader.h"
#include "boot/MemoryImages.h"
#include "link/Link.h"
#include "sensor/DeviceCommands.h"
#include "sensor/Identification.h"
#include "sensor/ParameterFile.h"
#include "sensor/ParameterTransfer.h"
#include "sim/Bench.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

struct SensorRig {
    linktest::Env env;
    std::unique_ptr<vmx::link::Link> link;
    vmx::boot::MemoryImages images;
    std::unique_ptr<vmx::boot::BootLoader> boot;
    std::unique_ptr<vmx::sensor::DeviceCommands> dc;
    vmx::sensor::ParameterBlocks blocks;
    std::unique_ptr<vmx::sensor::ParameterTransfer> transfer;
    std::unique_ptr<vmx::sensor::ParameterFile> file;
    std::unique_ptr<vmx::sensor::Identification> ident;
    int stops = 0, commits = 0, refreshes = 0;

    // `row` of the catalogue is the current type; the bench's sensor from `profile`.
    SensorRig(int row, const QString& profile)
    {
        env.session.CopyValidSensorType(row);
        vmx::link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        link = std::make_unique<vmx::link::Link>(env.session, o);
        EXPECT_TRUE(link->profileError().isEmpty()) << link->profileError().toStdString();
        link->Reset_COM_USB();
        boot = std::make_unique<vmx::boot::BootLoader>(env.session, *link, images);
        dc = std::make_unique<vmx::sensor::DeviceCommands>(env.session, *link);
        transfer = std::make_unique<vmx::sensor::ParameterTransfer>(env.session, *link, *boot, blocks, dc.get());
        file = std::make_unique<vmx::sensor::ParameterFile>(env.session, blocks);
        ident = std::make_unique<vmx::sensor::Identification>(env.session, *link, *boot, *transfer, *dc);
        transfer->stopAcquisition = [this] { ++stops; };
        transfer->commitEdit = [this] { ++commits; };
        transfer->refreshPages = [this] { ++refreshes; };
        ident->refreshPages = [this] { ++refreshes; };
        transfer->SetStandardValues();
        env.clock.SleepMs(300); // the sensor's start
    }

    // Time between two operations, as a person takes it: the sensor's restart is over.
    void Pause() { env.clock.SleepMs(300); }
    vmx::sim::Bench& bench() { return *link->OpenSimBench(); }
    vmx::sim::Sensor& sensor() { return bench().sensor(); }
    std::array<quint8, vmx::sim::BootLoader::kFlashSize>& flash() { return sensor().bootLoader().flash(); }
    vmx::app::CurrentSensorType& st() { return env.session.sensor; }
    QString Msg(int m) const { return env.session.Msg(m); }
    QString Last() const { return env.host.panel1Log.isEmpty() ? QString() : env.host.panel1Log.last(); }
    bool Logged(const QString& text) const { return env.host.panel1Log.contains(text); }
    // Valid incoming frames of one unit with this command byte.
    int In(quint8 command, vmx::sim::Unit unit) { return bench().trace().CountIn(command, unit); }
    size_t TraceSize() { return bench().trace().entries().size(); }
};
