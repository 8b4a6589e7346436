#include "app/Session.h"

#include "lang/Messages.h"

namespace vmx::app {

Session::Session(Host& host, Clock& clock, QString programDir)
    : Session(host, clock, Folders::InOneFolder(programDir))
{
}

Session::Session(Host& host, Clock& clock, Folders folders)
    : host_(&host), clock_(&clock), folders_(std::move(folders))
{
    CopyValidSensorType(0);
}

QString Session::Msg(int index) const
{
    return lang::Msg(index, language_);
}

bool Session::ReadConfigFromFile()
{
    config.Language = language_;
    config.Service = mode.Service;
    config.Manufacturer = mode.Manufacturer;
    config.IdentCode = sensor.IdentCode;
    config.Type = sensor.Type;
    config.SubType = sensor.SubType;
    config.Firmware = sensor.Firmware;
    const bool ok = app::ReadConfigFromFile(folders_, language_, *host_, config);
    sensor.IdentCode = config.IdentCode;
    sensor.Type = config.Type;
    sensor.SubType = config.SubType;
    sensor.Firmware = config.Firmware;
    language_ = config.Language;
    mode.Service = config.Service;
    mode.Manufacturer = config.Manufacturer;
    return ok;
}

int Session::RowForCurrentType() const
{
    return StartRow(sensor, config.ShowVersion);
}

} // namespace vmx::app
