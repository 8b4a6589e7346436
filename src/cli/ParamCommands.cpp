// vmxctl commands of the settings and identification pages: ident, params read|write|verify|
// standard, cal read|write|clear, sn set|clear.
#include "cli/CliContext.h"

namespace vmx::cli {

namespace {

using namespace vmx::sensor;

int Result(bool ok)
{
    return ok ? kExitOk : kExitFailed;
}

int Ident(CliContext& ctx)
{
    if (!ctx.StartLink()) return ctx.startExit;
    SensorRun run(ctx);
    station::Station& r = ctx.station();
    if (!r.Identify()) return kExitFailed;
    const auto& st = ctx.session().sensor;
    // The sensor's own numbers when it answered them, else the type it was matched to.
    const bool answered = st.Firmware != 110;
    const IdentRecord& a = r.identification().lastIdent();
    auto line = [](const char* k, qint64 v) {
        CliContext::Out(QStringLiteral("%1=%2").arg(QLatin1String(k)).arg(v));
    };
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
        CliContext::Err(
            QStringLiteral("params %1: --out FILE is required").arg(QString::fromStdString(a.op)));
        return kExitUsage;
    }
    if ((a.op == "write" || a.op == "verify") && file.isEmpty()) {
        CliContext::Err(QStringLiteral("params %1: FILE is required").arg(QString::fromStdString(a.op)));
        return kExitUsage;
    }
    if (a.op == "standard") {
        if (!ctx.StartStation()) return kExitUsage;
        return Result(ctx.station().SaveParameterFile(out, a.withCal));
    }
    if (!ctx.StartLink()) return ctx.startExit;
    SensorRun run(ctx);
    station::Station& r = ctx.station();
    if (a.op == "read") {
        if (!r.ReadParameters()) return kExitFailed;
        return Result(r.SaveParameterFile(out, a.withCal));
    }
    // write and verify take the edit block from the file, as "Öffnen" does.
    if (!r.OpenParameterFile(file, a.withCal)) return kExitFailed;
    if (a.op == "write") return ctx.OpenHistory() ? Result(r.WriteParameters()) : kExitFailed;
    return Result(r.VerifyParameters());
}

struct CalArgs {
    std::string op;
    std::string file;
};

int Cal(CliContext& ctx, const CalArgs& a)
{
    if (a.op == "write" && a.file.empty()) {
        CliContext::Err(
            QStringLiteral("cal write: FILE (a parameter file with the calibration record) is required"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    SensorRun run(ctx);
    station::Station& r = ctx.station();
    auto& st = ctx.session().sensor;
    if (a.op == "read") {
        if (!r.ReadCalibration()) return kExitFailed;
        QString hex;
        for (quint8 b : st.Cal)
            hex += QString::asprintf("%2.2X ", b);
        CliContext::Out(hex.trimmed());
        return kExitOk;
    }
    if (!ctx.OpenHistory()) return kExitFailed;
    if (a.op == "clear") return Result(r.ClearCalibration());
    // The calibration block comes out of a parameter file, as with the export option on.
    const auto edit = r.params().edit;
    if (!r.OpenParameterFile(QString::fromStdString(a.file), true)) return kExitFailed;
    r.params().edit = edit;
    if (!r.parameterFile().HasCalibrationBlock()) {
        ctx.session().PanelText(1, ctx.session().Msg(kMsgWriteCal) + ctx.session().Msg(kMsgError));
        return kExitFailed;
    }
    return Result(r.WriteCalibration());
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
    SensorRun run(ctx);
    station::Station& r = ctx.station();
    if (!ctx.OpenHistory()) return kExitFailed;
    if (a.op == "clear") return Result(r.ClearSerialNumber());
    auto& st = ctx.session().sensor;
    // The same rules as the page's edits: the year 11..99, the serial number 0..65535, the
    // model an index of the type's list.
    st.Year = Identification::ParseYear(QString::fromStdString(a.year), st.Year);
    st.SerialNo = Identification::ParseSerial(QString::fromStdString(a.serial), st.SerialNo);
    bool ok = false;
    const int model = QString::fromStdString(a.model).toInt(&ok);
    if (!ok || model < 0 || model >= r.identification().ModelList().size()) {
        CliContext::Err(QStringLiteral("sn set: --model must be an index of the type's model list (0..%1)")
                            .arg(std::max<qsizetype>(0, r.identification().ModelList().size() - 1)));
        return kExitUsage;
    }
    st.ModelIndex = quint8(model);
    return Result(r.SetSerialNumber());
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
    params->add_flag("--with-cal", pa.withCal,
                     "Calibration record in the file (types with a calibration block)");
    params->callback([&ctx] { ctx.run = [&ctx] { return Params(ctx, pa); }; });

    static CalArgs ca;
    auto* cal = app.add_subcommand("cal", "Calibration block: read, write from a parameter file, clear");
    cal->add_option("OP", ca.op, "read|write|clear")
        ->required()
        ->check(CLI::IsMember({"read", "write", "clear"}));
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
