// vmxctl commands of the boot loader: boot start|ping|ident|restart, mem read|write|erase|verify,
// download.
#include "app/TextHelpers.h"
#include "boot/BootLoader.h"
#include "boot/Download.h"
#include "boot/HexImage.h"
#include "boot/MemoryImages.h"
#include "cli/CliContext.h"
#include "sensor/ParameterTransfer.h"

#include <memory>

namespace vmx::cli {

namespace {

using namespace vmx::boot;

struct BootRig {
    MemoryImages images;
    sensor::ParameterBlocks blocks;
    std::unique_ptr<BootLoader> boot;
    std::unique_ptr<HexImage> hex;
    std::unique_ptr<sensor::ParameterTransfer> transfer;
    explicit BootRig(CliContext& ctx)
        : boot(std::make_unique<BootLoader>(ctx.session(), ctx.link(), images)),
          hex(std::make_unique<HexImage>(ctx.session(), images)),
          transfer(std::make_unique<sensor::ParameterTransfer>(ctx.session(), ctx.link(), *boot, blocks)),
          session(&ctx.session()), link(&ctx.link()) {}
    // Every run of the tool starts afresh: the loader is entered as the parameter transfer
    // enters it (start, wait, purge, ping), so a sensor that streams or is still restarting
    // does not answer the first command with its records.
    bool Enter() { return transfer->EnterBootLoader(); }
    // A sensor restarted by this run is given its restart before the tool ends, so the next
    // run finds it listening (and its first records gone).
    ~BootRig() { SettleAfterRestart(*session, *link, *boot); }
    app::Session* session;
    link::Link* link;
};

int Result(bool ok) { return ok ? kExitOk : kExitFailed; }

int Boot(CliContext& ctx, const std::string& op) {
    if (!ctx.StartLink()) return ctx.startExit;
    BootRig r(ctx);
    if (op == "ping") return Result(r.boot->BootPing());
    if (op == "restart") return Result(r.boot->BootRestart());
    if (op == "start") return Result(r.Enter());
    // Each run starts afresh, so the loader is entered first (harmless when it already runs).
    if (!r.Enter() || !r.boot->BootIdent()) return kExitFailed;
    CliContext::Out(r.boot->IdentLine().trimmed());
    return kExitOk;
}

struct MemArgs {
    std::string op;
    std::string kind = "code";
    std::string range;
    std::string file;
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
    return parts.size() == 2 && app::ParseHex(parts[0].trimmed(), start) && app::ParseHex(parts[1].trimmed(), end);
}

int Mem(CliContext& ctx, const MemArgs& a)
{
    const int kind = KindOf(a.kind);
    quint32 start = 0, end = 0;
    if (kind < 0 || !ParseRange(a.range, start, end) || end > KindLimit(kind) || start > end) {
        CliContext::Err(QStringLiteral("mem: --kind code|sram|xram|eeprom and --range A-B (hex, A <= B, inside the kind)"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    BootRig r(ctx);
    app::Session& s = ctx.session();
    const QString file = QString::fromStdString(a.file);
    // The file (HEX) is the source of a write or verify, and where a read is saved.
    if ((a.op == "write" || a.op == "verify") && !file.isEmpty()) {
        if (!r.hex->ImportHexFile(file, KindLimit(kind))) return kExitFailed;
        r.images.BufferToImage(kind);
    }
    if (!r.Enter()) return kExitFailed;
    const size_t k = size_t(kind);
    bool ok = false;
    if (a.op == "read") {
        ok = r.boot->ReadMemory(kChannelSensor, start, s.Msg(kMsgRead[k]), kind, end);
        if (ok && !file.isEmpty()) {
            r.images.FillBuffer(0xFF);
            r.images.ImageToBuffer(kind, start, end);
            ok = r.hex->ExportHexData(file, start, end);
        }
    } else if (a.op == "write") {
        ok = r.boot->WriteMemory(kChannelSensor, start, s.Msg(kMsgWrite[k]), kind, end);
    } else if (a.op == "erase") {
        if (kind == KindCode) {
            ok = r.boot->EraseMemory(kChannelSensor, start, s.Msg(kMsgErase[k]), kind, end);
        } else {
            // The RAMs and the EEPROM have no erase command: they are written with 0xFF.
            auto img = r.images.Image(kind);
            std::fill(img.begin() + start, img.begin() + end + 1, quint8(0xFF));
            ok = r.boot->WriteMemory(kChannelSensor, start, s.Msg(kMsgErase[k]), kind, end);
        }
    } else {
        ok = r.boot->VerifyMemory(kChannelSensor, start, s.Msg(kMsgVerify[k]), s.Msg(kMsgRead[k]), kind, end);
    }
    return Result(ok);
}

int DownloadFile(CliContext& ctx, const std::string& file) {
    if (!ctx.StartLink()) return ctx.startExit;
    BootRig r(ctx);
    Download d(ctx.session(), *r.boot, *r.hex);
    d.hexFile = QString::fromStdString(file);
    return Result(d.DownLoad());
}

} // namespace

void AddBootCommands(CLI::App& app, CliContext& ctx)
{
    static std::string bootOp;
    auto* boot = app.add_subcommand("boot", "Boot-loader commands: start, ping, ident, restart");
    boot->add_option("OP", bootOp, "start|ping|ident|restart")->required()->check(CLI::IsMember({"start", "ping", "ident", "restart"}));
    boot->callback([&ctx] { ctx.run = [&ctx] { return Boot(ctx, bootOp); }; });

    static MemArgs memArgs;
    auto* mem = app.add_subcommand("mem", "Memory transfers through the boot loader (hex addresses)");
    mem->add_option("OP", memArgs.op, "read|write|erase|verify")->required()->check(CLI::IsMember({"read", "write", "erase", "verify"}));
    mem->add_option("--kind", memArgs.kind, "code|sram|xram|eeprom")->check(CLI::IsMember({"code", "sram", "xram", "eeprom"}));
    mem->add_option("--range", memArgs.range, "A-B, hexadecimal")->required();
    mem->add_option("--file", memArgs.file, "HEX file: saved after a read, source of a write or verify");
    mem->callback([&ctx] { ctx.run = [&ctx] { return Mem(ctx, memArgs); }; });

    static std::string downloadFile;
    auto* download = app.add_subcommand("download", "Firmware download of a HEX file");
    download->add_option("FILE", downloadFile, "HEX file")->required();
    download->callback([&ctx] { ctx.run = [&ctx] { return DownloadFile(ctx, downloadFile); }; });
}

} // namespace vmx::cli
