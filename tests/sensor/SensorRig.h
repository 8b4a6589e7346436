#pragma once
// Parameter transfer, parameter file and identification against the in-process simulated
// bench, in the station the program builds (its link, boot loader and device commands), on a
// virtual clock.

#include "link/LinkTestSupport.h"

#include "sim/Bench.h"
#include "station/Station.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

struct SensorRig : vmx::station::StationView {
    linktest::Env env;
    std::unique_ptr<vmx::station::Station> station;
    vmx::link::Link* link;
    vmx::boot::MemoryImages& images;
    vmx::boot::BootLoader* boot;
    vmx::sensor::DeviceCommands* dc;
    vmx::sensor::ParameterBlocks& blocks;
    vmx::sensor::ParameterTransfer* transfer;
    vmx::sensor::ParameterFile* file;
    vmx::sensor::Identification* ident;
    int commits = 0, refreshes = 0;
    int modeIndex = -1;      // the serial-mode index the pages were told to show
    bool identShown = false; // the identification page was brought to the front

    // `row` of the catalogue is the current type; the bench's sensor from `profile`.
    SensorRig(int row, const QString& profile)
        : station(Build(env.session, row, profile)), link(&station->link()), images(station->images()),
          boot(&station->bootLoader()), dc(&station->devices()), blocks(station->params()),
          transfer(&station->transfer()), file(&station->parameterFile()), ident(&station->identification())
    {
        EXPECT_TRUE(link->profileError().isEmpty()) << link->profileError().toStdString();
        station->SetView(this);
        link->Reset_COM_USB();
        env.clock.SleepMs(300); // the sensor's start
    }
    ~SensorRig() override { station->SetView(nullptr); }

    // StationView: what the pages would have been told.
    void CommitEdit() override { ++commits; }
    void PagesChanged() override { ++refreshes; }
    void ShowIdentPage() override { identShown = true; }
    void DeviceStateChanged(DeviceField f) override
    {
        if (f == DeviceField::SerialMode) modeIndex = station->deviceState().serialModeIndex;
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

private:
    static std::unique_ptr<vmx::station::Station> Build(vmx::app::Session& s, int row, const QString& profile)
    {
        s.CopyValidSensorType(row);
        vmx::link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        return std::make_unique<vmx::station::Station>(s, o);
    }
};
