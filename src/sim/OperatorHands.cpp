#include "sim/OperatorHands.h"

#include "sim/Sensor.h"

namespace vmx::sim {

namespace {
// A bubble squeezed through every 300 ms, each one 150 ms long: whenever the program looks,
// one has just passed, and a switching output latches both levels within its 800 ms.
constexpr qint64 kBubblePeriodUs = 300000;
constexpr qint64 kBubbleWidthUs = 150000;
} // namespace

const std::vector<HandsRule>& OperatorHands::Rules()
{
    // Prompts of the measuring steps first; then the amplitude set-ups, named by the
    // definition's label in "Vorbereitung Ampl Test n: <label>".
    static const std::vector<HandsRule> rules = {
        {{"leeren Schlauch einlegen", nullptr}, Hands::EmptyTube},
        {{"gefüllten Schlauch einlegen", nullptr}, Hands::FilledTube},
        {{"Messung ohne Schlauch", nullptr}, Hands::NoTube},
        {{"Blasentest", "groß"}, Hands::LargeBubbles},
        {{"Blasentest", nullptr}, Hands::SmallBubbles},
        {{"Ampl Test", "Blasen"}, Hands::LargeBubbles},
        {{"Ampl Test", "ohne Schlauch"}, Hands::NoTube},
        {{"Ampl Test", "leer"}, Hands::EmptyTube},
        {{"Ampl Test", "gefüllt"}, Hands::FilledTube},
        {{"Ampl Test", "voll"}, Hands::FilledTube},
    };
    return rules;
}

const HandsRule* OperatorHands::RuleFor(const QString& prompt)
{
    if (prompt.contains(QLatin1String("FEHLER"))) return nullptr;
    for (const HandsRule& r : Rules()) {
        bool all = true;
        for (const char* w : r.words)
            if (w && !prompt.contains(QString::fromUtf8(w), Qt::CaseInsensitive)) all = false;
        if (all) return &r;
    }
    return nullptr;
}

QString OperatorHands::Name(Hands hands)
{
    switch (hands) {
    case Hands::NoTube:
        return QStringLiteral("tube out");
    case Hands::EmptyTube:
        return QStringLiteral("empty tube in");
    case Hands::FilledTube:
        return QStringLiteral("filled tube in");
    case Hands::SmallBubbles:
        return QStringLiteral("small bubbles");
    case Hands::LargeBubbles:
        return QStringLiteral("large bubbles");
    }
    return QString();
}

bool OperatorHands::Follow(const QString& prompt, qint64 nowUs)
{
    const HandsRule* r = RuleFor(prompt);
    if (!r) return false;
    // A unit of two channels holds one tube through both.
    for (Sensor* sensor : {&sensor_, second}) {
        if (!sensor) continue;
        switch (r->hands) {
        case Hands::NoTube:
            sensor->SetTube(Tube::None, nowUs);
            break;
        case Hands::EmptyTube:
            sensor->SetTube(Tube::Empty, nowUs);
            break;
        case Hands::FilledTube:
            sensor->SetTube(Tube::Filled, nowUs);
            break;
        case Hands::SmallBubbles:
        case Hands::LargeBubbles:
            sensor->SetTube(Tube::Filled, nowUs);
            sensor->BubbleTrain(nowUs, kBubblePeriodUs, kBubbleWidthUs,
                                r->hands == Hands::SmallBubbles ? Sensor::kSmallBubbleDrop
                                                                : Sensor::kLargeBubbleDrop);
            break;
        }
    }
    last_ = Name(r->hands);
    if (onActed) onActed();
    return true;
}

} // namespace vmx::sim
