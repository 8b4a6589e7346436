#pragma once
// Who the connected sensor is (its identification answer matched against the catalogue) and
// its production data and calibration block in the first flash page: reading them, writing
// them through the boot loader, clearing them; plus the texts the identification page shows.

#include "app/SensorTypes.h"
#include "lang/MessageIds.h"

#include <QString>
#include <QStringList>

#include <array>

namespace vmx::app {
class Session;
}
namespace vmx::link {
class Link;
}
namespace vmx::boot {
class BootLoader;
}

namespace vmx::sensor {

// The catalogue numbers by name.
using namespace lang::ids;

class DeviceCommands;
class ParameterTransfer;

// The 16-byte identification block as the sensor answers it (and keeps it at SNOffset).
struct IdentRecord {
    int IdentCode = 0;
    int Type = 0;
    int SubType = 0;
    int Hardware = 255;
    int Firmware = 0;
    int ModelIndex = 0;
    int Year = 255;
    int SerialNo = 0xFFFF;
    qint32 Key() const { return Type * 1000000 + SubType * 1000 + Firmware; }
    static IdentRecord Decode(const quint8* block16);
};

class Identification {
public:
    // What the identification asks of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // STOP of the acquisition.
        virtual void StopAcquisition() = 0;
        // Makes a catalogue row the current type with everything that goes with it (the
        // session's type, check of the version menu, window updates).
        virtual void ApplyType(int row) = 0;
        // The serial-mode selection (CBMSerialMode) is set to this index.
        virtual void SetSerialModeIndex(int index) = 0;
        // The pages show the edit block and identification again (UpdateDialog).
        virtual void RefreshPages() = 0;
        // The identification page is brought to the front.
        virtual void ShowIdentPage() = 0;
    };

    Identification(app::Session& session, link::Link& link, boot::BootLoader& boot,
                   ParameterTransfer& transfer, DeviceCommands& commands, Hooks& hooks);

    // --- actions and buttons: run, report op text + okay / ERROR ------------------------------
    bool Identify();
    bool WriteSerialNumber();
    bool ClearSerialNumber();
    bool ReadCalibration();
    bool WriteCalibration();
    bool ClearCalibration();

    // --- operations ---------------------------------------------------------------------------
    bool GetIdent();
    bool GetIdentQVR0530();
    bool GetIdentV110();
    bool GetCalQVR0530();
    bool SetIdSN();
    bool IdClearSN();
    bool SetIdCal();
    bool IdClearCal();

    // The last identification answer decoded.
    const IdentRecord& lastIdent() const { return ident_; }

    // --- texts of the page --------------------------------------------------------------------
    static QString BoardName(int hardware);
    // Catalogue message of the model list for a type, -1 when it has none.
    static int ModelListMessage(const app::CurrentSensorType& st);
    // Entries of CBIdModel (empty when the type has none).
    QStringList ModelList() const;
    // The model index as the combo shows it: beyond the list (or no list) it becomes 0.
    int NormalizedModelIndex();
    QString YearText() const;
    QString SerialText() const;
    // EIdSN hint: message 392 (with the 9xx note) or 377.
    QString SerialHint() const;
    // Column 1 of StGIdent, rows 0..4; `modelText` is CBIdModel's selected entry.
    QStringList IdentGridColumn(const QString& modelText) const;
    QStringList IdentGridLabels() const;
    // StGCal: 9 rows x 3 columns of texts.
    std::array<std::array<QString, 3>, 9> CalGrid() const;

    // --- edits --------------------------------------------------------------------------------
    // EIdYear: 11..99; text that is no number keeps `old`.
    static quint8 ParseYear(const QString& text, quint8 old);
    // EIdSN: 0..65535; text that is no number keeps `old`.
    static quint16 ParseSerial(const QString& text, quint16 old);
    // Size cell: decimal (comma accepted) 0..10 mm in tenths; unparsable 0xFF.
    static quint8 ParseCalSize(const QString& text);
    // Value cell: 0..240; unparsable 0xFF.
    static quint8 ParseCalValue(const QString& text);
    // Size and value texts of rows 1..8 (pairs 0..7) into the calibration block.
    void SetCalFromGrid(const std::array<std::array<QString, 2>, 8>& cells);

private:
    QString Msg(int m) const;
    void Stop();
    bool Enter0530();
    bool RestartSensor();
    bool Ping();
    void TakeIdentFields();
    void ApplyIdent();
    void Apply(int row);
    bool AskApply();
    bool ReportAnd(int opMessage, bool ok);
    bool ClearBytes(quint32 offset, int count, int opMessage);

    app::Session& session_;
    link::Link& link_;
    boot::BootLoader& boot_;
    ParameterTransfer& transfer_;
    DeviceCommands& commands_;
    Hooks& hooks_;
    IdentRecord ident_;
};

} // namespace vmx::sensor
