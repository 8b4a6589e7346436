// Writes the seeds of the frame and stream targets: what the simulated sensor sends, in each
// of its delivery modes and as the answer of a ping, behind the option bytes each target reads
// first. The file targets are seeded with files vmxctl writes (fuzz/make-seeds).
#include "link/Checksums.h"
#include "proto/Protocol.h"
#include "sim/Bench.h"
#include "sim/Profile.h"

#include <QDir>
#include <QFile>

#include <cstdio>
#include <vector>

using namespace vmx;

namespace {

constexpr int kRow = 8; // 20 / 5 / 28 / 143

bool Save(const QString& path, const QByteArray& bytes)
{
    QFile f(path);
    return f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size();
}

std::unique_ptr<sim::Bench> MakeBench(const char* profile)
{
    std::vector<sim::ConverterSpec> specs;
    QString error;
    if (!sim::ParseProfile(QString::fromLatin1(profile), specs, error) || specs.empty()) return nullptr;
    auto bench = std::make_unique<sim::Bench>(specs.front());
    bench->Opened(0);
    return bench;
}

// What the bench has sent in its first `us` microseconds.
QByteArray Listen(sim::Bench& b, qint64 us)
{
    QByteArray out(4096, 0);
    const int n = b.Read(reinterpret_cast<quint8*>(out.data()), int(out.size()), us);
    out.resize(n);
    return out;
}

// One framed request with no payload, and what came back within `us`.
QByteArray Exchange(sim::Bench& b, quint8 command, qint64 us)
{
    quint8 frame[proto::kMinFrameLength] = {quint8(proto::kFrameStart + proto::kAddress), 0,
                                            proto::kMinFrameLength, command, 0};
    frame[proto::kMinFrameLength - 1] = link::FrameChecksum(frame);
    b.Write(frame, proto::kMinFrameLength, us);
    return Listen(b, us + 200000);
}

} // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fputs("usage: fuzz_seeds DIR\n", stderr);
        return 2;
    }
    const QDir dir(QString::fromLocal8Bit(argv[1]));
    dir.mkpath(QStringLiteral("stream"));
    dir.mkpath(QStringLiteral("frame"));
    bool ok = true;
    // Stream target: options (delivery mode in bits 0-1, frame checksum bit 2), type row, bytes.
    const struct {
        const char* profile;
        quint8 mode;
        const char* name;
    } streams[] = {{"key=5028143,stream=long", 2, "long"}, {"key=5028143,stream=short", 1, "short"}};
    for (const auto& s : streams) {
        auto b = MakeBench(s.profile);
        if (!b) return 1;
        for (quint8 crc : {quint8(0), quint8(4)}) {
            QByteArray seed;
            seed += char(s.mode | crc);
            seed += char(kRow);
            seed += Listen(*b, 300000);
            ok &= Save(dir.filePath(QStringLiteral("stream/%1-%2.bin").arg(QLatin1String(s.name)).arg(crc)),
                       seed);
        }
    }
    auto polled = MakeBench("key=5028143,stream=polled");
    if (!polled) return 1;
    QByteArray seed;
    seed += char(3);
    seed += char(kRow);
    for (int i = 0; i < 5; ++i)
        seed += Exchange(*polled, proto::cmd::MeasData, qint64(i) * 500000);
    ok &= Save(dir.filePath(QStringLiteral("stream/polled.bin")), seed);

    // Frame target: options, command, frame length, answer length, type row, answer bytes.
    auto b = MakeBench("key=5028143,stream=polled");
    const struct {
        quint8 command;
        quint8 answer;
        const char* name;
    } frames[] = {{proto::cmd::Ping, 1, "ping"},
                  {proto::cmd::MeasData, 22, "meas"},
                  {proto::cmd::GetIdent, 0, "ident"}};
    qint64 t = 0;
    for (const auto& f : frames) {
        QByteArray s;
        s += char(0x03 | 0x04);
        s += char(f.command);
        s += char(proto::kMinFrameLength);
        QByteArray answer = Exchange(*b, f.command, t);
        t += 1000000;
        s += char(f.answer ? f.answer : answer.size());
        s += char(kRow);
        s += answer;
        ok &= Save(dir.filePath(QStringLiteral("frame/%1.bin").arg(QLatin1String(f.name))), s);
    }
    return ok ? 0 : 1;
}
