// vmxctl commands of the boot loader: boot start|ping|ident|restart, mem read|write|erase|verify,
// download.
#include "app/TextHelpers.h"
#include "cli/CliContext.h"
#include "sensor/ParameterTransfer.h"

namespace vmx::cli {

namespace {

using namespace vmx::boot;

int Result(bool ok)
{
    return ok ? kExitOk : kExitFailed;
}

int Boot(CliContext& ctx, const std::string& op, bool module)
{
    if (module && op != "ping" && op != "restart") {
        CliContext::Err(QStringLiteral("boot: --module goes with ping and restart only"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    BootLoader& boot = ctx.station().bootLoader();
    // The test module's own loader: the sensor is not touched.
    if (module)
        return Result(op == "ping" ? boot.BootPing(kChannelModule) : boot.BootRestart(kChannelModule));
    SensorRun run(ctx);
    if (op == "ping") return Result(boot.BootPing());
    if (op == "restart") return Result(boot.BootRestart());
    if (op == "start") return Result(run.EnterBootLoader());
    // Each run starts afresh, so the loader is entered first (harmless when it already runs).
    if (!run.EnterBootLoader() || !boot.BootIdent()) return kExitFailed;
    CliContext::Out(boot.IdentLine().trimmed());
    return kExitOk;
}

struct MemArgs {
    std::string op;
    std::string kind = "code";
    std::string range;
    std::string file;
    bool module = false;
};

int KindOf(const std::string& name)
{
    if (name == "code") return KindCode;
    if (name == "sram") return KindSram;
    if (name == "xram") return KindXram;
    if (name == "eeprom") return KindEeprom;
    return -1;
}

bool ParseRange(const std::string& text, quint32& start, quint32& end)
{
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char('-'));
    return parts.size() == 2 && app::ParseHex(parts[0].trimmed(), start) &&
           app::ParseHex(parts[1].trimmed(), end);
}

int Mem(CliContext& ctx, const MemArgs& a)
{
    const int kind = KindOf(a.kind);
    quint32 start = 0, end = 0;
    if (kind < 0 || !ParseRange(a.range, start, end) || end > KindLimit(kind) || start > end) {
        CliContext::Err(QStringLiteral(
            "mem: --kind code|sram|xram|eeprom and --range A-B (hex, A <= B, inside the kind)"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    SensorRun run(ctx);
    station::Station& st = ctx.station();
    const int channel = a.module ? kChannelModule : kChannelSensor;
    const QString file = QString::fromStdString(a.file);
    // The file (HEX) is the source of a write or verify, and where a read is saved.
    if ((a.op == "write" || a.op == "verify") && !file.isEmpty()) {
        if (!st.hex().ImportHexFile(file, KindLimit(kind))) return kExitFailed;
        st.images().BufferToImage(kind);
    }
    // The module's loader always listens; the sensor's is entered first.
    if (!a.module && !run.EnterBootLoader()) return kExitFailed;
    bool ok = false;
    if (a.op == "read") {
        ok = st.ReadMemory(channel, kind, start, end);
        if (ok && !file.isEmpty()) {
            st.images().FillBuffer(0xFF);
            st.images().ImageToBuffer(kind, start, end);
            ok = st.hex().ExportHexData(file, start, end);
        }
    } else if (a.op == "write") {
        ok = st.WriteMemory(channel, kind, start, end);
    } else if (a.op == "erase") {
        ok = st.EraseMemory(channel, kind, start, end);
    } else {
        ok = st.VerifyMemory(channel, kind, start, end);
    }
    return Result(ok);
}

int DownloadFile(CliContext& ctx, const std::string& file)
{
    if (!ctx.StartLink()) return ctx.startExit;
    if (!ctx.OpenHistory()) return kExitFailed;
    SensorRun run(ctx);
    return Result(ctx.station().DownloadFirmware(QString::fromStdString(file)));
}

} // namespace

void AddBootCommands(CLI::App& app, CliContext& ctx)
{
    static std::string bootOp;
    auto* boot = app.add_subcommand("boot", "Boot-loader commands: start, ping, ident, restart");
    boot->add_option("OP", bootOp, "start|ping|ident|restart")
        ->required()
        ->check(CLI::IsMember({"start", "ping", "ident", "restart"}));
    static bool bootModule = false;
    boot->add_flag("--module", bootModule, "ping/restart the test module's own boot loader (channel 33)");
    boot->callback([&ctx] { ctx.run = [&ctx] { return Boot(ctx, bootOp, bootModule); }; });

    static MemArgs memArgs;
    auto* mem = app.add_subcommand("mem", "Memory transfers through the boot loader (hex addresses)");
    mem->add_option("OP", memArgs.op, "read|write|erase|verify")
        ->required()
        ->check(CLI::IsMember({"read", "write", "erase", "verify"}));
    mem->add_option("--kind", memArgs.kind, "code|sram|xram|eeprom")
        ->check(CLI::IsMember({"code", "sram", "xram", "eeprom"}));
    mem->add_option("--range", memArgs.range, "A-B, hexadecimal")->required();
    mem->add_option("--file", memArgs.file, "HEX file: saved after a read, source of a write or verify");
    mem->add_flag("--module", memArgs.module, "the test module's own memories (channel 33)");
    mem->callback([&ctx] { ctx.run = [&ctx] { return Mem(ctx, memArgs); }; });

    static std::string downloadFile;
    auto* download = app.add_subcommand("download", "Firmware download of a HEX file");
    download->add_option("FILE", downloadFile, "HEX file")->required();
    download->callback([&ctx] { ctx.run = [&ctx] { return DownloadFile(ctx, downloadFile); }; });
}

} // namespace vmx::cli
