#pragma once
// A front end that watches the station: counts what it is told, and hands the production
// test's steps and the link's byte-level operations to the test's own functions.

#include "station/Station.h"

#include <QString>

#include <functional>

namespace vmx::test {

struct StationWatch : station::StationView {
    int acquisitionChanges = 0; // START/STOP enabling told (every STOP tells it)
    int serialIfChanges = 0;    // the test module's serial-interface switch told
    std::function<void(int step, const QString& routine)> onStep;
    std::function<void(char op, int n)> onIo;

    void AcquisitionChanged() override { ++acquisitionChanges; }
    void LinkChanged(LinkField field) override
    {
        if (field == LinkField::SerialInterface) ++serialIfChanges;
    }
    void StepStarted(int step, const QString& routine) override
    {
        if (onStep) onStep(step, routine);
    }
    void LinkIo(char op, int n) override
    {
        if (onIo) onIo(op, n);
    }
};

} // namespace vmx::test
