#pragma once
// A PC end for a simulated bench: writes frames, lets time pass, collects what came back.

#include "proto/Protocol.h"
#include "sim/Bench.h"

#include <QByteArray>

#include <initializer_list>

namespace simtest {

inline QByteArray Frame(std::initializer_list<int> head)
{
    QByteArray f;
    for (int b : head)
        f.append(char(b));
    const int len = int(f.size()) + 1;
    f[1] = char(len >> 8);
    f[2] = char(len & 0xFF);
    f.append(char(0));
    f[len - 1] = char(vmx::proto::FrameCrc(reinterpret_cast<const quint8*>(f.constData()), len));
    return f;
}

// Frame without payload: F1 00 05 cmd crc.
inline QByteArray Cmd(int code)
{
    return Frame({0xF1, 0, 0, code});
}
inline QByteArray Cmd(int code, std::initializer_list<int> payload)
{
    QByteArray f;
    f.append(char(0xF1)).append(char(0)).append(char(0)).append(char(code));
    for (int b : payload)
        f.append(char(b));
    const int len = int(f.size()) + 1;
    f[1] = char(len >> 8);
    f[2] = char(len & 0xFF);
    f.append(char(0));
    f[len - 1] = char(vmx::proto::FrameCrc(reinterpret_cast<const quint8*>(f.constData()), len));
    return f;
}

inline QByteArray Hex(const char* text)
{
    return QByteArray::fromHex(text);
}

struct Pc {
    explicit Pc(vmx::sim::ConverterSpec setup) : bench(std::move(setup)) {}
    vmx::sim::Bench bench;
    qint64 now = 0;

    void Send(const QByteArray& f)
    {
        bench.Write(reinterpret_cast<const quint8*>(f.constData()), int(f.size()), now);
    }
    void Pass(qint64 us) { now += us; }
    QByteArray Take()
    {
        QByteArray r;
        quint8 buf[4096];
        for (;;) {
            const int n = bench.Read(buf, int(sizeof buf), now);
            if (n <= 0) break;
            r.append(reinterpret_cast<const char*>(buf), n);
        }
        return r;
    }
    // Purge, send, wait, take.
    QByteArray Exchange(const QByteArray& f, qint64 waitUs = 20000)
    {
        bench.PurgeRx(now);
        Send(f);
        Pass(waitUs);
        return Take();
    }
};

inline vmx::sim::ConverterSpec Polled(vmx::sim::ConverterKind kind = vmx::sim::ConverterKind::LineAdapter)
{
    vmx::sim::ConverterSpec c;
    c.kind = kind;
    c.sensor.mode = 3;
    return c;
}

} // namespace simtest
