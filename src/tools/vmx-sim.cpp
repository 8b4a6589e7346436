// vmx-sim: the simulated bench served on a pseudo-terminal, so any serial program (vmxctl
// --port PATH, vmx-monitor, a terminal) can talk to it. The bytes leave at the line's real
// rate: 115200 baud 8N1, 11520 bytes per second.
#include "app/BuildInfo.h"
#include "app/Clock.h"
#include "sim/Bench.h"
#include "sim/Profile.h"

#include <CLI/CLI.hpp>

#include <QString>
#include <QStringList>

#include <algorithm>
#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <string>
#include <sys/stat.h>
#include <termios.h>
#include <time.h>
#include <unistd.h>
#include <vector>

namespace {

volatile std::sig_atomic_t g_stop = 0;
void OnSignal(int)
{
    g_stop = 1;
}

const char* const kDescription =
    "Serves the simulated bench on a pseudo-terminal and prints its path on the first line of\n"
    "standard output. Runs until SIGTERM or SIGINT.\n"
    "The line runs at its own rate: bytes the terminal does not take in time are lost and\n"
    "counted; on exit \"vmx-sim: overrun N bytes\" goes to standard error.";

bool ApplyFault(const QString& f, vmx::sim::Faults& faults)
{
    const QString k = f.section(QLatin1Char('='), 0, 0).trimmed().toLower();
    bool ok = true;
    const int v = f.contains(QLatin1Char('=')) ? f.section(QLatin1Char('='), 1).toInt(&ok) : 1;
    if (!ok || v < 0) return false;
    if (k == QLatin1String("mute"))
        faults.mute = true;
    else if (k == QLatin1String("unplug"))
        faults.unplug = true;
    else if (k == QLatin1String("after"))
        faults.afterAnswers = v;
    else if (k == QLatin1String("drop"))
        faults.dropAnswers = v;
    else if (k == QLatin1String("truncate"))
        faults.truncateAnswers = v;
    else if (k == QLatin1String("corrupt"))
        faults.corruptAnswers = v;
    else if (k == QLatin1String("delay"))
        faults.delayUs = qint64(v) * 1000;
    else if (k == QLatin1String("stream-drop"))
        faults.dropStreamEvery = v;
    else if (k == QLatin1String("stream-corrupt"))
        faults.corruptStreamEvery = v;
    else
        return false;
    return true;
}

int Fail(const QString& text)
{
    std::fprintf(stderr, "vmx-sim: %s\n", text.toLocal8Bit().constData());
    return 2;
}

} // namespace

int main(int argc, char** argv)
{
    std::string linkArg, profileArg, streamArg, routeArg = "sensor";
    std::vector<std::string> faultArgs;
    bool trace = false;
    CLI::App app(kDescription, "vmx-sim");
    app.add_option("--link", linkArg, "Also make PATH a symbolic link to the pseudo-terminal");
    app.add_option("--profile", profileArg,
                   "Sensor and bench as for --simulate: e.g. key=5028143, stream=short, tube=empty, fw=124; "
                   "tk33 or vo40 put a test module on the line (see --route)");
    app.add_option("--stream", streamArg, "Output mode after restart: long, short, none/polled (mode 3)");
    app.add_option(
           "--route", routeArg,
           "With a test module: the line goes to the sensor (default) or the module (a pseudo-terminal "
           "has no RTS line to switch it)")
        ->check(CLI::IsMember({"sensor", "module"}));
    app.add_option("--fault", faultArgs,
                   "mute | unplug | drop=N | truncate=N | corrupt=N | delay=MS | stream-drop=N | "
                   "stream-corrupt=N (applies to the device on the line); after=N: the answer faults strike "
                   "only after N answers; may be given more than once");
    app.add_flag("--trace", trace, "Print every frame in and out on standard error");
    app.set_version_flag("--version", vmx::app::VersionLine("vmx-sim"));
    try {
        app.parse(argc, argv);
    } catch (const CLI::CallForHelp&) {
        std::fputs(app.help().c_str(), stdout);
        return 0;
    } catch (const CLI::CallForVersion& v) {
        std::printf("%s\n", v.what());
        return 0;
    } catch (const CLI::ParseError& e) {
        std::fprintf(stderr, "vmx-sim: %s\n%s", e.what(), app.help().c_str());
        return 2;
    }
    const QString linkPath = QString::fromStdString(linkArg);
    const QString profile = QString::fromStdString(profileArg);
    const QString stream = QString::fromStdString(streamArg);
    const QString route = QString::fromStdString(routeArg);
    QStringList faults;
    for (const std::string& f : faultArgs)
        faults << QString::fromStdString(f);

    std::vector<vmx::sim::ConverterSpec> convs;
    QString error;
    if (!vmx::sim::ParseProfile(profile, convs, error)) return Fail(error);
    vmx::sim::ConverterSpec setup = convs.front();
    if (!stream.isEmpty() &&
        !vmx::sim::ApplySensorWord(QStringLiteral("stream=") + stream, setup.sensor, error))
        return Fail(error.isEmpty() ? QStringLiteral("bad --stream") : error);
    if (route != QLatin1String("sensor") && route != QLatin1String("module"))
        return Fail(QStringLiteral("bad --route"));
    const bool hasModule = setup.kind == vmx::sim::ConverterKind::TestModule;
    setup.routeToModule = hasModule && route == QLatin1String("module");
    if (route == QLatin1String("module") && !hasModule)
        return Fail(QStringLiteral("--route module needs tk33 or vo40 in the profile"));
    setup.kind = vmx::sim::ConverterKind::Serial;
    if (!setup.routeToModule && hasModule) {
        // Without RTS the module cannot be reached; the sensor is on the line directly.
        setup.routeToModule = false;
    }
    vmx::sim::Bench bench(setup);
    // --fault words add to what the profile's fault words set.
    vmx::sim::Faults parsed = setup.sensor.faults;
    for (const QString& f : faults)
        if (!ApplyFault(f, parsed)) return Fail(QStringLiteral("bad --fault: %1").arg(f));
    if (setup.routeToModule && bench.module())
        bench.module()->faults = parsed;
    else
        bench.sensor().faults = parsed;
    bench.trace().enabled = trace;
    if (trace)
        bench.trace().onEntry = [](const vmx::sim::TraceEntry& e) {
            std::fprintf(stderr, "%s\n", vmx::sim::FormatTrace(e).toLocal8Bit().constData());
            std::fflush(stderr);
        };

    const int master = posix_openpt(O_RDWR | O_NOCTTY);
    if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0)
        return Fail(QStringLiteral("no pseudo-terminal"));
    const char* slaveName = ptsname(master);
    if (!slaveName) return Fail(QStringLiteral("no pseudo-terminal name"));
    const std::string slavePath = slaveName;
    // Holding the slave open ourselves keeps the line up while clients come and go.
    const int slave = open(slavePath.c_str(), O_RDWR | O_NOCTTY);
    if (slave < 0) return Fail(QStringLiteral("cannot open %1").arg(QString::fromStdString(slavePath)));
    termios tio{};
    tcgetattr(slave, &tio);
    cfmakeraw(&tio);
    cfsetispeed(&tio, B115200);
    cfsetospeed(&tio, B115200);
    tcsetattr(slave, TCSANOW, &tio);
    fcntl(master, F_SETFL, fcntl(master, F_GETFL) | O_NONBLOCK);

    if (!linkPath.isEmpty()) {
        const QByteArray lp = linkPath.toLocal8Bit();
        struct stat st {};
        if (lstat(lp.constData(), &st) == 0) {
            if (!S_ISLNK(st.st_mode))
                return Fail(QStringLiteral("%1 exists and is no symbolic link").arg(linkPath));
            unlink(lp.constData());
        }
        if (symlink(slavePath.c_str(), lp.constData()) != 0)
            return Fail(QStringLiteral("cannot create %1").arg(linkPath));
    }

    std::signal(SIGTERM, OnSignal);
    std::signal(SIGINT, OnSignal);
    std::signal(SIGHUP, OnSignal);
    std::signal(SIGPIPE, SIG_IGN);
    std::printf("%s\n", slavePath.c_str());
    std::fflush(stdout);

    vmx::app::RealClock clock;
    quint8 in[4096];
    quint8 out[4096];
    while (!g_stop) {
        qint64 now = clock.NowUs();
        for (;;) {
            const ssize_t n = read(master, in, sizeof in);
            if (n <= 0) break;
            bench.Write(in, int(n), now);
        }
        now = clock.NowUs();
        // The line does not wait for its reader: what the terminal's input queue does not
        // take now is lost, as a UART's overrun loses it, and never arrives late.
        const int k = bench.Read(out, int(sizeof out), now);
        if (k > 0) {
            const ssize_t w = write(master, out, size_t(k));
            const qint64 taken = w > 0 ? qint64(w) : 0;
            if (taken < k) bench.NoteOverrun(k - taken, now);
        }
        const qint64 when = bench.WhenAvailable(bench.Available(now) + 1, now);
        const qint64 waitUs = when < 0 ? 20000 : std::clamp<qint64>(when - now, 500, 20000);
        pollfd pfd{master, POLLIN, 0};
        timespec ts{time_t(waitUs / 1000000), long(waitUs % 1000000) * 1000};
        ppoll(&pfd, 1, &ts, nullptr);
    }

    if (!linkPath.isEmpty()) unlink(linkPath.toLocal8Bit().constData());
    // Tests and benches read this: a run that kept up lost nothing.
    std::fprintf(stderr, "vmx-sim: overrun %lld bytes\n", static_cast<long long>(bench.overrunBytes()));
    close(slave);
    close(master);
    return 0;
}
