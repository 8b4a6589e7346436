#include "prodtest/TestDefinitions.h"

#include "app/InputFile.h"
#include "app/Session.h"
#include "app/TextHelpers.h"
#include "lang/MessageIds.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <algorithm>
#include <vector>

namespace vmx::prodtest {

namespace {

// Where a key's value goes.
enum class Dest {
    SensorType,
    TestKind,
    Firmware,
    TestTube,
    TypeMask,
    FirmwareFile1,
    FirmwareFile2,
    PicFile,
    Assembly1,
    Assembly2,
    ParFile,
    ProgramText,
    NoTubeMaxText,
    NoTubeMinText,
    EmptyTubeMaxText,
    EmptyTubeMinText,
    FullTubeMaxText,
    FullTubeMinText,
    ThresholdText,
    SnMin,
    SnMax,
    AmplLabel,
    AmplMin,
    AmplMax,
    BubbleLabel,
    BubbleMin,
    BubbleMax,
    TestVersion,
    BootVersion,
    SwitchOut,
    Variant,
    Tester,
    BatchNo,
    BatchComment,
    TechIndex,
    ManuYear,
};

struct Key {
    QString text;
    Dest dest;
    int n; // 1.. for the numbered keys, 0 otherwise
};

// The keys in the order they are tried.
const std::vector<Key>& KeyTable()
{
    static const std::vector<Key> table = [] {
        std::vector<Key> t;
        auto add = [&t](const QString& text, Dest d, int n = 0) { t.push_back(Key{text, d, n}); };
        auto numbered = [&](const char* pattern, Dest d, int count) {
            for (int n = 1; n <= count; ++n)
                add(QString::fromUtf8(pattern).arg(n), d, n);
        };
        add(QStringLiteral("[#QVR_TYP]"), Dest::SensorType);
        add(QStringLiteral("[#ART_PRÜFUNG]"), Dest::TestKind);
        add(QStringLiteral("[#FIRMWARE]"), Dest::Firmware);
        add(QStringLiteral("[#PRÜFSCHLAUCH]"), Dest::TestTube);
        add(QStringLiteral("[#MASKE]"), Dest::TypeMask);
        add(QStringLiteral("[#DATEI_FW_1]"), Dest::FirmwareFile1);
        add(QStringLiteral("[#DATEI_FW_2]"), Dest::FirmwareFile2);
        add(QStringLiteral("[#DATEI_PIC]"), Dest::PicFile);
        add(QStringLiteral("[#BAUGRUPPE_1]"), Dest::Assembly1);
        add(QStringLiteral("[#BAUGRUPPE_2]"), Dest::Assembly2);
        numbered("[#DATEI_PAR_%1]", Dest::ParFile, 4);
        add(QStringLiteral("[#PRÜFPROGRAMM]"), Dest::ProgramText);
        add(QStringLiteral("[#GRENZWERT_OHNE_MAX]"), Dest::NoTubeMaxText);
        add(QStringLiteral("[#GRENZWERT_OHNE_MIN]"), Dest::NoTubeMinText);
        add(QStringLiteral("[#GRENZWERT_LEER_MAX]"), Dest::EmptyTubeMaxText);
        add(QStringLiteral("[#GRENZWERT_LEER_MIN]"), Dest::EmptyTubeMinText);
        add(QStringLiteral("[#GRENZWERT_VOLL_MAX]"), Dest::FullTubeMaxText);
        add(QStringLiteral("[#GRENZWERT_VOLL_MIN]"), Dest::FullTubeMinText);
        add(QStringLiteral("[#SCHWELLE]"), Dest::ThresholdText);
        add(QStringLiteral("[#SN_MIN]"), Dest::SnMin);
        add(QStringLiteral("[#SN_MAX]"), Dest::SnMax);
        for (int n = 1; n <= 8; ++n) {
            add(QStringLiteral("[#AMPLITUDE_%1]").arg(n), Dest::AmplLabel, n);
            add(QStringLiteral("[#AMPLITUDE_MIN_%1]").arg(n), Dest::AmplMin, n);
            add(QStringLiteral("[#AMPLITUDE_MAX_%1]").arg(n), Dest::AmplMax, n);
        }
        for (int n = 1; n <= 4; ++n) {
            add(QStringLiteral("[#BLASE_%1]").arg(n), Dest::BubbleLabel, n);
            add(QStringLiteral("[#BLASE_MIN_%1]").arg(n), Dest::BubbleMin, n);
            add(QStringLiteral("[#BLASE_MAX_%1]").arg(n), Dest::BubbleMax, n);
        }
        numbered("[#TESTVERSION_%1]", Dest::TestVersion, 3);
        numbered("[#BOOTVERSION_%1]", Dest::BootVersion, 2);
        numbered("[#SCHALTAUSGANG_%1]", Dest::SwitchOut, 6);
        numbered("[#VARIANTE_%1]", Dest::Variant, 2);
        add(QStringLiteral("[#PRÜFER]"), Dest::Tester);
        add(QStringLiteral("[#AUFTRAG_LOS]"), Dest::BatchNo);
        add(QStringLiteral("[#BEMERKUNG_LOS]"), Dest::BatchComment);
        add(QStringLiteral("[#TECH_INDEX]"), Dest::TechIndex);
        add(QStringLiteral("[#HERSTELLUNGSJAHR]"), Dest::ManuYear);
        return t;
    }();
    return table;
}

const QString kHeader = QStringLiteral("[TEST_CONDITION]");
const QString kCut = QStringLiteral("//");
// The identity field of the sensor holds 16 bits.
constexpr int kMaxSerial = 65535;
const QString kUnusable = QStringLiteral(": Prüfprogramm nicht verwendbar");

// What a key's value must read as.
enum class Kind { Text, Number, SwitchState };

Kind KindOf(Dest d)
{
    switch (d) {
    case Dest::ProgramText:
    case Dest::NoTubeMaxText:
    case Dest::EmptyTubeMaxText:
    case Dest::FullTubeMaxText:
    case Dest::FullTubeMinText:
    case Dest::ThresholdText:
    case Dest::SnMin:
    case Dest::SnMax:
    case Dest::AmplMin:
    case Dest::AmplMax:
    case Dest::BubbleMin:
    case Dest::BubbleMax:
    case Dest::TestVersion:
    case Dest::BootVersion:
    case Dest::Variant:
        return Kind::Number;
    case Dest::SwitchOut:
        return Kind::SwitchState;
    default:
        return Kind::Text;
    }
}

// A number as a definition writes one: decimal digits only (no sign, no blank), within int.
bool ReadsAsNumber(const QString& text)
{
    for (const QChar ch : text)
        if (ch < QLatin1Char('0') || ch > QLatin1Char('9')) return false;
    int v = -1;
    return !text.isEmpty() && app::ParseDecimal(text, v);
}

} // namespace

TestDefinitions::TestDefinitions(app::Session& session, Hooks& hooks) : session_(session), hooks_(hooks)
{
    SectionMap.fill(-1);
}

QString TestDefinitions::FileName() const
{
    return QDir(session_.programDir()).filePath(QStringLiteral("TEST.INI"));
}

QStringList TestDefinitions::CommaText(const QString& s)
{
    QStringList items;
    const qsizetype n = s.size();
    auto blank = [&](qsizetype i) { return s[i].unicode() <= u' '; };
    qsizetype i = 0;
    while (i < n && blank(i))
        ++i;
    while (i < n) {
        QString item;
        if (s[i] == QLatin1Char('"')) {
            ++i;
            while (i < n) {
                if (s[i] == QLatin1Char('"')) {
                    if (i + 1 < n && s[i + 1] == QLatin1Char('"')) {
                        item += QLatin1Char('"');
                        i += 2;
                        continue;
                    }
                    ++i;
                    break;
                }
                item += s[i++];
            }
            // Anything glued to the closing quote belongs to no item.
            while (i < n && s[i] != QLatin1Char(',') && !blank(i))
                ++i;
        } else {
            while (i < n && s[i] != QLatin1Char(',') && !blank(i))
                item += s[i++];
        }
        items << item;
        while (i < n && blank(i))
            ++i;
        if (i < n && s[i] == QLatin1Char(',')) {
            ++i;
            while (i < n && blank(i))
                ++i;
            // A comma at the end still separates an (empty) last item.
            if (i >= n) items << QString();
        }
    }
    return items;
}

int TestDefinitions::Number(const QString& text)
{
    int v = -1;
    return app::ParseDecimal(text, v) ? v : -1;
}

int TestDefinitions::SwitchState(const QString& text)
{
    if (text == QLatin1String("L")) return 0;
    if (text == QLatin1String("H")) return 1;
    if (text == QLatin1String("LHLH")) return 2;
    return -1;
}

bool TestDefinitions::MaskMatches(const QString& mask, qint64 key)
{
    const QString m = mask + QStringLiteral("xxxxxxxxxxxx");
    const qint64 parts[3] = {key / 1000000, key / 1000 % 1000, key % 1000};
    const QString texts[3] = {m.mid(0, 2), m.mid(2, 3), m.mid(5, 3)};
    for (int i = 0; i < 3; ++i) {
        int v = -1;
        // A part that is no number ("xx", "xxx") lets every value through.
        if (app::ParseDecimal(texts[i], v) && v != parts[i]) return false;
    }
    return true;
}

bool TestDefinitions::ExtractKeyWord(const QString& key, QString& line, int& rowCounter, int& row,
                                     QString& value, StartGrid& grid)
{
    if (!line.contains(key)) return false;
    const qsizetype quote = line.indexOf(QLatin1Char('"'));
    if (quote >= 0) line = line.mid(quote);
    const QStringList items = CommaText(line);
    const QString label = items.value(0);
    value = items.value(1);
    row = -1;
    if (rowCounter < StartGrid::kRows) {
        grid.cells[size_t(rowCounter)] = {label, value};
        row = rowCounter++;
    }
    return true;
}

void TestDefinitions::ResetMC()
{
    cond = TMeasuringCond{};
    items = MeasItems{};
    seen_.clear();
}

QString TestDefinitions::CheckValues()
{
    auto seen = [this](const QString& key) -> const SeenKey* {
        for (const SeenKey& s : seen_)
            if (s.key == key) return &s;
        return nullptr;
    };
    auto fault = [this](const SeenKey& s, const QString& why) {
        startGrid.faultRow = s.row;
        return QStringLiteral("%1 \"%2\"").arg(s.key, s.value) + why + kUnusable;
    };
    // Each present key as its kind, in the order of the key table.
    for (const Key& k : KeyTable()) {
        const SeenKey* s = seen(k.text);
        if (!s) continue;
        const Kind kind = KindOf(k.dest);
        if (kind == Kind::Number && !ReadsAsNumber(s->value))
            return fault(*s, QStringLiteral(": keine gültige Zahl"));
        if (kind == Kind::SwitchState && SwitchState(s->value) < 0)
            return fault(*s, QStringLiteral(": nicht L, H oder LHLH"));
        if ((k.dest == Dest::SnMin || k.dest == Dest::SnMax) && Number(s->value) > kMaxSerial)
            return fault(*s, QStringLiteral(": größer als %1").arg(kMaxSerial));
    }
    // A MIN above its MAX passes no unit.
    auto crossed = [&](const QString& minKey, const QString& maxKey) {
        const SeenKey* lo = seen(minKey);
        const SeenKey* hi = seen(maxKey);
        if (!lo || !hi || Number(lo->value) <= Number(hi->value)) return QString();
        return fault(*lo, QStringLiteral(" größer als %1 \"%2\"").arg(hi->key, hi->value));
    };
    QString f = crossed(QStringLiteral("[#GRENZWERT_VOLL_MIN]"), QStringLiteral("[#GRENZWERT_VOLL_MAX]"));
    if (f.isEmpty()) f = crossed(QStringLiteral("[#SN_MIN]"), QStringLiteral("[#SN_MAX]"));
    for (int n = 1; n <= 8 && f.isEmpty(); ++n)
        f = crossed(QStringLiteral("[#AMPLITUDE_MIN_%1]").arg(n),
                    QStringLiteral("[#AMPLITUDE_MAX_%1]").arg(n));
    for (int n = 1; n <= 4 && f.isEmpty(); ++n)
        f = crossed(QStringLiteral("[#BLASE_MIN_%1]").arg(n), QStringLiteral("[#BLASE_MAX_%1]").arg(n));
    return f;
}

void TestDefinitions::TryKeys(QString line, int& rowCounter)
{
    for (const Key& k : KeyTable()) {
        int row = -1;
        QString v;
        if (!ExtractKeyWord(k.text, line, rowCounter, row, v, startGrid)) continue;
        // Where each value was shown, for a value that does not read as its kind.
        if (KindOf(k.dest) != Kind::Text) {
            auto s =
                std::find_if(seen_.begin(), seen_.end(), [&k](const SeenKey& e) { return e.key == k.text; });
            if (s == seen_.end()) s = seen_.insert(seen_.end(), SeenKey{k.text, QString(), -1});
            s->value = v, s->row = row;
        }
        TMeasuringCond& c = cond;
        MeasItems& it = items;
        const size_t n = size_t(k.n);
        switch (k.dest) {
        case Dest::SensorType:
            c.SensorType = v;
            break;
        case Dest::TestKind:
            c.TestKind = v;
            break;
        case Dest::Firmware:
            c.Firmware = v;
            break;
        case Dest::TestTube:
            c.TestTube = v;
            break;
        case Dest::TypeMask:
            c.TypeMask = v;
            break;
        case Dest::FirmwareFile1:
            c.FirmwareFile1 = v;
            break;
        case Dest::FirmwareFile2:
            c.FirmwareFile2 = v;
            break;
        case Dest::PicFile:
            c.PicFile = v;
            break;
        case Dest::Assembly1:
            c.Assembly1 = v;
            break;
        case Dest::Assembly2:
            c.Assembly2 = v;
            break;
        case Dest::ParFile:
            it.ParFile[n].IniValue = v;
            break;
        case Dest::ProgramText:
            c.ProgramText = v;
            break;
        case Dest::NoTubeMaxText:
            c.NoTubeMaxText = v;
            break;
        case Dest::NoTubeMinText:
            c.NoTubeMinText = v;
            break;
        case Dest::EmptyTubeMaxText:
            c.EmptyTubeMaxText = v;
            break;
        case Dest::EmptyTubeMinText:
            c.EmptyTubeMinText = v;
            break;
        case Dest::FullTubeMaxText:
            c.FullTubeMaxText = v;
            break;
        case Dest::FullTubeMinText:
            c.FullTubeMinText = v;
            break;
        case Dest::ThresholdText:
            c.ThresholdText = v;
            break;
        case Dest::SnMin:
            it.SerialNo.IniValue = v;
            break;
        case Dest::SnMax:
            it.SerialNo.IniMax = v;
            break;
        case Dest::AmplLabel:
            it.Ampl[n].IniLabel = v;
            break;
        case Dest::AmplMin:
            it.Ampl[n].IniValue = v;
            break;
        case Dest::AmplMax:
            it.Ampl[n].IniMax = v;
            break;
        case Dest::BubbleLabel:
            it.Bubble[n].IniLabel = v;
            break;
        case Dest::BubbleMin:
            it.Bubble[n].IniValue = v;
            break;
        case Dest::BubbleMax:
            it.Bubble[n].IniMax = v;
            break;
        case Dest::TestVersion:
            it.TestVersion[n].IniValue = v;
            break;
        case Dest::BootVersion:
            it.BootVersion[n].IniValue = v;
            break;
        case Dest::SwitchOut:
            it.SwitchOut[n].IniValue = v;
            break;
        case Dest::Variant:
            it.Variant[n].IniValue = v;
            break;
        case Dest::Tester:
            it.Tester.IniValue = v, it.Tester.GridRow = row;
            break;
        case Dest::BatchNo:
            it.BatchNo.IniValue = v, it.BatchNo.GridRow = row;
            break;
        case Dest::BatchComment:
            it.BatchComment.IniValue = v, it.BatchComment.GridRow = row;
            break;
        case Dest::TechIndex:
            it.TechIndex.IniValue = v, it.TechIndex.GridRow = row;
            break;
        case Dest::ManuYear:
            it.ManuYear.IniValue = v, it.ManuYear.GridRow = row;
            break;
        }
    }
}

bool TestDefinitions::ReadTestIniFile(int n)
{
    if (n < 0) {
        session_.PanelText(1, QStringLiteral("Lesen TestIni: kein gültiges Prüfprogramm ausgewählt"));
        return false;
    }
    const QString path = FileName();
    const QString shortName = QFileInfo(path).fileName();
    QFile file(path);
    const app::InputStatus opened = app::OpenInputFile(file);
    if (opened == app::InputStatus::Missing) {
        session_.PanelText(1, session_.Msg(lang::ids::kMsgConfigReadError) + shortName);
        return false;
    }
    const QString readError = QStringLiteral("Lesen TestIni: Fehler beim Lesen aus ") + shortName;
    if (opened != app::InputStatus::Ok) {
        session_.PanelText(1, readError);
        return false;
    }
    enum class State { Outside, Header, Inside } state = State::Outside;
    int header = -1;
    int rowCounter = 0;
    bool content = false;
    startGrid.Clear();
    app::LineReader reader(file, app::TextEncoding::Detect);
    QString line;
    while (reader.Next(line)) {
        if (line.startsWith(kHeader))
            state = State::Header;
        else if (line.startsWith(kCut))
            state = State::Outside;
        // A line of blanks is as empty as an empty one: it holds no key.
        if (line.trimmed().isEmpty()) continue;
        if (state == State::Header) {
            ++header;
            if (header == n) {
                ResetMC();
                state = State::Inside;
            } else {
                state = State::Outside;
            }
        } else if (state == State::Inside) {
            TryKeys(line, rowCounter);
            content = true;
        }
    }
    if (reader.Failed()) session_.PanelText(1, readError);
    return content;
}

int TestDefinitions::CountSections() const
{
    QFile file(FileName());
    if (app::OpenInputFile(file) != app::InputStatus::Ok) return 0;
    app::LineReader reader(file, app::TextEncoding::Detect);
    int sections = 0;
    QString line;
    while (reader.Next(line))
        if (line.startsWith(kHeader)) ++sections;
    return sections;
}

void TestDefinitions::ReadTestData(int n)
{
    Unusable.clear();
    if (n < 0) {
        session_.PanelText(1, QStringLiteral("Lesen TestIni: kein gültiges Prüfprogramm ausgewählt"));
        return;
    }
    if (!ReadTestIniFile(n)) {
        session_.PanelText(1, QStringLiteral("Lesen TestIni: unbekannter Test, keine Prüfdaten gefunden"));
        return;
    }
    // A present key whose value does not read as its kind would pass its test over (or judge
    // against nonsense): the definition stays listed but cannot be used.
    Unusable = CheckValues();
    if (!Unusable.isEmpty()) {
        session_.ShowLComment(app::CommentColour::Red, Unusable);
        session_.PanelText(1, Unusable);
    }
    TMeasuringCond& c = cond;
    c.ProgramNo = Number(c.ProgramText);
    c.NoTubeMax = Number(c.NoTubeMaxText);
    c.EmptyTubeMax = Number(c.EmptyTubeMaxText);
    c.FullTubeMin = Number(c.FullTubeMinText);
    c.FullTubeMax = Number(c.FullTubeMaxText);
    c.Threshold = Number(c.ThresholdText);
    MeasItems& it = items;
    auto limits = [](TMeasItem& item) {
        item.Low = Number(item.IniValue);
        item.High = Number(item.IniMax);
    };
    limits(it.SerialNo);
    for (size_t i = 1; i < it.Ampl.size(); ++i)
        limits(it.Ampl[i]);
    for (size_t i = 1; i < it.Bubble.size(); ++i)
        limits(it.Bubble[i]);
    for (size_t i = 1; i < it.TestVersion.size(); ++i)
        it.TestVersion[i].Low = Number(it.TestVersion[i].IniValue);
    for (size_t i = 1; i < it.BootVersion.size(); ++i)
        it.BootVersion[i].Low = Number(it.BootVersion[i].IniValue);
    for (size_t i = 1; i < it.Variant.size(); ++i)
        it.Variant[i].Low = Number(it.Variant[i].IniValue);
    for (size_t i = 1; i < it.SwitchOut.size(); ++i)
        it.SwitchOut[i].Low = SwitchState(it.SwitchOut[i].IniValue);
    auto prefill = [](QString& field, const TMeasItem& item) {
        if (!item.IniValue.isEmpty()) field = item.IniValue;
    };
    prefill(entries.tester, it.Tester);
    prefill(entries.batchNo, it.BatchNo);
    prefill(entries.batchComment, it.BatchComment);
    prefill(entries.techIndex, it.TechIndex);
    prefill(entries.manuYear, it.ManuYear);
}

bool TestDefinitions::ScanTestIniFile(qint64 sensorKey)
{
    comboItems.clear();
    comboIndex = -1;
    SectionMap.fill(-1);
    int read = 0;
    for (int n = 0; n < kMaxSections; ++n, read = n) {
        ResetMC();
        if (!ReadTestIniFile(n)) break;
        if (cond.SensorType.isEmpty()) continue;
        if (!MaskMatches(cond.TypeMask, sensorKey)) continue;
        comboItems << cond.SensorType + QStringLiteral(" / ") + cond.TestKind;
        const qsizetype index = comboItems.size() - 1;
        if (index < kMaxSections) SectionMap[size_t(index)] = n;
    }
    // Where the scan stopped before the end of the file, it says so: the later definitions are
    // not listed.
    const int sections = CountSections();
    if (read + 1 < sections && read < kMaxSections)
        session_.PanelText(1, QStringLiteral("Lese aus TEST.INI: Abschnitt %1 ohne Inhalt: weitere "
                                             "Definitionen nicht gelesen")
                                  .arg(read + 1));
    else if (read == kMaxSections && read < sections)
        session_.PanelText(
            1, QStringLiteral("Lese aus TEST.INI: %1 von %2 Definitionen gelesen: weitere nicht gelesen")
                   .arg(read)
                   .arg(sections));
    else
        session_.PanelText(1, QStringLiteral("Lese aus TEST.INI: Prüfprogramme gelesen"));
    if (!comboItems.isEmpty()) {
        SelectDefinition(0);
        return true;
    }
    comboIndex = -1;
    SelectedSection = -1;
    Unusable.clear();
    comboText = QStringLiteral("kein Test verfügbar");
    startGrid.Clear();
    cond.ProgramNo = -1;
    return false;
}

void TestDefinitions::SelectDefinition(int index)
{
    if (!TestDataSaved) {
        const app::AskResult a = session_.host().Ask(
            app::AskIcon::Warning, app::AskButtons::YesNo,
            QStringLiteral("Bei Programmwechel werden alle Daten gelöscht!\rSollen Daten aus "
                           "Prüfungen gespeichert werden?"));
        if (a == app::AskResult::Yes) hooks_.SaveResults();
    }
    comboIndex = index >= 0 && index < comboItems.size() ? index : -1;
    comboText = comboIndex >= 0 ? comboItems[comboIndex] : QString();
    SelectedSection = comboIndex >= 0 && comboIndex < kMaxSections ? SectionMap[size_t(comboIndex)] : -1;
    cond.ProgramNo = -1;
    ReadTestData(SelectedSection);
    hooks_.ClearResults();
    TestDataSaved = true;
    hooks_.ShowStep0();
}

} // namespace vmx::prodtest
