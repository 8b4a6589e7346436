// vmxctl commands that need no device: the message catalogue, the sensor types, MONITOR.INI.
#include "app/MonitorConfig.h"
#include "app/SensorTypes.h"
#include "cli/CliContext.h"
#include "lang/MessageTable.h"
#include "lang/Messages.h"

namespace vmx::cli {

namespace {

QString Escaped(const char* text)
{
    QString s = QString::fromUtf8(text);
    s.replace(QLatin1Char('\r'), QLatin1String("\\r"));
    return s;
}

QString Offset(quint32 v)
{
    return v == app::kNoOffset ? QStringLiteral("none") : QString::number(v);
}

int Messages()
{
    for (int i = 0; i < lang::kMessageCount; ++i)
        CliContext::Out(QStringLiteral("%1\t%2\t%3")
                            .arg(i)
                            .arg(Escaped(lang::kMessageTable[i].de), Escaped(lang::kMessageTable[i].en)));
    return kExitOk;
}

QString Hex4(quint32 v)
{
    return QString::asprintf("0x%04X", v);
}

int Types(CliContext& ctx, bool menu)
{
    if (!menu) {
        for (int i = 0; i < app::kSensorTypeCount; ++i) {
            const app::SensorTypeRow& r = app::kSensorTypes[i];
            QStringList f;
            f << QString::number(i) << QString::number(r.IdentCode) << QString::number(r.Type)
              << QString::number(r.SubType) << QString::number(r.Firmware) << QString::number(r.Key)
              << app::FlagsText(r.Flags) << Hex4(r.ParAddr) << QString::number(r.ParLen) << Hex4(r.BootAddr)
              << Offset(r.SNOffset) << Offset(r.CalOffset) << QString::fromUtf8(r.Model)
              << QString::fromUtf8(r.FirmwareText);
            CliContext::Out(f.join(QLatin1Char('\t')));
        }
        return kExitOk;
    }
    if (!ctx.StartSession()) return kExitUsage;
    app::Session& s = ctx.session();
    const int checkedKey = int(s.sensor.Key);
    // The checked item is the one TestValidVersion marks: the current type's key, if listed.
    for (const app::VersionMenuEntry& e : app::BuildVersionMenu(s.config.ShowVersion)) {
        if (e.Separator) {
            CliContext::Out(QStringLiteral("-"));
            continue;
        }
        CliContext::Out(e.Caption);
        for (const app::VersionMenuItem& it : e.Items)
            CliContext::Out((it.Key == checkedKey ? QStringLiteral("*  ") : QStringLiteral("  ")) +
                            it.Caption);
    }
    return kExitOk;
}

int Config(CliContext& ctx)
{
    if (!ctx.StartSession()) return kExitUsage;
    app::Session& s = ctx.session();
    for (const QString& line : app::ConfigListing(s.config, s.sensor.Row, s.sensor.Key))
        CliContext::Out(line);
    // Where this run keeps its files (an installed program: the user's folders).
    const app::Folders& f = s.folders();
    CliContext::Out(QStringLiteral("folders=%1").arg(QLatin1String(app::FolderModeName(f.mode))));
    CliContext::Out(QStringLiteral("configfolder=%1").arg(f.config));
    CliContext::Out(QStringLiteral("datafolder=%1").arg(f.data));
    CliContext::Out(QStringLiteral("sharedfolder=%1").arg(f.shipped));
    return kExitOk;
}

} // namespace

void AddShellCommands(CLI::App& app, CliContext& ctx)
{
    auto* messages = app.add_subcommand("messages", "Print the message catalogue (index, German, English)");
    messages->callback([&ctx] { ctx.run = [] { return Messages(); }; });

    auto* types = app.add_subcommand("types", "Print the sensor-type catalogue or the version menu");
    static bool menuFlag = false;
    types->add_flag("--menu", menuFlag, "Print the version menu as the window builds it");
    types->callback([&ctx] { ctx.run = [&ctx] { return Types(ctx, menuFlag); }; });

    auto* config = app.add_subcommand("config", "Read MONITOR.INI as the program does at start");
    config->callback([&ctx] { ctx.run = [&ctx] { return Config(ctx); }; });
}

} // namespace vmx::cli
