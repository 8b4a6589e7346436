// vmxctl commands of the test module and the programming through it: tm, c2, pic, tmfw.
#include "app/TextHelpers.h"
#include "cli/CliContext.h"
#include "sensor/ParameterEditor.h"

#include <set>

namespace vmx::cli {

namespace {

using namespace vmx::boot;
using namespace vmx::testmodule;

int Result(bool ok)
{
    return ok ? kExitOk : kExitFailed;
}

int Usage(const QString& text)
{
    CliContext::Err(text);
    return kExitUsage;
}

// Counts the step-done signals of the routines a command runs.
struct StepCount : StepSignal {
    int done = 0;
    void AutoAdvance() override { ++done; }
};

bool ParseRange(const std::string& text, quint32& start, quint32& end)
{
    const QStringList parts = QString::fromStdString(text).split(QLatin1Char('-'));
    return parts.size() == 2 && app::ParseHex(parts[0].trimmed(), start) &&
           app::ParseHex(parts[1].trimmed(), end) && start <= end && end <= kCodeLimit;
}

// A number as the page's edits and the allowed set take it: decimal, "$" or 0x hexadecimal.
bool ParseNumber(const std::string& text, int& value)
{
    qint64 v = 0;
    if (!sensor::ParseEditInteger(QString::fromStdString(text), v) || v < 0 || v > 0xFFFF) return false;
    value = int(v);
    return true;
}

// Each run of vmxctl starts afresh: the module is identified, so the rest state and the
// programming runs know which hardware they switch.
bool KnowModule(CliContext& ctx)
{
    TestModule& tm = ctx.station().testModule();
    if (!tm.TK33_GetIdent()) return false;
    if (tm.ident.ident == 99 && (tm.ident.type == HardwareTK33 || tm.ident.type == HardwareVO40))
        ctx.station().moduleRecord().testHardware = tm.ident.type;
    return true;
}

QString DataHex(const quint8* d, int n)
{
    QString s = QStringLiteral("data=");
    for (int i = 0; i < n; ++i)
        s += QString::asprintf(i ? " %2.2X" : "%2.2X", d[i]);
    return s;
}

struct TmArgs {
    std::vector<std::string> args;
    bool green = false, red = false;
    int waitMs = 100;
    std::string frontEnd = "1", allowed = "0x40";
};

int Tm(CliContext& ctx, const TmArgs& a)
{
    const std::string op = a.args.empty() ? std::string() : a.args[0];
    const std::string arg = a.args.size() > 1 ? a.args[1] : std::string();
    auto onOff = [&](const char* on, const char* off, bool& value) {
        if (arg == on) return value = true, true;
        if (arg == off) return value = false, true;
        return false;
    };
    bool state = false;
    int frontEnd = 0, allowed = 0;
    if ((op == "power" && !onOff("on", "off", state)) || (op == "od" && !onOff("high", "low", state)) ||
        (op == "vprog" && !onOff("on", "off", state)))
        return Usage(QStringLiteral("tm: power on|off, od high|low, vprog on|off"));
    if (op == "check" && (!ParseNumber(a.frontEnd, frontEnd) || !ParseNumber(a.allowed, allowed)))
        return Usage(QStringLiteral("tm check: --frontend N and --allowed MASK are numbers"));
    if (a.waitMs < 0) return Usage(QStringLiteral("tm: --wait MS is not negative"));
    if (!ctx.StartLink()) return ctx.startExit;
    station::Station& st = ctx.station();
    TestModule& tm = st.testModule();
    link::Link& lnk = st.link();
    if (op == "ident") {
        if (!tm.TK33_GetIdent()) return kExitFailed;
        const ModuleIdent& id = tm.ident;
        CliContext::Out(QStringLiteral("ident=%1").arg(id.ident));
        CliContext::Out(QStringLiteral("type=%1").arg(id.type));
        CliContext::Out(QStringLiteral("subtype=%1").arg(id.subType));
        CliContext::Out(QStringLiteral("tag=%1").arg(id.tag));
        CliContext::Out(QStringLiteral("firmware=%1").arg(id.version));
        CliContext::Out(QStringLiteral("model=%1").arg(id.model));
        return kExitOk;
    }
    if (op == "ping") return Result(tm.Ping());
    if (op == "reset") return Result(KnowModule(ctx) && tm.ResetSwitches());
    if (op == "power") return Result(tm.SwitchPowerQVR(state));
    if (op == "od") return Result(tm.SwitchODDT(state));
    if (op == "vprog") return Result(tm.SwitchPICProg(state));
    if (op == "led") {
        tm.ledGreen = a.green ? 1 : 0;
        tm.ledRed = a.red ? 1 : 0;
        return Result(tm.SetLeds());
    }
    if (op == "outputs" || op == "qvr02") {
        const bool outputs = op == "outputs";
        if (!(outputs ? tm.QVR06Meas(true) : tm.QVR02Meas(true))) return kExitFailed;
        ctx.session().Wait(a.waitMs);
        if (!(outputs ? tm.QVR06Meas(false) : tm.QVR02Meas(false))) return kExitFailed;
        const int n = !outputs ? 2 : (tm.ident.type == HardwareVO40 ? 4 : 3);
        CliContext::Out(ctx.console().lastPanel1);
        CliContext::Out(DataHex(lnk.Rx() + 4, n));
        return kExitOk;
    }
    // check
    StepCount steps;
    tm.steps = &steps;
    tm.CheckTK33Ident(frontEnd, allowed);
    tm.steps = nullptr;
    CliContext::Out(QStringLiteral("kind=%1").arg(st.moduleRecord().testHardware));
    return Result(steps.done > 0);
}

struct C2Args {
    std::string op;
    std::string range;
    std::string file;
    std::string source;
    bool erase = false;
};

int C2(CliContext& ctx, const C2Args& a)
{
    quint32 start = 0, end = 0, source = 0;
    const bool ranged = a.op != "init" && a.op != "reset" && a.op != "erase-all";
    if (ranged && !ParseRange(a.range, start, end))
        return Usage(QStringLiteral("c2: --range A-B (hex, A <= B, at most FFFF)"));
    const bool fromModule = !a.source.empty();
    if (fromModule && !app::ParseHex(QString::fromStdString(a.source), source))
        return Usage(QStringLiteral("c2: --source S is a hexadecimal address"));
    if ((a.op == "read" || a.op == "verify") && a.file.empty())
        return Usage(QStringLiteral("c2 %1: --file F.hex").arg(QString::fromStdString(a.op)));
    if (a.op == "write" && a.file.empty() == !fromModule)
        return Usage(QStringLiteral("c2 write: either --file F.hex or --source S"));
    // A programming run ends with the read-back of the whole range against the firmware file,
    // also when the bytes come from the module's flash (--source).
    if (a.op == "program" && a.file.empty())
        return Usage(
            QStringLiteral("c2 program: --file F.hex (with --source S: the firmware the module holds)"));
    if (!ctx.StartLink()) return ctx.startExit;
    station::Station& st = ctx.station();
    C2Programmer& c2 = st.c2();
    const QString file = QString::fromStdString(a.file);
    const int ch = kChannelModule;
    if (a.op == "init") return Result(c2.Init());
    if (a.op == "reset") return Result(c2.ResetTarget());
    if (a.op == "erase-all") return Result(c2.EraseAll());
    if (a.op == "erase")
        return Result(c2.C2_PageErase(ch, start, QStringLiteral("Lösche Flash-Page: "), end));
    // The file is the source of a write or verify and is where a read is saved.
    if ((a.op == "write" || a.op == "verify" || a.op == "program") && !file.isEmpty()) {
        if (!st.hex().ImportHexFile(file, kCodeLimit)) return kExitFailed;
        st.images().BufferToImage(KindCode);
    }
    if (a.op == "program") {
        if (!KnowModule(ctx) || !ctx.OpenHistory()) return kExitFailed;
        ModuleRecord& r = st.moduleRecord();
        if (a.erase) {
            c2.SiLabDeviceErase(QStringLiteral("SiLab: Löschen: "));
            if (r.siLabResult != 1) return kExitFailed;
        }
        if (fromModule)
            c2.SiLabProgrammingF(start, end, QStringLiteral("SiLab: "), source);
        else
            c2.SiLabProgrammingX(start, end, QStringLiteral("SiLab: "));
        const bool ok = r.siLabResult == 1;
        return Result(st.RecordProgramming(history::ServiceKind::C2Programming, ok, file,
                                           QString::asprintf("%04X-%04X", start, end)) &&
                      ok);
    }
    // The single transfers need the target halted (init) and leave it so.
    if (!c2.Init()) return kExitFailed;
    if (a.op == "write") {
        if (fromModule)
            return Result(c2.C2_BlockWriteF(ch, start, QStringLiteral("Schreibe Flash: "), source, end));
        return Result(c2.C2_BlockWriteX(ch, start, QStringLiteral("Schreibe Flash: "), end));
    }
    if (a.op == "verify")
        return Result(c2.C2_Verify(ch, start, QStringLiteral("Vergleiche Flash: "),
                                   QStringLiteral("Lese Flash: "), end));
    if (!c2.C2_BlockRead(ch, start, QStringLiteral("Lese Flash: "), end)) return kExitFailed;
    st.images().FillBuffer(0xFF);
    st.images().ImageToBuffer(KindCode, start, end);
    return Result(st.hex().ExportHexData(file, start, end));
}

struct PicArgs {
    std::vector<std::string> args;
    bool withOsc = false;
    std::string config, osccal;
};

int Pic(CliContext& ctx, const PicArgs& a)
{
    const std::string op = a.args.empty() ? std::string() : a.args[0];
    if (op == "program" && a.args.size() != 2) return Usage(QStringLiteral("pic program F.hex"));
    if (op != "program" && a.args.size() != 1)
        return Usage(QStringLiteral("pic read|erase|write|program F.hex"));
    if (op == "write" && (a.config.empty() || a.osccal.empty()))
        return Usage(QStringLiteral("pic write: --config C --osccal O"));
    if (!ctx.StartLink()) return ctx.startExit;
    station::Station& st = ctx.station();
    PicProgrammer& pic = st.pic();
    pic.writeOsc = a.withOsc;
    if (op == "read") {
        if (!pic.ReadButton()) return kExitFailed;
        CliContext::Out(QStringLiteral("config=") + pic.configEdit);
        CliContext::Out(QStringLiteral("osccal=") + pic.oscEdit);
        return kExitOk;
    }
    if (op == "erase") return Result(pic.EraseButton());
    if (op == "write") {
        // As the page's edits take them; a value the edits refuse is refused here too.
        pic.configEdit = QString::fromStdString(a.config);
        pic.oscEdit = QString::fromStdString(a.osccal);
        return Result(pic.WriteButton());
    }
    if (!KnowModule(ctx) || !ctx.OpenHistory()) return kExitFailed;
    if (!st.moduleFirmware().ImportFirmware(QString::fromStdString(a.args[1]),
                                            QStringLiteral("Import PIC: ")))
        return kExitFailed;
    pic.PICProgramming(QStringLiteral("PIC: "));
    const bool ok = st.moduleRecord().picResult == 1;
    return Result(st.RecordProgramming(history::ServiceKind::PicProgramming, ok,
                                       QString::fromStdString(a.args[1]), QString()) &&
                  ok);
}

struct TmfwArgs {
    std::string op, file;
    std::string dest = "200", range = "800-1BFF", check = "400-6FF";
};

int Tmfw(CliContext& ctx, const TmfwArgs& a)
{
    quint32 dest = 0, start = 0, end = 0, checkStart = 0, checkEnd = 0;
    if (!app::ParseHex(QString::fromStdString(a.dest), dest) || !ParseRange(a.range, start, end) ||
        !ParseRange(a.check, checkStart, checkEnd))
        return Usage(QStringLiteral("tmfw: --dest A, --range A-B and --check A-B are hexadecimal"));
    if (!ctx.StartLink()) return ctx.startExit;
    station::Station& st = ctx.station();
    if (!st.moduleFirmware().ImportFirmware(QString::fromStdString(a.file), QStringLiteral("Import FW: ")))
        return kExitFailed;
    if (a.op == "transfer") return Result(st.moduleFirmware().ProgCodeTK33(dest, start, end));
    return Result(st.moduleFirmware().ProgCodeTK33Check(dest, start, checkEnd, checkStart, end));
}

} // namespace

void AddModuleCommands(CLI::App& app, CliContext& ctx)
{
    static TmArgs tm;
    auto* t = app.add_subcommand(
        "tm", "Test module: ident, ping, reset, power, od, led, vprog, outputs, qvr02, check");
    t->add_option("OP", tm.args,
                  "ident|ping|reset|power on|off|od high|low|led|vprog on|off|outputs|qvr02|check")
        ->required()
        ->expected(1, 2);
    t->add_flag("--green", tm.green, "led: the green LED on");
    t->add_flag("--red", tm.red, "led: the red LED on");
    t->add_option("--wait", tm.waitMs, "outputs, qvr02: milliseconds between start and stop");
    t->add_option("--frontend", tm.frontEnd, "check: the front end asked for (0 QVR02.10, 1 QVR05/06)");
    t->add_option("--allowed", tm.allowed,
                  "check: allowed set (0x04 005, 0x08 007, 0x20 COM port, 0x40 any)");
    t->callback([&ctx] {
        static const std::set<std::string> ops{"ident", "ping",  "reset",   "power", "od",
                                               "led",   "vprog", "outputs", "qvr02", "check"};
        if (!ops.count(tm.args[0])) throw CLI::ValidationError("OP", tm.args[0] + " is not a tm command");
        ctx.run = [&ctx] { return Tm(ctx, tm); };
    });

    static C2Args c2;
    auto* c = app.add_subcommand("c2", "C2 programming of the sensor's controller through the test module");
    c->add_option("OP", c2.op, "init|reset|erase-all|erase|write|read|verify|program")
        ->required()
        ->check(CLI::IsMember({"init", "reset", "erase-all", "erase", "write", "read", "verify", "program"}));
    c->add_option("--range", c2.range, "A-B, hexadecimal");
    c->add_option("--file", c2.file, "HEX file: source of write/verify/program, saved after read");
    c->add_option("--source", c2.source, "the module's flash address of an \"F\" write (hexadecimal)");
    c->add_flag("--erase", c2.erase, "program: the whole-flash erase run first");
    c->callback([&ctx] { ctx.run = [&ctx] { return C2(ctx, c2); }; });

    static PicArgs pic;
    auto* p = app.add_subcommand("pic", "PIC programming through the test module");
    p->add_option("OP", pic.args, "read|erase|write|program F.hex")->required()->expected(1, 2);
    p->add_flag("--with-osccal", pic.withOsc, "erase/write the OSCCAL backup too");
    p->add_option("--config", pic.config, "write: CONFIG (decimal, $ or 0x hex)");
    p->add_option("--osccal", pic.osccal, "write: OSCCAL (decimal, $ or 0x hex)");
    p->callback([&ctx] {
        if (pic.args[0] != "read" && pic.args[0] != "erase" && pic.args[0] != "write" &&
            pic.args[0] != "program")
            throw CLI::ValidationError("OP", pic.args[0] + " is not a pic command");
        ctx.run = [&ctx] { return Pic(ctx, pic); };
    });

    static TmfwArgs fw;
    auto* f = app.add_subcommand("tmfw", "The sensor firmware in the test module's flash: transfer, check");
    f->add_option("OP", fw.op, "transfer|check")->required()->check(CLI::IsMember({"transfer", "check"}));
    f->add_option("FILE", fw.file, "HEX file")->required();
    f->add_option("--dest", fw.dest, "destination in the module's flash (hex, default 200)");
    f->add_option("--range", fw.range, "source range in the file (hex, default 800-1BFF)");
    f->add_option("--check", fw.check, "check: the range compared (hex, default 400-6FF)");
    f->callback([&ctx] { ctx.run = [&ctx] { return Tmfw(ctx, fw); }; });
}

} // namespace vmx::cli
