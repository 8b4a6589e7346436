#pragma once
// The firmware download: enter and check the boot loader, load the firmware file, then erase,
// write and verify the code flash below the boot sector and restart the sensor.

#include <QString>

namespace vmx::app {
class Session;
}

namespace vmx::boot {

class BootLoader;
class HexImage;

class Download {
public:
    // What the download asks of the rest of the program; the station implements it.
    class Hooks {
    public:
        virtual ~Hooks() = default;
        // The import buttons' handlers (file dialog, conversion / import) for a missing ABS
        // (`abs`) or HEX file name; they set the name. False ends the download.
        virtual bool PickDownloadFile(bool abs) = 0;
        // Enter the boot loader and check the boot sector against the selected type, as the
        // memory transfers do (with the automatic power cycle when it is on).
        virtual bool StartReadWrite() = 0;
        // The boot page is to be redrawn.
        virtual void BootPageChanged() = 0;
        // The download works on code flash: the page's memory buttons follow.
        virtual void SelectCodeFlash() = 0;
    };

    Download(app::Session& session, BootLoader& boot, HexImage& hex, Hooks& hooks);

    // Check boxes of the boot page's group "Download".
    bool absImport = false;
    bool hexImport = true;
    // Last file names; an empty one is asked for through the pickers below.
    QString absFile;
    QString hexFile;

    bool DownLoad();

private:
    void Redraw();

    app::Session& session_;
    BootLoader& boot_;
    HexImage& hex_;
    Hooks& hooks_;
};

} // namespace vmx::boot
