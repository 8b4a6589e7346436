// vmxctl commands of the settings and identification pages: ident, params read|write|verify|
// standard, cal read|write|clear, sn set|clear.
#include "boot/BootLoader.h"
#include "boot/MemoryImages.h"
#include "cli/CliContext.h"
#include "sensor/DeviceCommands.h"
#include "sensor/Identification.h"
#include "sensor/ParameterEditor.h"
#include "sensor/ParameterFile.h"
#include "sensor/ParameterTransfer.h"

#include <memory>

namespace vmx::cli {

namespace {

using namespace vmx::sensor;

// Everything the sensor pages work with, built as the program builds it at start: the
// standard set (with PARFILE on top) in the edit block.
struct SensorPagesRig {
    boot::MemoryImages images;
    ParameterBlocks blocks;
    std::unique_ptr<boot::BootLoader> boot;
    std::unique_ptr<DeviceCommands> dc;
    std::unique_ptr<ParameterTransfer> transfer;
    std::unique_ptr<ParameterFile> file;
    std::unique_ptr<Identification> ident;

    explicit SensorPagesRig(CliContext& ctx, bool withLink = true)
    {
        app::Session& s = ctx.session();
        file = std::make_unique<ParameterFile>(s, blocks);
        // Each refresh of the window's pages normalises the edit block; here the same happens
        // at the same points, so the block written is the one the window would write.
        const auto refresh = [this, &s] {
            NormaliseEditBlock(blocks.edit, s.sensor.Flags,
                               int(std::min<quint32>(s.sensor.ParLen, kParBlockSize)));
        };
        file->refreshPages = refresh;
        // The built-in set; a PARFILE of MONITOR.INI is taken as the program does at start.
        file->LoadStandardParameters(s.config.ParFile);
        refresh();
        if (!withLink) return;
        boot = std::make_unique<boot::BootLoader>(s, ctx.link(), images);
        dc = std::make_unique<DeviceCommands>(s, ctx.link());
        dc->SetPowerAuto(s.config.PowerAuto);
        transfer = std::make_unique<ParameterTransfer>(s, ctx.link(), *boot, blocks, dc.get());
        transfer->refreshPages = refresh;
        ident = std::make_unique<Identification>(s, ctx.link(), *boot, *transfer, *dc);
        settle = [&ctx, this] { SettleAfterRestart(ctx.session(), ctx.link(), *boot); };
    }
    ~SensorPagesRig() {
        if (settle) settle();
    }
    std::function<void()> settle;
};

int Result(bool ok) { return ok ? kExitOk : kExitFailed; }

int Ident(CliContext& ctx) {
    if (!ctx.StartLink()) return ctx.startExit;
    SensorPagesRig r(ctx);
    if (!r.ident->ALGetIdentExecute()) return kExitFailed;
    const auto& st = ctx.session().sensor;
    // The sensor's own numbers when it answered them, else the type it was matched to.
    const bool answered = st.Firmware != 110;
    const IdentRecord& a = r.ident->lastIdent();
    auto line = [](const char* k, qint64 v) { CliContext::Out(QStringLiteral("%1=%2").arg(QLatin1String(k)).arg(v)); };
    line("identcode", answered ? a.IdentCode : st.IdentCode);
    line("type", answered ? a.Type : st.Type);
    line("subtype", answered ? a.SubType : st.SubType);
    line("firmware", answered ? a.Firmware : st.Firmware);
    line("hardware", answered ? a.Hardware : st.Hardware);
    line("year", answered ? a.Year : st.Year);
    line("serial", answered ? a.SerialNo : st.SerialNo);
    line("model", answered ? a.ModelIndex : st.ModelIndex);
    line("row", st.Row);
    return kExitOk;
}

struct ParamArgs {
    std::string op;
    std::string file;
    std::string out;
    bool withCal = false;
};

int Params(CliContext& ctx, const ParamArgs& a)
{
    const QString file = QString::fromStdString(a.file);
    const QString out = QString::fromStdString(a.out);
    if ((a.op == "read" || a.op == "standard") && out.isEmpty()) {
        CliContext::Err(QStringLiteral("params %1: --out FILE is required").arg(QString::fromStdString(a.op)));
        return kExitUsage;
    }
    if ((a.op == "write" || a.op == "verify") && file.isEmpty()) {
        CliContext::Err(QStringLiteral("params %1: FILE is required").arg(QString::fromStdString(a.op)));
        return kExitUsage;
    }
    if (a.op == "standard") {
        if (!ctx.StartSession()) return kExitUsage;
        SensorPagesRig r(ctx, false);
        r.file->withCalibration = a.withCal;
        return Result(r.file->BTSSaveParameterFileClick(out));
    }
    if (!ctx.StartLink()) return ctx.startExit;
    SensorPagesRig r(ctx);
    r.file->withCalibration = a.withCal;
    if (a.op == "read") {
        if (!r.transfer->ALReadParameterExecute()) return kExitFailed;
        return Result(r.file->BTSSaveParameterFileClick(out));
    }
    // write and verify take the edit block from the file, as "Öffnen" does.
    if (!r.file->BTSOpenParameterFileClick(file)) return kExitFailed;
    if (a.op == "write") return Result(r.transfer->ALWriteParameterExecute());
    return Result(r.transfer->ALVerifyParameterExecute());
}

struct CalArgs {
    std::string op;
    std::string file;
};

int Cal(CliContext& ctx, const CalArgs& a)
{
    if (a.op == "write" && a.file.empty()) {
        CliContext::Err(QStringLiteral("cal write: FILE (a parameter file with the calibration record) is required"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    SensorPagesRig r(ctx);
    auto& st = ctx.session().sensor;
    if (a.op == "read") {
        if (!r.ident->BTIdGetCalClick()) return kExitFailed;
        QString hex;
        for (quint8 b : st.Cal) hex += QString::asprintf("%2.2X ", b);
        CliContext::Out(hex.trimmed());
        return kExitOk;
    }
    if (a.op == "clear") return Result(r.ident->BTIdClearCalClick());
    // The calibration block comes out of a parameter file, as with the export option on.
    r.file->withCalibration = true;
    const auto edit = r.blocks.edit;
    if (!r.file->BTSOpenParameterFileClick(QString::fromStdString(a.file))) return kExitFailed;
    r.blocks.edit = edit;
    if (!r.file->HasCalibrationBlock()) {
        ctx.session().PanelText(1, ctx.session().Msg(kMsgWriteCal) + ctx.session().Msg(280));
        return kExitFailed;
    }
    return Result(r.ident->BTIdSetCalClick());
}

struct SnArgs {
    std::string op;
    std::string year, serial, model;
};

int Sn(CliContext& ctx, const SnArgs& a)
{
    if (a.op == "set" && (a.year.empty() || a.serial.empty() || a.model.empty())) {
        CliContext::Err(QStringLiteral("sn set: --year Y --serial N --model M are required"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    SensorPagesRig r(ctx);
    if (a.op == "clear") return Result(r.ident->BTIdClearSNClick());
    auto& st = ctx.session().sensor;
    // The same rules as the page's edits: the year 11..99, the serial number 0..65535, the
    // model an index of the type's list.
    st.Year = Identification::ParseYear(QString::fromStdString(a.year), st.Year);
    st.SerialNo = Identification::ParseSerial(QString::fromStdString(a.serial), st.SerialNo);
    bool ok = false;
    const int model = QString::fromStdString(a.model).toInt(&ok);
    if (!ok || model < 0 || model >= r.ident->ModelList().size()) {
        CliContext::Err(QStringLiteral("sn set: --model must be an index of the type's model list (0..%1)")
                            .arg(std::max<qsizetype>(0, r.ident->ModelList().size() - 1)));
        return kExitUsage;
    }
    st.ModelIndex = quint8(model);
    return Result(r.ident->ALSetIdSNExecute());
}

} // namespace

void AddParamCommands(CLI::App& app, CliContext& ctx)
{
    auto* ident = app.add_subcommand("ident", "Identification of the connected sensor");
    ident->callback([&ctx] { ctx.run = [&ctx] { return Ident(ctx); }; });

    static ParamArgs pa;
    auto* params = app.add_subcommand("params", "Parameter block transfer, through a parameter file");
    params->add_option("OP", pa.op, "read|write|verify|standard")
        ->required()
        ->check(CLI::IsMember({"read", "write", "verify", "standard"}));
    params->add_option("FILE", pa.file, "Parameter file to write or verify");
    params->add_option("--out", pa.out, "Parameter file to save (read, standard)");
    params->add_flag("--with-cal", pa.withCal, "Calibration record in the file (types with a calibration block)");
    params->callback([&ctx] { ctx.run = [&ctx] { return Params(ctx, pa); }; });

    static CalArgs ca;
    auto* cal = app.add_subcommand("cal", "Calibration block: read, write from a parameter file, clear");
    cal->add_option("OP", ca.op, "read|write|clear")->required()->check(CLI::IsMember({"read", "write", "clear"}));
    cal->add_option("FILE", ca.file, "Parameter file with the calibration record (write)");
    cal->callback([&ctx] { ctx.run = [&ctx] { return Cal(ctx, ca); }; });

    static SnArgs sa;
    auto* sn = app.add_subcommand("sn", "Production data: model, year and serial number");
    sn->add_option("OP", sa.op, "set|clear")->required()->check(CLI::IsMember({"set", "clear"}));
    sn->add_option("--year", sa.year, "Year of manufacture minus 2000 (11..99)");
    sn->add_option("--serial", sa.serial, "Serial number (0..65535)");
    sn->add_option("--model", sa.model, "Model index of the type's list");
    sn->callback([&ctx] { ctx.run = [&ctx] { return Sn(ctx, sa); }; });
}

} // namespace vmx::cli
