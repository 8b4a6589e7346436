#include "charts/ChartApplication.h"

#include <QApplication>

#include <cstring>

namespace vmx::charts {

bool WantsCharts(int argc, char** argv)
{
    for (int i = 1; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "history") == 0)
            for (int j = i + 1; j < argc; ++j)
                if (std::strcmp(argv[j], "chart") == 0) return true;
    return false;
}

std::unique_ptr<QCoreApplication> MakeApplication(int& argc, char** argv, bool gui)
{
    if (!gui) return std::make_unique<QCoreApplication>(argc, argv);
    qputenv("QT_QPA_PLATFORM", "offscreen");
    return std::make_unique<QApplication>(argc, argv);
}

} // namespace vmx::charts
