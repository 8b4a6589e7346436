#pragma once
// The parameter file: a few bracketed header lines naming the sensor generation, then Intel
// HEX records of the parameter page (and, on request, of the flash line holding the
// calibration block), so the same file also serves the boot loader as a HEX image.

#include "lang/MessageIds.h"
#include "sensor/ParameterBlock.h"

#include <QString>

class QIODevice;
#include <QStringList>

#include <array>
#include <memory>

namespace vmx::app {
class Session;
}

namespace vmx::sensor {

// The catalogue numbers by name.
using namespace lang::ids;

inline constexpr int kParImageSize = 0x10000;

class ParameterFile {
public:
    // What the parameter file asks of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // The pages show the edit block again (UpdateDialog).
        virtual void RefreshPages() = 0;
    };

    ParameterFile(app::Session& session, ParameterBlocks& blocks, Hooks& hooks);
    // ChBIdExImCal: the calibration block goes into and comes out of the file.
    bool withCalibration = false;
    // The name the dialogs are preset with.
    QString lastFileName;

    // --- the two buttons, after their file dialogs -------------------------------------------
    bool Save(const QString& fileName);
    // On success the edit block, its word and (option on, type with a calibration block)
    // the calibration block are taken from the file; the pages are refreshed either way.
    bool Open(const QString& fileName);

    // --- start: standard set, optional PARFILE on top, then into the edit block --------------
    // `parFile` empty: the built-in standard set. A file that fails keeps the built-in set
    // (message 117).
    bool LoadStandardParameters(const QString& parFile);

    // --- the file itself ---------------------------------------------------------------------
    bool ExportHexParameter(const QString& fileName);
    // Reads the file into the import image; the blocks are not touched.
    bool ImportHexParameter(const QString& fileName);
    bool ImportHexParameterData(const QStringList& lines);
    // The same, line by line from a device as it is read; `readFailed` (if given) tells a read
    // error from a refused file.
    bool ImportHexParameterData(QIODevice& device, bool* readFailed = nullptr);
    // The lines an export writes (without line ends).
    QStringList ExportLines() const;

    // Intel HEX data record of 16 bytes, lower-case digits.
    static QString DataRecord(quint32 address, const quint8* data);

    // The 64 KiB image the last import filled (0xFF where the file had nothing).
    const std::array<quint8, kParImageSize>& image() const { return *image_; }
    // What the last import's header said (-1 where it said nothing).
    int fileIdent = -1, fileType = -1, fileSubType = -1, fileFirmware = -1;

    bool HasCalibrationBlock() const;

private:
    QString Msg(int m) const;
    bool AskIncompatible();
    void BeginImport();
    bool ImportLine(const QString& line);
    bool EndImport();

    app::Session& session_;
    ParameterBlocks& blocks_;
    Hooks& hooks_;
    std::unique_ptr<std::array<quint8, kParImageSize>> image_;
    int highest_ = 0; // highest address a record may write: 0 until "[CODE]"
    // Where a refused record is: the file's name (empty for lines given in memory) and line.
    QString fileName_;
    qsizetype lineNumber_ = 0;
};

} // namespace vmx::sensor
