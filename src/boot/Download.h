#pragma once
// The firmware download: enter and check the boot loader, load the firmware file, then erase,
// write and verify the code flash below the boot sector and restart the sensor.

#include <QString>

#include <functional>

namespace vmx::app {
class Session;
}

namespace vmx::boot {

class BootLoader;
class HexImage;

class Download {
public:
    Download(app::Session& session, BootLoader& boot, HexImage& hex);

    // Check boxes of the boot page's group "Download".
    bool absImport = false;
    bool hexImport = true;
    // Last file names; an empty one is asked for through the pickers below.
    QString absFile;
    QString hexFile;

    // The import buttons' handlers (file dialog, conversion / import); they set the names.
    std::function<bool()> absImportButton;
    std::function<bool()> hexImportButton;
    // Enter the boot loader and check the boot sector against the selected type. Unset: the
    // built-in entry below.
    std::function<bool()> startReadWrite;
    // The boot page is to be redrawn.
    std::function<void()> onPageChanged;
    // The download works on code flash: the page's memory buttons follow.
    std::function<void()> selectCodeFlash;

    bool DownLoad();

    // The built-in entry: V1.30 and older, or the two-attempt entry of the 05.30 generation.
    bool StartReadWrite();

private:
    bool StartReadWriteV130();
    bool StartReadWriteQVR0530();
    bool CheckBootSector();
    void Redraw();

    app::Session& session_;
    BootLoader& boot_;
    HexImage& hex_;
};

} // namespace vmx::boot
