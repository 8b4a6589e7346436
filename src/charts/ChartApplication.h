#pragma once
// Qt Charts draws on widgets, so `vmxctl history chart` needs a GUI application where every
// other command runs on a core one. It is made offscreen: no display is needed.

#include <QCoreApplication>

#include <memory>

namespace vmx::charts {

// Whether the command line asks for a chart ("history" and then "chart").
bool WantsCharts(int argc, char** argv);
// An offscreen GUI application when `gui`, else a core application.
std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, bool gui);

} // namespace vmx::charts
