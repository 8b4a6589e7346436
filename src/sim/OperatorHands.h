#pragma once
// The simulated operator's hands at the production station: what a step's prompt on the
// measuring page asks to be done to the sensor (take the tube out, put an empty or a filled
// one in, squeeze bubbles through it), done to the simulated sensor before "WEITER".
// The mapping is one table; the first row whose words all appear in the prompt acts.

#include <QString>

#include <functional>

#include <vector>

namespace vmx::sim {

class Sensor;

enum class Hands {
    NoTube,       // the tube taken out
    EmptyTube,    // an empty tube put in
    FilledTube,   // a filled tube put in
    SmallBubbles, // small bubbles squeezed through a filled tube, again and again
    LargeBubbles, // large bubbles (air) through a filled tube, again and again
};

struct HandsRule {
    // Words the prompt holds, all of them (case does not matter); unused ones are null.
    const char* words[2];
    Hands hands;
};

class OperatorHands {
public:
    explicit OperatorHands(Sensor& sensor) : sensor_(sensor) {}

    static const std::vector<HandsRule>& Rules();
    // The row for `prompt`, null when it asks nothing of the hands (failures never do).
    static const HandsRule* RuleFor(const QString& prompt);
    static QString Name(Hands hands);

    // Does what `prompt` asks at `nowUs`; true when the hands did something.
    bool Follow(const QString& prompt, qint64 nowUs);
    // What the hands did last (empty before anything).
    const QString& last() const { return last_; }
    // Told after the hands did something (the Simulator dock shows the tube again).
    std::function<void()> onActed;
    // The second controller of a unit of two channels: the same hands act on it.
    Sensor* second = nullptr;

private:
    Sensor& sensor_;
    QString last_;
};

} // namespace vmx::sim
