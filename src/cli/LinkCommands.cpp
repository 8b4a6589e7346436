// vmxctl commands that talk to a device through the link: ports, ping, restart, probe, send.
#include "app/TextHelpers.h"
#include "cli/CliContext.h"
#include "link/FrameProtocol.h"
#include "link/Link.h"

namespace vmx::cli {

namespace {

using namespace vmx::proto;

QString Hex(const quint8* bytes, int n)
{
    QStringList parts;
    for (int i = 0; i < n; ++i)
        parts << QString::asprintf("%02X", bytes[i]);
    return parts.join(QLatin1Char(' '));
}

int Ports(CliContext& ctx)
{
    if (!ctx.StartLink()) return ctx.startExit;
    for (const link::LinkMenuEntry& e : ctx.link().MenuEntries())
        CliContext::Out((e.checked ? QStringLiteral("*") : QString()) + e.caption + QLatin1Char('\t') +
                        e.description + QLatin1Char('\t') + e.serial);
    return kExitOk;
}

bool OldGeneration(const app::Session& s)
{
    return s.sensor.Firmware == 100 || s.sensor.Firmware == 110;
}

int Ping(CliContext& ctx)
{
    if (!ctx.StartLink()) return ctx.startExit;
    app::Session& s = ctx.session();
    link::FrameProtocol& fp = ctx.link().protocol();
    // V1.10 speaks the unframed set; V1.00 pings framed like the later generations.
    const bool ok = s.sensor.Firmware == 110
                        ? fp.SendReceiveCommandV100(cmd::V100Ping, 1, 1, s.Msg(260))
                        : fp.SendReceiveCommand(kTargetSensor, cmd::Ping, 5, 1, s.Msg(260));
    return ok ? kExitOk : kExitFailed;
}

int Restart(CliContext& ctx)
{
    if (!ctx.StartLink()) return ctx.startExit;
    app::Session& s = ctx.session();
    link::Link& l = ctx.link();
    if (OldGeneration(s))
        return l.protocol().SendReceiveCommandV100(cmd::V100Restart, 1, 0, s.Msg(268)) ? kExitOk
                                                                                       : kExitFailed;
    // As the monitor page's QVR RESET: restart, give the sensor a second, drop what it said.
    const bool ok = l.protocol().SendReceiveCommand(kTargetSensor, cmd::Restart, 5, 0, s.Msg(268));
    if (ok) {
        s.Wait(1000);
        l.Purge_In();
    }
    return ok ? kExitOk : kExitFailed;
}

int Probe(CliContext& ctx)
{
    if (!ctx.StartLink()) return ctx.startExit;
    link::FrameProtocol& fp = ctx.link().protocol();
    const bool ok =
        fp.CheckSerialProtocol(ctx.station().settings.measIntervalMs, [&fp] { return fp.PollMeasValues(); });
    static const char* const names[] = {"none", "short", "long", "polled"};
    const int state = fp.measProtocol();
    CliContext::Out(QString::fromLatin1(state >= 0 && state <= 3 ? names[state] : "none"));
    return ok ? kExitOk : kExitFailed;
}

struct SendArgs {
    std::string code;
    std::vector<std::string> payload;
    int answer = 0;
    int target = kTargetSensor;
};

bool ParseByte(const std::string& text, quint32& v)
{
    return app::ParseHex(QString::fromStdString(text), v) && v <= 0xFF;
}

int Send(CliContext& ctx, const SendArgs& a)
{
    quint32 code = 0;
    if (!ParseByte(a.code, code)) {
        CliContext::Err(
            QStringLiteral("not a command code (hex byte): %1").arg(QString::fromStdString(a.code)));
        return kExitUsage;
    }
    QByteArray payload;
    for (const std::string& p : a.payload) {
        // A token is one byte ("2", "0x02") or several written together ("0203A1").
        QString t = QString::fromStdString(p);
        if (t.startsWith(QLatin1String("0x"), Qt::CaseInsensitive)) t = t.mid(2);
        if (t.startsWith(QLatin1Char('$'))) t = t.mid(1);
        if (t.size() <= 2) {
            quint32 v = 0;
            if (!ParseByte(t.toStdString(), v)) {
                CliContext::Err(QStringLiteral("not a hex byte: %1").arg(QString::fromStdString(p)));
                return kExitUsage;
            }
            payload.append(char(v));
            continue;
        }
        const QByteArray bytes = QByteArray::fromHex(t.toLatin1());
        if (t.size() % 2 != 0 || bytes.size() != t.size() / 2) {
            CliContext::Err(QStringLiteral("not hex bytes: %1").arg(QString::fromStdString(p)));
            return kExitUsage;
        }
        payload.append(bytes);
    }
    const int L = int(payload.size()) + kMinFrameLength;
    if (L > kBufferSize || a.answer > kBufferSize) {
        CliContext::Err(QStringLiteral("frame or answer too long"));
        return kExitUsage;
    }
    if (!ctx.StartLink()) return ctx.startExit;
    app::Session& s = ctx.session();
    link::Link& l = ctx.link();
    for (int i = 0; i < payload.size(); ++i)
        l.Tx()[4 + i] = quint8(payload[i]);
    const int m = link::OperationMessage(a.target, quint8(code));
    const QString op = m >= 0 ? s.Msg(m) : QString::asprintf("Command %02X: ", code);
    const bool ok = l.protocol().SendReceiveCommand(a.target, quint8(code), L, a.answer, op);
    if (!ok) return kExitFailed;
    if (a.answer >= 2 || (a.answer == 1 && l.protocol().WithAnswer())) CliContext::Out(Hex(l.Rx(), a.answer));
    return kExitOk;
}

} // namespace

void AddLinkCommands(CLI::App& app, CliContext& ctx)
{
    auto* ports = app.add_subcommand("ports", "List the links as the Interface menu shows them (* = chosen)");
    ports->callback([&ctx] { ctx.run = [&ctx] { return Ports(ctx); }; });

    auto* ping = app.add_subcommand("ping", "Ping the sensor (command 0x29; unframed 0x10 for V1.10)");
    ping->callback([&ctx] { ctx.run = [&ctx] { return Ping(ctx); }; });

    auto* restart = app.add_subcommand("restart", "Restart the sensor (0x16; unframed 0xA0 for V1.00/V1.10)");
    restart->callback([&ctx] { ctx.run = [&ctx] { return Restart(ctx); }; });

    auto* probe = app.add_subcommand("probe", "Run the protocol probe: prints none, short, long or polled");
    probe->callback([&ctx] { ctx.run = [&ctx] { return Probe(ctx); }; });

    static SendArgs sendArgs;
    auto* send = app.add_subcommand("send", "One framed exchange; prints the answer bytes in hex");
    send->add_option("CODE", sendArgs.code, "Command code (hex)")->required();
    send->add_option("HEX", sendArgs.payload, "Payload bytes (hex)");
    send->add_option("--answer", sendArgs.answer, "Answer length A (0: none, 1: acknowledge)")
        ->required()
        ->check(CLI::Range(0, kBufferSize));
    send->add_option("--target", sendArgs.target, "1 = sensor, 33 = test module")
        ->check(CLI::IsMember({1, 33}));
    send->callback([&ctx] { ctx.run = [&ctx] { return Send(ctx, sendArgs); }; });
}

} // namespace vmx::cli
