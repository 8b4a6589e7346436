#include "sim/Profile.h"

#include <QStringList>

namespace vmx::sim {

ConverterSpec MakeConverter(ConverterKind kind, int number)
{
    ConverterSpec c;
    c.kind = kind;
    const QString suffix = number > 1 ? QStringLiteral("-%1").arg(number) : QString();
    switch (kind) {
    case ConverterKind::LineAdapter:
        c.serial = QStringLiteral("VMXS9007") + suffix;
        c.description = QStringLiteral("VMX Sim Line Adapter 007");
        break;
    case ConverterKind::DataConverter:
        c.serial = QStringLiteral("VMXS9005") + suffix;
        c.description = QStringLiteral("VMX Sim Data Converter 005");
        break;
    case ConverterKind::TestModule:
        c.serial = QStringLiteral("VMXS9002") + suffix;
        c.description = QStringLiteral("VMX Sim Test Module TK33");
        break;
    case ConverterKind::Serial:
        c.serial.clear();
        c.description = QStringLiteral("VMX Sim serial line");
        break;
    }
    return c;
}

namespace {

ConverterSpec Vo40(int number)
{
    ConverterSpec c = MakeConverter(ConverterKind::TestModule, number);
    c.serial = QStringLiteral("VMXS9010") + (number > 1 ? QStringLiteral("-%1").arg(number) : QString());
    c.description = QStringLiteral("VMX Sim Test Module VO40");
    c.module.type = 40;
    c.module.subType = 2;
    return c;
}

bool Int(const QString& v, int& out)
{
    bool ok = false;
    const int n = v.toInt(&ok);
    if (ok) out = n;
    return ok;
}

} // namespace

bool ApplySensorWord(const QString& word, SensorProfile& s, QString& error)
{
    const int eq = int(word.indexOf(QLatin1Char('=')));
    if (eq < 0) return false;
    const QString k = word.left(eq).trimmed().toLower();
    const QString v = word.mid(eq + 1).trimmed().toLower();
    auto bad = [&] {
        error = QStringLiteral("bad value in simulation profile: %1").arg(word);
        return false;
    };
    if (k == QLatin1String("fault")) {
        // Faults of the sensor, aimed with after=N: mute, unplug, drop[:N], truncate[:N],
        // corrupt[:N], delay:MS.
        const QStringList parts = v.split(QLatin1Char(':'));
        int n = 1;
        if (parts.size() > 2 || (parts.size() == 2 && (!Int(parts[1], n) || n < 0))) return bad();
        const QString f = parts[0];
        if (f == QLatin1String("mute") && parts.size() == 1)
            s.faults.mute = true;
        else if (f == QLatin1String("unplug") && parts.size() == 1)
            s.faults.unplug = true;
        else if (f == QLatin1String("drop"))
            s.faults.dropAnswers = n;
        else if (f == QLatin1String("truncate"))
            s.faults.truncateAnswers = n;
        else if (f == QLatin1String("corrupt"))
            s.faults.corruptAnswers = n;
        else if (f == QLatin1String("delay") && parts.size() == 2)
            s.faults.delayUs = qint64(n) * 1000;
        else
            return bad();
        return true;
    }
    if (k == QLatin1String("spread") || k == QLatin1String("bad")) {
        bool ok = false;
        const double x = v.toDouble(&ok);
        if (!ok || !(x >= 0.0) || x > (k == QLatin1String("bad") ? 100.0 : 255.0)) return bad();
        (k == QLatin1String("bad") ? s.badPercent : s.spread) = x;
        return true;
    }
    if (k == QLatin1String("seed")) {
        bool ok = false;
        const uint seed = v.toUInt(&ok);
        if (!ok) return bad();
        s.seed = seed;
        return true;
    }
    if (k == QLatin1String("after")) {
        if (!Int(v, s.faults.afterAnswers) || s.faults.afterAnswers < 0) return bad();
        return true;
    }
    if (k == QLatin1String("key")) {
        bool ok = false;
        const qint64 key = v.toLongLong(&ok);
        if (!ok || !s.SetKey(key)) return bad();
        return true;
    }
    if (k == QLatin1String("stream")) {
        if (v == QLatin1String("long"))
            s.mode = 2;
        else if (v == QLatin1String("short"))
            s.mode = 1;
        else if (v == QLatin1String("none") || v == QLatin1String("polled"))
            s.mode = 3;
        else
            return bad();
        return true;
    }
    if (k == QLatin1String("tube")) {
        if (v == QLatin1String("filled"))
            s.tube = Tube::Filled;
        else if (v == QLatin1String("empty"))
            s.tube = Tube::Empty;
        else if (v == QLatin1String("none"))
            s.tube = Tube::None;
        else
            return bad();
        return true;
    }
    if (k == QLatin1String("unit")) {
        // A unit on the production station: fresh from the line, with its production data
        // blank and its bare transducers measurable without a tube; and, on request, faulty.
        s.model = 0xFF;
        s.year = 0xFF;
        s.serialNo = 0xFFFF;
        s.noTubeError = false;
        if (v == QLatin1String("good"))
            ;
        else if (v == QLatin1String("bad-amplitude"))
            s.amplitudeLoss = 120;
        else if (v == QLatin1String("stuck-output"))
            s.stuckOutput = 0x02;
        else if (v == QLatin1String("wrong-firmware"))
            s.versionSkew = 1;
        else if (v == QLatin1String("no-answer"))
            s.faults.mute = true;
        else
            return bad();
        return true;
    }
    if (k == QLatin1String("notube")) {
        if (v == QLatin1String("error"))
            s.noTubeError = true;
        else if (v == QLatin1String("quiet"))
            s.noTubeError = false;
        else
            return bad();
        return true;
    }
    if (k == QLatin1String("if") && (v == QLatin1String("any") || v == QLatin1String("two"))) {
        s.serialIf = -1;
        s.twoChannels = v == QLatin1String("two");
        return true;
    }
    if (k == QLatin1String("power")) {
        if (v == QLatin1String("on"))
            s.powered = true;
        else if (v == QLatin1String("off"))
            s.powered = false;
        else
            return bad();
        return true;
    }
    int* field = nullptr;
    if (k == QLatin1String("ident"))
        field = &s.ident;
    else if (k == QLatin1String("fw"))
        field = &s.firmware;
    else if (k == QLatin1String("serial"))
        field = &s.serialNo;
    else if (k == QLatin1String("year"))
        field = &s.year;
    else if (k == QLatin1String("hw"))
        field = &s.hardware;
    else if (k == QLatin1String("model"))
        field = &s.model;
    else if (k == QLatin1String("mode"))
        field = &s.mode;
    else if (k == QLatin1String("if"))
        field = &s.serialIf;
    else if (k == QLatin1String("parlen"))
        field = &s.parLen;
    else if (k == QLatin1String("snoffset"))
        field = &s.snOffset;
    else if (k == QLatin1String("caloffset"))
        field = &s.calOffset;
    else if (k == QLatin1String("skew"))
        field = &s.readAddressSkew;
    if (!field) {
        error = QStringLiteral("unknown word in simulation profile: %1").arg(word);
        return false;
    }
    if (!Int(v, *field)) return bad();
    return true;
}

bool ParseProfile(const QString& profile, std::vector<ConverterSpec>& out, QString& error)
{
    out.clear();
    SensorProfile sensor;
    ModuleProfile module;
    bool tmsubSet = false, tmidSet = false, tmtypeSet = false;
    std::vector<ConverterSpec> convs;
    int counts[5] = {0, 0, 0, 0, 0};
    auto add = [&](int which) {
        const int n = ++counts[which];
        switch (which) {
        case 0:
            convs.push_back(MakeConverter(ConverterKind::LineAdapter, n));
            break;
        case 1:
            convs.push_back(MakeConverter(ConverterKind::DataConverter, n));
            break;
        case 2:
            convs.push_back(MakeConverter(ConverterKind::TestModule, n));
            break;
        case 3:
            convs.push_back(Vo40(n));
            break;
        default: {
            ConverterSpec c = MakeConverter(ConverterKind::LineAdapter, 1);
            c.serial = QStringLiteral("VMXS9007X") + (n > 1 ? QStringLiteral("-%1").arg(n) : QString());
            c.description = QStringLiteral("VMX Sim Line Adapter 007 (cannot be opened)");
            c.openable = false;
            convs.push_back(c);
        }
        }
    };
    QString stateDir;
    for (const QString& raw : profile.split(QLatin1Char(','), Qt::SkipEmptyParts)) {
        const QString w = raw.trimmed().toLower();
        if (w.isEmpty()) continue;
        // A folder name keeps its case.
        if (w.startsWith(QLatin1String("state="))) {
            stateDir = raw.trimmed().mid(6);
            if (stateDir.isEmpty()) {
                error = QStringLiteral("bad value in simulation profile: %1").arg(raw);
                return false;
            }
            continue;
        }
        if (w == QLatin1String("adapter") || w == QLatin1String("9007"))
            add(0);
        else if (w == QLatin1String("converter") || w == QLatin1String("9005"))
            add(1);
        else if (w == QLatin1String("tk33") || w == QLatin1String("9002"))
            add(2);
        else if (w == QLatin1String("vo40") || w == QLatin1String("9010"))
            add(3);
        else if (w == QLatin1String("broken"))
            add(4);
        else if (w == QLatin1String("station")) {
            // The production station for demonstrations and training: the test module with a
            // good unit of the line, its tube empty until the operator's hands put one in.
            add(2);
            ApplySensorWord(QStringLiteral("unit=good"), sensor, error);
            ApplySensorWord(QStringLiteral("tube=empty"), sensor, error);
        } else if (w == QLatin1String("all")) {
            add(0);
            add(1);
            add(2);
            add(3);
        } else if (w == QLatin1String("default")) {
            add(0);
        } else if (w == QLatin1String("blank")) {
            sensor.blank = true;
        } else if (w.startsWith(QLatin1String("tmfw=")) || w.startsWith(QLatin1String("tmsub=")) ||
                   w.startsWith(QLatin1String("tmident=")) || w.startsWith(QLatin1String("tmtype=")) ||
                   w.startsWith(QLatin1String("osccal="))) {
            // The test module's words: firmware number, front end or board, the PIC's OSCCAL.
            const QString key = w.section(QLatin1Char('='), 0, 0);
            int value = 0;
            bool ok = false;
            const QString v = w.section(QLatin1Char('='), 1);
            value = v.startsWith(QLatin1String("0x")) ? v.mid(2).toInt(&ok, 16) : v.toInt(&ok);
            if (!ok || value < 0 || value > 0xFFFF) {
                error = QStringLiteral("bad value in simulation profile: %1").arg(raw);
                return false;
            }
            if (key == QLatin1String("tmfw"))
                module.firmware = value;
            else if (key == QLatin1String("tmident"))
                module.ident = value & 0xFF, tmidSet = true;
            else if (key == QLatin1String("tmtype"))
                module.type = value & 0xFF, tmtypeSet = true;
            else if (key == QLatin1String("tmsub"))
                module.subType = value, tmsubSet = true;
            else
                module.picOscCal = value & 0xFFF;
        } else if (w.startsWith(QLatin1String("tmfault="))) {
            // A failure of the test module: mute, drop, corrupt, delay:MS.
            const QStringList parts = w.mid(8).split(QLatin1Char(':'));
            int ms = 0;
            const QString f = parts[0];
            if (f == QLatin1String("mute") && parts.size() == 1)
                module.fault.kind = ModuleFault::Kind::Mute;
            else if (f == QLatin1String("drop") && parts.size() == 1)
                module.fault.kind = ModuleFault::Kind::Drop;
            else if (f == QLatin1String("corrupt") && parts.size() == 1)
                module.fault.kind = ModuleFault::Kind::Corrupt;
            else if (f == QLatin1String("delay") && parts.size() == 2 && Int(parts[1], ms) && ms > 0)
                module.fault.kind = ModuleFault::Kind::Delay, module.fault.delayUs = qint64(ms) * 1000;
            else {
                error = QStringLiteral("bad value in simulation profile: %1").arg(raw);
                return false;
            }
        } else if (w.startsWith(QLatin1String("tmafter="))) {
            // The module frame the fault strikes (1: the first).
            if (!Int(w.mid(8), module.fault.afterFrame) || module.fault.afterFrame < 1) {
                error = QStringLiteral("bad value in simulation profile: %1").arg(raw);
                return false;
            }
        } else if (w == QLatin1String("virtual")) {
            // The clock the bench runs on is the front end's choice (see IsVirtualProfile).
        } else if (!ApplySensorWord(w, sensor, error)) {
            if (error.isEmpty()) error = QStringLiteral("unknown word in simulation profile: %1").arg(raw);
            return false;
        }
    }
    bool anyOpenable = false;
    for (const ConverterSpec& c : convs)
        anyOpenable |= c.openable;
    if (!anyOpenable) convs.insert(convs.begin(), MakeConverter(ConverterKind::LineAdapter, 1));
    for (ConverterSpec& c : convs) {
        c.sensor = sensor;
        // Each bench of several keeps its own memories.
        if (!stateDir.isEmpty())
            c.stateDir = convs.size() == 1 ? stateDir : stateDir + QLatin1Char('/') + c.serial;
        const int type = c.module.type, sub = c.module.subType;
        c.module.firmware = module.firmware;
        c.module.picOscCal = module.picOscCal;
        c.module.fault = module.fault;
        c.module.type = tmtypeSet ? module.type : type;
        c.module.subType = tmsubSet ? module.subType : sub;
        if (tmidSet) c.module.ident = module.ident;
    }
    out = std::move(convs);
    return true;
}

bool IsVirtualProfile(const QString& profile)
{
    for (const QString& w : profile.split(QLatin1Char(','), Qt::SkipEmptyParts))
        if (w.trimmed().compare(QLatin1String("virtual"), Qt::CaseInsensitive) == 0) return true;
    return false;
}

} // namespace vmx::sim
