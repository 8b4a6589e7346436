#include "app/MonitorConfig.h"

#include "app/Host.h"
#include "app/InputFile.h"
#include "app/TextHelpers.h"
#include "lang/Messages.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

namespace vmx::app {

namespace {

enum class Section { None, Device, Settings, Comments, Database };

const int kRefreshTags[] = {1, 2, 5, 10, 20, 50, 100, 200};

bool Has(const QString& line, const char* word)
{
    return line.contains(QLatin1String(word));
}

// "SHOWVERSION" by fixed columns: type 13-14, subtype 15-17, firmware 18-20 (1-based).
void ReadShowVersion(const QString& raw, VersionFilter& f)
{
    const QString line = raw + QString(14, QLatin1Char('x'));
    auto field = [&](int pos1, int len) {
        int v = -1;
        return ParseDecimal(line.mid(pos1 - 1, len), v) ? v : -1;
    };
    f.Type = field(13, 2);
    f.SubType = field(15, 3);
    f.Firmware = field(18, 3);
}

// One line of the file in the reading state `section`.
void ApplyConfigLine(const QString& line, const Folders& folders, Section& section, MonitorConfig& cfg)
{
    if (line.isEmpty()) return; // neither a header nor a key: nothing to compare
    if (line.startsWith(QLatin1String("[DEVICE]")))
        section = Section::Device;
    else if (line.startsWith(QLatin1String("[SETTINGS]")))
        section = Section::Settings;
    else if (line.startsWith(QLatin1String("[COMMENTS]")))
        section = Section::Comments;
    else if (line.startsWith(QLatin1String("[DATABASE]")))
        section = Section::Database;

    if (section == Section::Database) {
        if (line.startsWith(QLatin1String("URL="))) cfg.DatabaseUrl = line.mid(4).trimmed();
        if (line.startsWith(QLatin1String("STATION="))) cfg.StationName = line.mid(8).trimmed();
    }

    if (section == Section::Device) {
        if (line.startsWith(QLatin1String("IDENTCODE=")))
            cfg.IdentCode = NumberAfterKey(line, QStringLiteral("IDENTCODE="));
        else if (line.startsWith(QLatin1String("TYPE=")))
            cfg.Type = NumberAfterKey(line, QStringLiteral("TYPE="));
        else if (line.startsWith(QLatin1String("SUBTYPE=")))
            cfg.SubType = NumberAfterKey(line, QStringLiteral("SUBTYPE="));
        else if (line.startsWith(QLatin1String("FIRMWARE=")))
            cfg.Firmware = NumberAfterKey(line, QStringLiteral("FIRMWARE="));
        else if (line.startsWith(QLatin1String("PARFILE="))) {
            // An empty name would make the program folder itself the file; treat it as none.
            const QString name = line.mid(8);
            cfg.ParFile = name.isEmpty() ? QString() : folders.Find(name);
        }
    } else if (section == Section::Settings) {
        if (line.startsWith(QLatin1String("LANGUAGE"))) {
            if (Has(line, "GERMAN")) cfg.Language = lang::German;
            if (Has(line, "ENGLISH")) cfg.Language = lang::English;
        }
        if (line.startsWith(QLatin1String("MODE"))) {
            cfg.Service = Has(line, "SERVICE");
            cfg.Manufacturer = Has(line, "MANUFACTURE");
        }
        if (line.startsWith(QLatin1String("REFRESHDIA"))) {
            const int v = NumberAfterKey(line, QStringLiteral("REFRESHDIA="));
            for (int tag : kRefreshTags)
                if (tag == v) cfg.RefreshDia = v;
        }
        if (line.startsWith(QLatin1String("DATAOVERFLOW="))) {
            if (Has(line, "STOP")) cfg.Overflow = DataOverflow::Stop;
            if (Has(line, "ROLLOVER")) cfg.Overflow = DataOverflow::RollOver;
            if (Has(line, "RESTART")) cfg.Overflow = DataOverflow::Restart;
        }
        if (line.startsWith(QLatin1String("MESSAGEWINDOW="))) cfg.MessageWindow = Has(line, "ON");
        if (line.startsWith(QLatin1String("BEEPER="))) cfg.Beeper = Has(line, "ON");
        if (line.startsWith(QLatin1String("WITHACK="))) cfg.WithAck = Has(line, "ON");
        if (line.startsWith(QLatin1String("WITHANSWER="))) cfg.WithAnswer = Has(line, "ON");
        if (line.startsWith(QLatin1String("WITHFRAMECRC="))) cfg.WithFrameCrc = Has(line, "ON");
        if (line.startsWith(QLatin1String("TEMPFILE="))) {
            const QString name = line.mid(9);
            cfg.TempFile = name.isEmpty() ? QString() : folders.DataFile(name);
        }
        if (line.startsWith(QLatin1String("POWERAUTO="))) cfg.PowerAuto = Has(line, "ON");
        if (line.startsWith(QLatin1String("SHOWVERSION"))) ReadShowVersion(line, cfg.ShowVersion);
    }
}

} // namespace

void ApplyConfigLines(const QStringList& lines, const QString& programDir, MonitorConfig& cfg)
{
    const Folders folders = Folders::InOneFolder(programDir);
    Section section = Section::None;
    for (const QString& line : lines)
        ApplyConfigLine(line, folders, section, cfg);
}

namespace {

bool ApplyConfigFrom(QIODevice& device, const Folders& folders, MonitorConfig& cfg)
{
    Section section = Section::None;
    LineReader reader(device, TextEncoding::Detect);
    QString line;
    while (reader.Next(line))
        ApplyConfigLine(line, folders, section, cfg);
    return !reader.Failed();
}

} // namespace

bool ApplyConfigFrom(QIODevice& device, const QString& programDir, MonitorConfig& cfg)
{
    return ApplyConfigFrom(device, Folders::InOneFolder(programDir), cfg);
}

bool ReadConfigFromFile(const QString& programDir, int language, Host& host, MonitorConfig& cfg)
{
    return ReadConfigFromFile(Folders::InOneFolder(programDir), language, host, cfg);
}

bool ReadConfigFromFile(const Folders& folders, int language, Host& host, MonitorConfig& cfg)
{
    const QString name = QString::fromLatin1(kConfigFileName);
    const QString path = folders.ConfigFile(name);
    const QString failed = lang::Msg(319, language) + name;
    QFile f(path);
    if (OpenInputFile(f) != InputStatus::Ok) {
        host.PanelText(1, failed);
        return false;
    }
    const bool read = ApplyConfigFrom(f, folders, cfg);
    f.close();
    if (!read) {
        host.PanelText(1, failed);
        return false;
    }
    host.PanelText(1, lang::Msg(318, language) + name);
    return true;
}

QStringList ConfigListing(const MonitorConfig& cfg, int row, int key)
{
    auto onoff = [](bool b) { return b ? QStringLiteral("on") : QStringLiteral("off"); };
    const char* overflow[] = {"stop", "rollover", "restart"};
    QStringList out;
    out << QStringLiteral("language=%1").arg(cfg.Language == lang::English ? "en" : "de");
    out << QStringLiteral("service=%1").arg(onoff(cfg.Service));
    out << QStringLiteral("manufacturer=%1").arg(onoff(cfg.Manufacturer));
    out << QStringLiteral("identcode=%1").arg(cfg.IdentCode);
    out << QStringLiteral("type=%1").arg(cfg.Type);
    out << QStringLiteral("subtype=%1").arg(cfg.SubType);
    out << QStringLiteral("firmware=%1").arg(cfg.Firmware);
    out << QStringLiteral("row=%1").arg(row);
    out << QStringLiteral("key=%1").arg(key);
    out << QStringLiteral("parfile=%1").arg(cfg.ParFile);
    out << QStringLiteral("tempfile=%1").arg(cfg.TempFile);
    out << QStringLiteral("refreshdia=%1").arg(cfg.RefreshDia);
    out << QStringLiteral("dataoverflow=%1").arg(QLatin1String(overflow[int(cfg.Overflow)]));
    out << QStringLiteral("messagewindow=%1").arg(onoff(cfg.MessageWindow));
    out << QStringLiteral("beeper=%1").arg(onoff(cfg.Beeper));
    out << QStringLiteral("withack=%1").arg(onoff(cfg.WithAck));
    out << QStringLiteral("withanswer=%1").arg(onoff(cfg.WithAnswer));
    out << QStringLiteral("withframecrc=%1").arg(onoff(cfg.WithFrameCrc));
    out << QStringLiteral("powerauto=%1").arg(onoff(cfg.PowerAuto));
    out << QStringLiteral("showversion=%1 %2 %3")
               .arg(cfg.ShowVersion.Type)
               .arg(cfg.ShowVersion.SubType)
               .arg(cfg.ShowVersion.Firmware);
    return out;
}

} // namespace vmx::app
