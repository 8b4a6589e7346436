#include "prodtest/IdentitySteps.h"

#include "app/SensorTypes.h"
#include "app/Session.h"
#include "boot/BootLoader.h"
#include "boot/DownloadBackup.h"
#include "boot/MemoryImages.h"
#include "link/Link.h"
#include "monitor/Acquisition.h"
#include "prodtest/StepContext.h"
#include "prodtest/TestDefinitions.h"
#include "proto/Protocol.h"
#include "sensor/Identification.h"
#include "sensor/ParameterBlock.h"
#include "sensor/ParameterFile.h"
#include "sensor/ParameterTransfer.h"

#include <algorithm>

namespace vmx::prodtest {

namespace {
constexpr int kMsgPing = 260;
constexpr int kMsgRestart = 268;
constexpr int kMsgStartBoot = 272;
constexpr int kMsgReadCode = 273;
constexpr int kMsgEraseCode = 276;
constexpr int kMsgWriteCode = 277;
constexpr int kMsgVerifyCode = 278;
constexpr int kModeDialog = 3; // the polled mode answers one measurement on request
constexpr int kBootAttempts = 3;
} // namespace

IdentitySteps::IdentitySteps(StepContext& context, Parts parts) : c_(context), p_(parts) {}

QString IdentitySteps::ParFileTag(const QString& fileName)
{
    return fileName.left(fileName.size() - 4).right(3);
}

bool IdentitySteps::Import(const QString& name)
{
    return p_.parameterFile.ImportHexParameter(c_.ProgramFile(name));
}

void IdentitySteps::CheckFirmware(int n)
{
    if (n < 1 || n > 3 || c_.defs.items.TestVersion[size_t(n)].Low == -1) return c_.AutoAdvance();
    TMeasItem& v = c_.defs.items.TestVersion[size_t(n)];
    v.Result = 0;
    c_.Blue(QString::asprintf("Kontrolle Firmware %d: ...", n));
    c_.hooks.ConfigureOutput(kModeDialog);
    // A failed request leaves the sample as it was: it must not be taken for this one.
    c_.MarkMeasurementInvalid();
    monitor::MeasSample& s = p_.acquisition.Current();
    if (!p_.acquisition.GetMeasValues() || !s.Valid)
        return c_.Red(QString::asprintf("Kontrolle Firmware %d: FEHLER, keine Messung", n));
    c_.hooks.ShowMeasValue(s);
    v.Measured = s.Version;
    if (v.Measured != v.Low)
        return c_.Red(QString::asprintf("Kontrolle Firmware %d: FEHLER, falsche Version: %d", n, v.Measured));
    c_.Blue(QString::asprintf("Kontrolle Firmware %d: okay", n));
    v.Result = 1;
    c_.Wait(500);
    c_.AutoAdvance();
}

void IdentitySteps::SetParameters(int n)
{
    if (n < 1 || n > 4 || c_.defs.items.ParFile[size_t(n)].IniValue.isEmpty()) return c_.AutoAdvance();
    TMeasItem& f = c_.defs.items.ParFile[size_t(n)];
    c_.Blue(QString::asprintf("Parameter %d: ...", n));
    f.Result = 0;
    c_.Stop();
    const quint32 a = c_.session.sensor.ParAddr;
    if (!Import(f.IniValue) || a + sensor::kParExtraWordOffset + 2 > sensor::kParImageSize)
        return c_.Red(QString::asprintf("Parameter %d: FEHLER bei Import", n));
    const auto& image = p_.parameterFile.image();
    sensor::ParameterBlock& edit = p_.params.edit;
    std::copy_n(image.begin() + a, sensor::kParBlockSize, edit.bytes.begin());
    edit.word =
        quint16(image[a + sensor::kParExtraWordOffset] | (image[a + sensor::kParExtraWordOffset + 1] << 8));
    c_.hooks.RefreshPages();
    if (!p_.transfer.WriteParameters())
        return c_.Red(QString::asprintf("Parameter %d: FEHLER beim Programmieren", n));
    c_.Blue(QString::asprintf("Parameter %d: okay", n));
    c_.Wait(500);
    f.MeasuredText = ParFileTag(f.IniValue);
    f.Measured = edit.word;
    f.Result = 1;
    c_.AutoAdvance();
}

void IdentitySteps::SetIdentVar(int n)
{
    app::CurrentSensorType& st = c_.session.sensor;
    if (!st.Has(app::Cap::WriteSerial) || n < 1 || n > 2) return c_.AutoAdvance();
    MeasItems& it = c_.defs.items;
    c_.Blue(QStringLiteral("Setze Ident ..."));
    c_.Blue(QString::asprintf("Setze Ident %d: ...", n));
    TMeasItem& v = it.Variant[size_t(n)];
    v.Result = 0;
    v.Measured = ModelOfVariant(v.Low);
    v.MeasuredText = v.Measured == 0 ? QStringLiteral("??") : v.IniValue;
    // The sensor takes only what the operator's entries made of the unit: a serial number,
    // year or order the definition asks for and that was refused (or never taken) writes
    // nothing, so no refused value ends up in the sensor.
    auto refused = [](const TMeasItem& entry) { return !entry.IniValue.isEmpty() && entry.Result != 1; };
    const bool serialAsked = it.SerialNo.Low != -1 && it.SerialNo.High != -1;
    if ((serialAsked && it.SerialNo.Result != 1) || refused(it.ManuYear) || refused(it.BatchNo))
        return c_.Red(QString::asprintf("Setze Ident %d: FEHLER, Eingaben nicht übernommen", n));
    st.ModelIndex = quint8(v.Measured);
    st.Year = quint8(it.ManuYear.Measured);
    st.SerialNo = quint16(SensorSerial(it.SerialNo.Measured));
    c_.hooks.RefreshPages();
    c_.Stop();
    if (!p_.identification.SetIdSN())
        return c_.Red(QString::asprintf("Setze Ident %d: FEHLER beim Schreiben", n));
    c_.Blue(QString::asprintf("Setze Ident %d: okay", n));
    c_.Wait(500);
    v.Result = 1;
    c_.AutoAdvance();
}

void IdentitySteps::SetCalBlock()
{
    app::CurrentSensorType& st = c_.session.sensor;
    TMeasuringData& d = c_.defs.data;
    const QString& file = c_.defs.items.ParFile[1].IniValue;
    c_.Blue(QStringLiteral("Setze Cal ..."));
    if (!file.isEmpty() && st.CalOffset != app::kNoOffset) {
        d.CalResult = 0;
        c_.Stop();
        if (!Import(file) || st.CalOffset + 16 > sensor::kParImageSize)
            return c_.Red(QStringLiteral("Cal wird gesetzt: FEHLER bei Import"));
        const auto& image = p_.parameterFile.image();
        std::copy_n(image.begin() + st.CalOffset, 16, st.Cal.begin());
        c_.hooks.RefreshPages();
        if (!p_.identification.SetIdCal())
            return c_.Red(QStringLiteral("Cal wird gesetzt: FEHLER beim Schreiben"));
        c_.Blue(QStringLiteral("Cal wird gesetzt: okay"));
        c_.Wait(500);
        d.CalResult = 1;
    }
    c_.AutoAdvance();
}

void IdentitySteps::BootRestart()
{
    c_.Blue(QStringLiteral("Neustart ..."));
    if (!p_.link.protocol().SendReceiveCommand(proto::kTargetSensor, proto::cmd::Restart, 5, 0,
                                               c_.session.Msg(kMsgRestart)))
        return c_.Red(QStringLiteral("FEHLER beim Neustart"));
    c_.Wait(1000);
    c_.Blue(QStringLiteral("Neustart: okay"));
    c_.AutoAdvance();
}

void IdentitySteps::StartCheckBootMode(quint32 bootAddress, int n)
{
    if (n < 1 || n > 2 || c_.defs.items.BootVersion[size_t(n)].Low == -1) return c_.AutoAdvance();
    TMeasItem& v = c_.defs.items.BootVersion[size_t(n)];
    v.Result = 0;
    c_.Blue(QString::asprintf("Start Boot %d: ...", n));
    c_.Stop();
    link::FrameProtocol& fp = p_.link.protocol();
    bool inBoot = false;
    for (int attempt = 0; attempt < kBootAttempts && !inBoot; ++attempt) {
        // A sensor already in its boot loader does not know the start command: no answer
        // means it is there.
        if (!fp.SendReceiveCommand(proto::kTargetSensor, proto::cmd::StartBoot, 5, 0,
                                   c_.session.Msg(kMsgStartBoot))) {
            inBoot = true;
            break;
        }
        c_.Wait(100);
        if (fp.SendReceiveCommand(proto::kTargetSensor, proto::cmd::Ping, 5, 1, c_.session.Msg(kMsgPing)))
            inBoot = true;
        else
            c_.Wait(100);
    }
    if (!inBoot) return c_.Red(QString::asprintf("Start Boot %d: FEHLER beim Starten des Bootloaders", n));
    c_.Wait(100);
    if (!p_.boot.BootIdent())
        return c_.Red(QString::asprintf("Start Boot %d: FEHLER beim Lesen BootIdent", n));
    v.Measured = p_.boot.bootVersion;
    if (p_.boot.bootStart != bootAddress)
        return c_.Red(QString::asprintf("Start Boot %d: FEHLER, falsche Bootadresse: %4X", n,
                                        unsigned(p_.boot.bootStart)));
    if (v.Measured != v.Low)
        return c_.Red(QString::asprintf("Start Boot %d: FEHLER, falsche Bootversion: %d! Richtiges Gerät???",
                                        n, v.Measured));
    c_.Blue(QString::asprintf("Start Boot %d: okay", n));
    v.Result = 1;
    c_.AutoAdvance();
}

void IdentitySteps::DownloadFirmware(quint32 start, quint32 end, const QString& caption)
{
    TMeasuringData& d = c_.defs.data;
    d.DownloadResult = 0;
    boot::BootLoader& b = p_.boot;
    const int ch = boot::kChannelSensor;
    // The steps after this one write the unit's new identity; the old one is kept in a file.
    boot::DownloadBackup backup(c_.session, b);
    if (!backup.Save(start, end)) return c_.Red(caption + QStringLiteral("FEHLER bei der Sicherung"));
    c_.Blue(caption + QStringLiteral("löschen ..."));
    if (!b.EraseMemory(ch, start, c_.session.Msg(kMsgEraseCode), boot::KindCode, end))
        return c_.Red(caption + QStringLiteral("FEHLER beim Löschen"));
    c_.Blue(caption + QStringLiteral("schreiben ..."));
    if (!b.WriteMemory(ch, start, c_.session.Msg(kMsgWriteCode), boot::KindCode, end))
        return c_.Red(caption + QStringLiteral("FEHLER beim Schreiben"));
    c_.Blue(caption + QStringLiteral("verifizieren ..."));
    if (!b.VerifyMemory(ch, start, c_.session.Msg(kMsgVerifyCode), c_.session.Msg(kMsgReadCode),
                        boot::KindCode, end))
        return c_.Red(caption + QStringLiteral("FEHLER beim Verifizieren"));
    c_.Blue(caption + QStringLiteral("okay"));
    c_.Wait(500);
    d.DownloadResult = 1;
    c_.AutoAdvance();
}

} // namespace vmx::prodtest
