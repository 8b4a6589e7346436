#include "ui/SimulatorPanel.h"

#include "app/Clock.h"
#include "sim/Bench.h"

#include <QButtonGroup>
#include <QCheckBox>
#include <QPushButton>
#include <QRadioButton>
#include <QVBoxLayout>

namespace vmx::ui {

namespace {
constexpr qint64 kBubbleUs = 300000; // long enough to show on the chart at every interval
}

TSimulatorPanel::TSimulatorPanel(std::function<sim::Bench*()> bench, app::Clock& clock, QWidget* parent)
    : QDockWidget(QStringLiteral("Simulator"), parent), bench_(std::move(bench)), clock_(clock)
{
    setObjectName(QStringLiteral("DockSimulator"));
    auto* body = new QWidget(this);
    auto* lay = new QVBoxLayout(body);
    auto* group = new QButtonGroup(body);
    const char* names[3] = {"RBSimTubeNone", "RBSimTubeEmpty", "RBSimTubeFilled"};
    const char* texts[3] = {"No tube", "Tube empty", "Tube filled"};
    for (int i = 0; i < 3; ++i) {
        tube_[i] = new QRadioButton(QLatin1String(texts[i]), body);
        tube_[i]->setObjectName(QLatin1String(names[i]));
        group->addButton(tube_[i], i);
        lay->addWidget(tube_[i]);
    }
    connect(group, &QButtonGroup::idClicked, this, &TSimulatorPanel::SetTube);
    bubble_ = new QPushButton(QStringLiteral("Bubble"), body);
    bubble_->setObjectName(QStringLiteral("BTSimBubble"));
    connect(bubble_, &QPushButton::clicked, this, &TSimulatorPanel::SendBubble);
    lay->addWidget(bubble_);
    plugged_ = new QCheckBox(QStringLiteral("Sensor plugged in"), body);
    plugged_->setObjectName(QStringLiteral("ChBSimPlugged"));
    connect(plugged_, &QCheckBox::clicked, this, &TSimulatorPanel::SetPlugged);
    lay->addWidget(plugged_);
    follows_ = new QCheckBox(QStringLiteral("operator follows the prompts"), body);
    follows_->setObjectName(QStringLiteral("ChBSimOperator"));
    connect(follows_, &QCheckBox::clicked, this, &TSimulatorPanel::SetOperatorFollows);
    lay->addWidget(follows_);
    lay->addStretch();
    setWidget(body);
    Refresh();
}

void TSimulatorPanel::SetLanguage(int language)
{
    const bool en = language == 1;
    const QString tube[3][2] = {{QStringLiteral("Kein Schlauch"), QStringLiteral("No tube")},
                                {QStringLiteral("Schlauch leer"), QStringLiteral("Tube empty")},
                                {QStringLiteral("Schlauch gefüllt"), QStringLiteral("Tube filled")}};
    for (int i = 0; i < 3; ++i)
        tube_[i]->setText(tube[i][en]);
    bubble_->setText(en ? QStringLiteral("Bubble") : QStringLiteral("Blase"));
    plugged_->setText(en ? QStringLiteral("Sensor plugged in") : QStringLiteral("Sensor angesteckt"));
    follows_->setText(en ? QStringLiteral("operator follows the prompts")
                         : QStringLiteral("Bediener folgt den Anweisungen"));
    setWindowTitle(QStringLiteral("Simulator"));
}

void TSimulatorPanel::SetTube(int tube)
{
    sim::Bench* b = bench_();
    if (!b || tube < 0 || tube > 2) return;
    b->sensor().SetTube(static_cast<sim::Tube>(tube), clock_.NowUs());
    Refresh();
}

void TSimulatorPanel::SendBubble()
{
    if (sim::Bench* b = bench_()) b->sensor().Bubble(clock_.NowUs(), kBubbleUs);
}

void TSimulatorPanel::SetPlugged(bool plugged)
{
    // A pulled cable: the sensor loses its supply and falls silent; plugged back in, it starts
    // as after power-on.
    if (sim::Bench* b = bench_()) b->sensor().SetPower(plugged, clock_.NowUs());
    Refresh();
}

void TSimulatorPanel::SetOperatorFollows(bool follows)
{
    follows_->setChecked(follows);
    // The tube the hands put in shows here as if clicked.
    if (sim::Bench* b = bench_()) {
        if (follows)
            b->hands().onActed = [this] { Refresh(); };
        else
            b->hands().onActed = nullptr;
    }
    if (onOperatorFollows) onOperatorFollows(follows);
}

void TSimulatorPanel::Refresh()
{
    sim::Bench* b = bench_();
    setEnabled(b != nullptr);
    if (!b) return;
    tube_[static_cast<int>(b->sensor().tube())]->setChecked(true);
    plugged_->setChecked(b->sensor().powered());
}

} // namespace vmx::ui
