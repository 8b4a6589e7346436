#pragma once
// The test definitions of TEST.INI: the list of definitions that apply to the selected sensor
// version, and one definition loaded into the condition and item records and the start grid.
// The file is only read; it is read from its start for every section, as its size allows.

#include <QString>
#include <QStringList>

#include <array>
#include <functional>
#include <vector>

namespace vmx::app {
class Session;
}

namespace vmx::prodtest {

// One test item: a limit pair, an expected value or an operator entry, with its outcome.
struct TMeasItem {
    int Result = -1; // -1 not yet tested, 0 failed, 1 passed
    int Measured = -1;
    int Low = -1;
    int High = -1;
    QString MeasuredText;
    QString IniValue;
    QString IniMax;
    QString IniLabel;
    int GridRow = -1;
};

// The conditions of the selected definition.
struct TMeasuringCond {
    int NoTubeMax = -1;
    int EmptyTubeMax = -1;
    int FullTubeMin = -1;
    int FullTubeMax = -1;
    int Threshold = -1;
    int ProgramNo = -1;
    QString SensorType, TestKind, Assembly1, Assembly2, Firmware, FirmwareFile1, FirmwareFile2, PicFile,
        TestTube, NoTubeMinText, NoTubeMaxText, EmptyTubeMinText, EmptyTubeMaxText, FullTubeMinText,
        FullTubeMaxText, TypeMask, ProgramText, ThresholdText;
};

// The item tables of the unit under test (index 0 of each array is unused: the keys count
// from 1).
struct MeasItems {
    std::array<TMeasItem, 9> Ampl;
    std::array<TMeasItem, 5> Bubble;
    std::array<TMeasItem, 4> TestVersion;
    std::array<TMeasItem, 5> ParFile;
    std::array<TMeasItem, 3> BootVersion;
    std::array<TMeasItem, 7> SwitchOut;
    std::array<TMeasItem, 3> Variant;
    TMeasItem SerialNo, ManuYear, Tester, BatchNo, BatchComment, TechIndex;
};

// The measured data of the unit under test beyond its items: the tube values, the verdict and
// comment, and the outcomes of the steps (-1 not tested, 0 failed, 1 passed). The test hardware
// kind, CONFIG/OSCCAL and the three programming outcomes are the test module's record.
struct TMeasuringData {
    int NoTubeValue = -1;
    int EmptyTubeValue = -1;
    int FullTubeValue = -1;
    QString ResultComment;
    int NoTubeResult = -1;
    int EmptyTubeResult = -1;
    int FullTubeResult = -1;
    int DownloadResult = -1;
    int LowOutputResult = -1;
    int HighOutputResult = -1;
    int CalResult = -1;
    int ShieldResult = -1;
    int BridgeResult = -1;
};

// The start grid StGStart: two columns, fifty rows.
struct StartGrid {
    static constexpr int kRows = 50;
    std::array<std::array<QString, 2>, kRows> cells;
    // The row of the key that makes the definition unusable (shown in red); -1 none.
    int faultRow = -1;
    void Clear()
    {
        for (auto& row : cells)
            row[0].clear(), row[1].clear();
        faultRow = -1;
    }
};

// The operator entry fields of the measuring page that a definition pre-fills.
struct OperatorEntries {
    QString tester, batchNo, batchComment, techIndex, manuYear;
};

class TestDefinitions {
public:
    static constexpr int kMaxSections = 401;

    // What picking another definition does beyond loading it, for whoever owns the results
    // and the run; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // The results are saved (the save action).
        virtual void SaveResults() = 0;
        // Result grid cleared, measured values reset.
        virtual void ClearResults() = 0;
        // The step controller shows step 0.
        virtual void ShowStep0() = 0;
    };

    TestDefinitions(app::Session& session, Hooks& hooks);

    TMeasuringCond cond;
    MeasItems items;
    TMeasuringData data;
    StartGrid startGrid;
    OperatorEntries entries;
    // Combo item k shows section SectionMap[k]; -1 none.
    std::array<int, kMaxSections> SectionMap;
    int SelectedSection = -1;
    bool TestDataSaved = true;
    // Why the loaded definition cannot be used: the key and its value that do not read as
    // their kind, a MIN above its MAX, a serial number beyond the sensor's 16 bits. Empty when
    // it can be used.
    QString Unusable;
    // The combo box CBTypeTest: its items, the selected one (-1 none) and its text.
    QStringList comboItems;
    int comboIndex = -1;
    QString comboText;

    // The program folder's TEST.INI.
    QString FileName() const;
    // Section n into the records and the start grid; true when it exists and holds a non-empty
    // line after its header.
    bool ReadTestIniFile(int n);
    // The combo box of the definitions that apply to the sensor version `sensorKey` (type *
    // 10^6 + subtype * 1000 + firmware); true when at least one is listed.
    bool ScanTestIniFile(qint64 sensorKey);
    void ReadTestData(int n);
    void ResetMC();
    // The operator picked combo item `index` (-1 none).
    void SelectDefinition(int index);

    // One key against one line: on a match the line is cut at its first double quote, the
    // label and value go into the next grid row (while there is one) and true is returned.
    static bool ExtractKeyWord(const QString& key, QString& line, int& rowCounter, int& row, QString& value,
                               StartGrid& grid);
    // Items separated by commas or blanks; a double-quoted item may hold both, "" stands for ".
    static QStringList CommaText(const QString& text);
    // A whole decimal number, -1 for anything else.
    static int Number(const QString& text);
    // "L" 0, "H" 1, "LHLH" 2, anything else -1.
    static int SwitchState(const QString& text);
    // Whether a type mask lets the sensor version `sensorKey` through.
    static bool MaskMatches(const QString& mask, qint64 sensorKey);

private:
    void TryKeys(QString line, int& rowCounter);
    // The fault that makes the loaded definition unusable (its row marked), or empty.
    QString CheckValues();
    // The "[TEST_CONDITION]" headers in the file.
    int CountSections() const;

    // The keys of the section loaded that must read as a number or state: value and row.
    struct SeenKey {
        QString key, value;
        int row;
    };
    std::vector<SeenKey> seen_;

    app::Session& session_;
    Hooks& hooks_;
};

} // namespace vmx::prodtest
