#pragma once
// The program's own texts for the operator of the test station and for the truthful status
// messages around the catalogue: what the catalogue and the production texts do not say
// (what to do after a failure, the verdict banner's frame, the step count). Kept apart from
// the catalogue, whose numbering and texts stay as they are.

#include <QString>

namespace vmx::lang {

enum class OperatorText {
    BannerSerial,     // "Seriennummer %1"
    BannerFailed,     // the heading of the failing steps
    BannerNoSerial,   // a unit without a serial number
    StepOf,           // "Schritt %1 von %2"
    HintPriorPrepare, // ZURÜCK when the step before prepares the measurement
    HintPrior,        // ZURÜCK otherwise
    HintNext,         // WEITER after a failure
    HintCancel,       // ABBRECHEN
    HintEntry,        // a refused entry of step 0
    JudgedLimits,     // "Grenzen %1" beside the judged live value
    VerifyMismatch,   // first differing parameter byte: offset, field, sensor, editor
    StartBootFirst,   // a memory command without a started boot loader
    SearchMissing,    // "Blasen suchen" with empty fields: the empty ones and the values taken
    Count
};

QString OperatorTextOf(OperatorText text, int language);

} // namespace vmx::lang
