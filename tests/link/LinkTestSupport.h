#pragma once
// A session on a virtual clock with a recording host, and scripted serial and USB drivers.

#include "RecordingHost.h"
#include "app/Clock.h"
#include "app/Host.h"
#include "app/Session.h"
#include "link/SerialDriver.h"
#include "link/UsbDriver.h"

#include <QByteArray>
#include <QStringList>

#include <deque>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <vector>

namespace linktest {

struct Env {
    vmx::app::VirtualClock clock;
    vmx::test::RecordingHost host{&clock};
    vmx::app::Session session{host, clock, QStringLiteral("/nonexistent")};
};

// Serial ports by name; `openable` decides which exist; reads come from `input`.
class FakeSerial final : public vmx::link::SerialDriver {
public:
    std::vector<vmx::link::SerialPortEntry> ports;
    std::set<QString> openable;
    std::vector<QString>* log = nullptr;
    QByteArray input;   // what the "device" sends
    QByteArray written; // what the program wrote
    vmx::link::CommTimeouts timeouts;
    QString openPath;
    int purges = 0;
    vmx::app::Clock* clock = nullptr;

    void Add(const QString& name, bool canOpen = true)
    {
        ports.push_back({name, QStringLiteral("/dev/") + name, QStringLiteral("serial ") + name, QString()});
        if (canOpen) openable.insert(QStringLiteral("/dev/") + name);
    }
    std::vector<vmx::link::SerialPortEntry> List() override { return ports; }
    bool Probe(const QString& path) override { return openable.count(path) > 0; }
    bool Open(const QString& path) override
    {
        if (!openable.count(path)) return false;
        openPath = path;
        return true;
    }
    void Close() override { openPath.clear(); }
    bool IsOpen() const override { return !openPath.isEmpty(); }
    bool SetQueues(int in, int) override
    {
        queueIn = in;
        return true;
    }
    bool SetTimeouts(const vmx::link::CommTimeouts& t) override
    {
        timeouts = t;
        return true;
    }
    bool Purge() override
    {
        ++purges;
        input.clear();
        return true;
    }
    int Write(const quint8* d, int n) override
    {
        written.append(reinterpret_cast<const char*>(d), n);
        return n;
    }
    int Read(quint8* d, int n) override
    {
        const int k = std::min<int>(n, int(input.size()));
        memcpy(d, input.constData(), size_t(k));
        input.remove(0, k);
        // A time-out passes when the bytes are not there.
        if (k < n && clock)
            clock->SleepMs(timeouts.readTotalConstantMs + qint64(timeouts.readTotalMultiplierMs) * n);
        return k;
    }
    int Available() override { return IsOpen() ? int(input.size()) : -1; }
    int queueIn = 0; // what SetQueues asked for
};

// USB converters with scripted statuses.
class FakeUsb final : public vmx::link::UsbDriver {
public:
    struct Dev {
        QString description, serial;
        bool openable = true;
    };
    std::vector<Dev> devs;
    int countStatus = 0;
    int failing = 0; // status returned by the line settings calls when set
    std::vector<std::string> calls;
    int open = -1;
    QByteArray input;
    QByteArray written;

    int ListCount(int& c) override
    {
        calls.push_back("count");
        c = int(devs.size());
        return countStatus;
    }
    int Description(int i, QString& t) override
    {
        if (i < 0 || i >= int(devs.size())) return vmx::link::ft::DeviceNotFound;
        t = devs[size_t(i)].description;
        return 0;
    }
    int SerialNumber(int i, QString& t) override
    {
        if (i < 0 || i >= int(devs.size())) return vmx::link::ft::DeviceNotFound;
        t = devs[size_t(i)].serial;
        return 0;
    }
    int Open(int i) override
    {
        calls.push_back("open " + std::to_string(i));
        if (i < 0 || i >= int(devs.size())) return vmx::link::ft::DeviceNotFound;
        if (!devs[size_t(i)].openable) return vmx::link::ft::DeviceNotOpened;
        open = i;
        return 0;
    }
    int Close() override
    {
        calls.push_back("close");
        open = -1;
        return vmx::link::ft::IoError; // errors of the close must be swallowed
    }
    bool IsOpen() const override { return open >= 0; }
    int SetBaudRate(int b) override { return Call("baud " + std::to_string(b)); }
    int SetDataCharacteristics(int b, int s, int p) override
    {
        return Call("data " + std::to_string(b) + " " + std::to_string(s) + " " + std::to_string(p));
    }
    int SetFlowControl(int f, quint8 x, quint8 y) override
    {
        return Call("flow " + std::to_string(f) + " " + std::to_string(x) + " " + std::to_string(y));
    }
    int SetTimeouts(int r, int w) override
    {
        return Call("timeouts " + std::to_string(r) + " " + std::to_string(w));
    }
    int Purge(int m) override
    {
        input.clear();
        return Call("purge " + std::to_string(m));
    }
    int Write(const quint8* d, int n, int& w) override
    {
        written.append(reinterpret_cast<const char*>(d), n);
        w = n;
        return Call("write");
    }
    int Read(quint8* d, int n, int& g) override
    {
        g = std::min<int>(n, int(input.size()));
        memcpy(d, input.constData(), size_t(g));
        input.remove(0, g);
        return Call("read");
    }
    int QueueStatus(int& c) override
    {
        c = open >= 0 ? int(input.size()) : 0;
        return open >= 0 ? failing : vmx::link::ft::InvalidHandle;
    }
    int SetRts(bool on) override { return Call(on ? "rts 1" : "rts 0"); }
    int SetDtr(bool on) override { return Call(on ? "dtr 1" : "dtr 0"); }
    int SetBitMode(quint8 m, quint8 mode) override
    {
        return Call("bitmode " + std::to_string(m) + " " + std::to_string(mode));
    }

private:
    int Call(std::string what)
    {
        calls.push_back(std::move(what));
        return failing;
    }
};

} // namespace linktest
