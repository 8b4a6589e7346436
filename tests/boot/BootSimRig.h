#pragma once
// The boot loader against the in-process simulated bench on a virtual clock.

#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "sim/Bench.h"
#include "station/Station.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

struct BootSimRig : vmx::station::StationView {
    vmx::app::VirtualClock clock;
    vmx::test::RecordingHost host{&clock};
    QTemporaryDir dir;
    vmx::app::Session session{host, clock, dir.path()};
    std::unique_ptr<vmx::station::Station> station;
    vmx::link::Link* link;
    vmx::boot::MemoryImages& images;
    vmx::boot::BootLoader* boot;
    vmx::boot::HexImage& hex;
    vmx::boot::Download* download;

    // `row` of the sensor-type catalogue, the bench's sensor from `profile`.
    explicit BootSimRig(int row = 0, const QString& profile = QStringLiteral("stream=polled"))
        : station(Build(session, row, profile)), link(&station->link()), images(station->images()),
          boot(&station->bootLoader()), hex(station->hex()), download(&station->download())
    {
        EXPECT_TRUE(link->profileError().isEmpty()) << link->profileError().toStdString();
        station->SetView(this);
        link->Reset_COM_USB();
        clock.SleepMs(300); // the sensor's start
    }
    ~BootSimRig() override { station->SetView(nullptr); }

    // The person at the download's file question: sets download->hexFile (or absFile).
    std::function<bool(bool abs)> pick;
    bool PickDownloadFile(bool abs) override { return pick ? pick(abs) : false; }

    static std::unique_ptr<vmx::station::Station> Build(vmx::app::Session& s, int row, const QString& profile)
    {
        s.CopyValidSensorType(row);
        vmx::link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        return std::make_unique<vmx::station::Station>(s, o);
    }

    vmx::sim::Bench& bench() { return *link->OpenSimBench(); }
    vmx::sim::Sensor& sensor() { return bench().sensor(); }
    vmx::sim::BootLoader& target() { return sensor().bootLoader(); }
    QString Msg(int m) const { return session.Msg(m); }
    QString Last() const { return host.panel1Log.isEmpty() ? QString() : host.panel1Log.back(); }

    // Frames the boot loader received (valid or not), in order.
    std::vector<QByteArray> BootFrames()
    {
        std::vector<QByteArray> out;
        for (const auto& e : bench().trace().Of(vmx::sim::Dir::In, vmx::sim::Unit::BootLoader))
            out.push_back(e.bytes);
        return out;
    }
    std::vector<QByteArray> BootFrames(quint8 command)
    {
        std::vector<QByteArray> out;
        for (const auto& f : BootFrames())
            if (f.size() > 3 && quint8(f[3]) == command) out.push_back(f);
        return out;
    }
    static quint32 Addr(const QByteArray& f)
    {
        return (quint32(quint8(f[4])) << 16) | (quint32(quint8(f[5])) << 8) | quint8(f[6]);
    }

    bool Enter()
    {
        const bool ok = boot->BootStart();
        clock.SleepMs(50);
        link->Purge_In(); // brings the bench up to now
        return ok && sensor().InBootLoader();
    }
};
