#include "cli/CliContext.h"

#include "app/Folders.h"
#include "app/SensorTypes.h"
#include "app/TextHelpers.h"
#include "boot/BootLoader.h"
#include "history/HistoryUrl.h"

#include <QCoreApplication>
#include <QDir>
#include <QSysInfo>

#include <cstdio>
#include <unistd.h>

namespace vmx::cli {

void ConsoleHost::PanelText(int panel, const QString& text)
{
    if (panel == 0) lastPanel0 = text;
    if (panel == 1) lastPanel1 = text;
    // Panel 1 carries operation results; panel 0 (the link) is shown only in verbose listings.
    if (panel != 1 || opts_.quiet) return;
    // A status line replaces the bar's line; the next block draws the bar again below it.
    if (progressShown_) std::fputs("\r\033[K", stderr);
    CliContext::Err(text);
}

void ConsoleHost::ShowLComment(app::CommentColour, const QString& text)
{
    if (!opts_.quiet) CliContext::Err(commentPrefix ? commentPrefix() + text : text);
}

app::AskResult ConsoleHost::Ask(app::AskIcon, app::AskButtons buttons, const QString& text, const QString&)
{
    QString shown = text;
    shown.replace(QLatin1Char('\r'), QLatin1Char('\n'));
    CliContext::Err(shown);
    const bool yes = opts_.yes;
    switch (buttons) {
    case app::AskButtons::Ok:
        return app::AskResult::Ok;
    case app::AskButtons::OkCancel:
        return yes ? app::AskResult::Ok : app::AskResult::Cancel;
    case app::AskButtons::YesNo:
        return yes ? app::AskResult::Yes : app::AskResult::No;
    case app::AskButtons::YesNoCancel:
        return yes ? app::AskResult::Yes : app::AskResult::Cancel;
    }
    return app::AskResult::Cancel;
}

void ConsoleHost::Progress(qint64 done, qint64 total)
{
    if (opts_.quiet || !isatty(STDERR_FILENO)) return;
    if (total <= 0) {
        if (progressShown_) std::fputs("\n", stderr);
        progressShown_ = false;
        return;
    }
    const int pct = int(done * 100 / total);
    const int bars = pct / 5;
    std::fprintf(stderr, "\r[%-20.*s] %3d%%", bars, "####################", pct);
    std::fflush(stderr);
    progressShown_ = true;
}

app::Folders CliContext::Folders() const
{
    return app::DecideFolders(app::ReadFolderInputs(QString::fromStdString(opts.configDir)));
}

void CliContext::Out(const QString& line)
{
    const QByteArray b = line.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stdout);
    std::fputc('\n', stdout);
}

void CliContext::Err(const QString& line)
{
    const QByteArray b = line.toUtf8();
    std::fwrite(b.constData(), 1, size_t(b.size()), stderr);
    std::fputc('\n', stderr);
    std::fflush(stderr);
}

bool CliContext::SimulateVirtual() const
{
    if (!opts.simulate) return false;
    link::LinkOptions o;
    o.simulate = QString::fromStdString(*opts.simulate);
    return o.VirtualClock();
}

bool CliContext::StartSession()
{
    if (session_) return true;
    // --simulate=virtual,…: the in-process bench on the virtual clock, which jumps ahead
    // whenever the program waits, so a capture of minutes takes a moment.
    if (SimulateVirtual())
        clock_ = std::make_unique<app::VirtualClock>();
    else
        clock_ = std::make_unique<app::RealClock>();
    host_ = std::make_unique<ConsoleHost>(*clock_, opts);
    const app::Folders folders = Folders();
    QString folderError;
    // Not fatal: without its folder the program starts on its built-in settings, as with a
    // missing MONITOR.INI, and says why.
    if (!app::PrepareFolders(folders, folderError)) Err(folderError);
    session_ = std::make_unique<app::Session>(*host_, *clock_, folders);
    app::Session& s = *session_;
    s.CopyValidSensorType(0);
    s.setLanguage(0);
    s.ReadConfigFromFile();
    if (!opts.lang.empty()) s.setLanguage(opts.lang == "en" ? 1 : 0);
    int row = s.RowForCurrentType();
    if (!opts.type.empty()) {
        int key = -1;
        if (!app::ParseDecimal(QString::fromStdString(opts.type), key) || app::LastRowWithKey(key) < 0) {
            Err(QStringLiteral("unknown sensor type key: %1").arg(QString::fromStdString(opts.type)));
            return false;
        }
        row = app::LastRowWithKey(key);
    }
    s.CopyValidSensorType(row);
    return true;
}

bool CliContext::StartStation()
{
    if (station_) return true;
    if (!StartSession()) return false;
    link::LinkOptions o;
    const QString port = QString::fromStdString(opts.port);
    // A path is opened as a serial port; anything else is a name from the link menu.
    if (port.contains(QLatin1Char('/'))) o.extraPorts << port;
    if (opts.simulate) {
        // "virtual" picks the clock, not the simulator's profile.
        QStringList words = QString::fromStdString(*opts.simulate).split(QLatin1Char(','));
        words.removeAll(QStringLiteral("virtual"));
        o.simulate = words.join(QLatin1Char(','));
    }
    station_ = std::make_unique<station::Station>(*session_, o);
    station_->ApplyConfig(session_->config);
    station_->LoadStartParameters();
    return true;
}

QString CliContext::HistoryUrl() const
{
    if (!opts.db.empty()) return QString::fromStdString(opts.db);
    if (session_ && !session_->config.DatabaseUrl.isEmpty()) return session_->config.DatabaseUrl;
    return history::DefaultUrl(DataDir());
}

QString CliContext::StationName() const
{
    if (!opts.station.empty()) return QString::fromStdString(opts.station);
    if (session_ && !session_->config.StationName.isEmpty()) return session_->config.StationName;
    return QSysInfo::machineHostName();
}

bool CliContext::OpenHistory()
{
    if (!StartStation()) return false;
    if (station_->history().store()) return true;
    QString why;
    if (station_->OpenHistory(HistoryUrl(), DataDir(), StationName(), &why)) return true;
    Err(QStringLiteral("history: %1").arg(why));
    return false;
}

bool CliContext::StartLink()
{
    if (linkStarted_) return true;
    const QString port = QString::fromStdString(opts.port);
    if (!StartStation()) return false;
    link::Link& lnk = station_->link();
    if (!lnk.profileError().isEmpty()) {
        Err(lnk.profileError());
        return false;
    }
    link::FrameProtocol& fp = lnk.protocol();
    if (opts.ack) fp.SetWithAck(*opts.ack);
    if (opts.answerCheck) fp.SetWithAnswer(*opts.answerCheck);
    if (opts.frameCrc) fp.SetWithFrameCrc(*opts.frameCrc);
    linkStarted_ = true;
    const bool open = station_->OpenLink(port);
    if (!port.isEmpty() && !open) {
        // Named by the user and not there: say so, rather than fail later at the first frame.
        QString text = host_->lastPanel0;
        if (text.isEmpty() || !text.contains(port)) text = session_->Msg(252) + QStringLiteral(": ") + port;
        Err(text);
        startExit = kExitFailed;
        return false;
    }
    if (!open && !opts.quiet && lnk.HasPort() && !host_->lastPanel0.isEmpty()) Err(host_->lastPanel0);
    return true;
}

void SettleAfterRestart(app::Session& session, link::Link& link, const boot::BootLoader& boot)
{
    if (boot.lastRestartUs < 0 || !link.IsOpen()) return;
    session.clock().SleepUntilUs(boot.lastRestartUs + 1000 * 1000);
    link.Purge_In();
}

} // namespace vmx::cli
