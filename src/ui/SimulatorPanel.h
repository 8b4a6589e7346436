#pragma once
// The "Simulator" dock shown with --simulate: lets the user act on the simulated sensor the way
// a bench would (tube state, a bubble passing, cable pulled), so the chart visibly reacts; and
// lets the simulated operator's hands follow the production test's prompts.

#include <QDockWidget>

#include <functional>

class QCheckBox;
class QPushButton;
class QRadioButton;

namespace vmx::app {
class Clock;
}
namespace vmx::sim {
class Bench;
}

namespace vmx::ui {

class TSimulatorPanel : public QDockWidget {
    Q_OBJECT
public:
    // `bench` gives the bench to act on now (the open one, else the first), or null.
    TSimulatorPanel(std::function<sim::Bench*()> bench, app::Clock& clock, QWidget* parent);

    void SetTube(int tube); // 0 none, 1 empty, 2 filled
    void SendBubble();
    void SetPlugged(bool plugged);
    // "operator follows the prompts": told to whoever runs the production test.
    std::function<void(bool follows)> onOperatorFollows;
    void SetOperatorFollows(bool follows);
    // Reads the bench's state back into the controls (another bench may have been opened).
    void Refresh();
    // The dock's texts in the program's language (0 German, 1 English).
    void SetLanguage(int language);

private:
    std::function<sim::Bench*()> bench_;
    app::Clock& clock_;
    QRadioButton* tube_[3] = {nullptr, nullptr, nullptr};
    QCheckBox* plugged_ = nullptr;
    QCheckBox* follows_ = nullptr;
    QPushButton* bubble_ = nullptr;
};

} // namespace vmx::ui
