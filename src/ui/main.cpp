// vmx-monitor: the Monitor window.
#include "ui/MainForm.h"
#include "ui/MonitorOptions.h"

#include <QApplication>

#include <cstdio>

using namespace vmx::ui;

namespace {
std::vector<std::string> Args(int argc, char** argv)
{
    return std::vector<std::string>(argv + 1, argv + argc);
}
} // namespace

int main(int argc, char** argv)
{
    // Help, version and usage errors need no display; options the toolkit knows pass this round.
    MonitorOptions opts;
    OptionsOutcome pre = ParseMonitorOptions(Args(argc, argv), opts, true);
    if (pre.kind != OptionsOutcome::Run) {
        std::fputs(pre.text.c_str(), pre.kind == OptionsOutcome::UsageError ? stderr : stdout);
        return pre.exitCode;
    }
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Monitor "));
    // The toolkit has taken its own options; anything left must be ours.
    OptionsOutcome res = ParseMonitorOptions(Args(argc, argv), opts, false);
    if (res.kind != OptionsOutcome::Run) {
        std::fputs(res.text.c_str(), res.kind == OptionsOutcome::UsageError ? stderr : stdout);
        return res.exitCode;
    }
    TMainForm form(opts);
    form.show();
    return app.exec();
}
