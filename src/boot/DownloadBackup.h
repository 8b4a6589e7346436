#pragma once
// What a download would lose: the sensor's identification block, calibration block and
// parameter page lie in the code flash it erases. They are read and saved to a file before the
// erase and, where the new image leaves them blank, written back after it.

#include <QString>

#include <vector>

namespace vmx::app {
class Session;
}

namespace vmx::boot {

class BootLoader;

struct KeptArea {
    quint32 start;
    quint32 end;
};

class DownloadBackup {
public:
    DownloadBackup(app::Session& session, BootLoader& boot);

    // The areas of the selected sensor type inside start..end (the range a download erases).
    std::vector<KeptArea> Areas(quint32 start, quint32 end) const;
    // Reads the areas from the running boot loader and saves them as a HEX file in the
    // "backup" folder of the program folder, named by the serial number and the time; the code
    // image is left as it was. False (with a status text) when a read or the file failed.
    bool Save(quint32 start, quint32 end);
    // After the download: each saved area the code image leaves blank (all 0xFF) goes back
    // into the image and into the sensor, written and verified.
    bool Restore();
    const QString& file() const { return file_; }

private:
    app::Session& session_;
    BootLoader& boot_;
    std::vector<KeptArea> areas_;
    std::vector<quint8> saved_;
    QString file_;
};

} // namespace vmx::boot
