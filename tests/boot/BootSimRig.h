#pragma once
// The boot loader against the in-process simulated bench on a virtual clock.

#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "boot/BootLoader.h"
#include "boot/Download.h"
#include "boot/HexImage.h"
#include "link/Link.h"
#include "sim/Bench.h"

#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <memory>

struct BootSimRig {
    vmx::app::VirtualClock clock;
    vmx::app::RecordingHost host{&clock};
    QTemporaryDir dir;
    vmx::app::Session session{host, clock, dir.path()};
    vmx::boot::MemoryImages images;
    std::unique_ptr<vmx::link::Link> link;
    std::unique_ptr<vmx::boot::BootLoader> boot;
    vmx::boot::HexImage hex{session, images};
    std::unique_ptr<vmx::boot::Download> download;

    // `row` of the sensor-type catalogue, the bench's sensor from `profile`.
    explicit BootSimRig(int row = 0, const QString& profile = QStringLiteral("stream=polled"))
    {
        session.CopyValidSensorType(row);
        vmx::link::LinkOptions o;
        o.systemPorts = false;
        o.realUsb = false;
        o.simulate = profile;
        link = std::make_unique<vmx::link::Link>(session, o);
        EXPECT_TRUE(link->profileError().isEmpty()) << link->profileError().toStdString();
        link->Reset_COM_USB();
        boot = std::make_unique<vmx::boot::BootLoader>(session, *link, images);
        download = std::make_unique<vmx::boot::Download>(session, *boot, hex);
        clock.SleepMs(300); // the sensor's start
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
        for (const auto& e : bench().trace().Of(vmx::sim::Dir::In, vmx::sim::Unit::BootLoader)) out.push_back(e.bytes);
        return out;
    }
    std::vector<QByteArray> BootFrames(quint8 command)
    {
        std::vector<QByteArray> out;
        for (const auto& f : BootFrames())
            if (f.size() > 3 && quint8(f[3]) == command) out.push_back(f);
        return out;
    }
    static quint32 Addr(const QByteArray& f) { return (quint32(quint8(f[4])) << 16) | (quint32(quint8(f[5])) << 8) | quint8(f[6]); }

    bool Enter()
    {
        const bool ok = boot->BootStart();
        clock.SleepMs(50);
        link->Purge_In(); // brings the bench up to now
        return ok && sensor().InBootLoader();
    }
};
