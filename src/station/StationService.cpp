// The station's service writes, each recorded in the unit history with what it changed.
#include "station/Station.h"

#include <QCryptographicHash>
#include <QFile>
#include <QFileInfo>

namespace vmx::station {

namespace {

QByteArray Bytes(const sensor::ParameterBlock& b)
{
    return QByteArray(reinterpret_cast<const char*>(b.data()), qsizetype(b.bytes.size()));
}

} // namespace

QByteArray Station::CodeBlock(quint32 offset) const
{
    const auto image = images_.Image(boot::KindCode);
    if (offset == app::kNoOffset || offset + 16 > image.size()) return QByteArray();
    return QByteArray(reinterpret_cast<const char*>(image.data() + offset), 16);
}

QString Station::ServiceSerial() const
{
    // The identification read last, else the identification block of the code image (a download
    // or a memory read holds it, low byte first at 14).
    QString serial = history_->SensorSerial();
    const QByteArray block = CodeBlock(session_.sensor.SNOffset);
    if (serial.isEmpty() && block.size() == 16) {
        const int sn = quint8(block[14]) | (quint8(block[15]) << 8);
        if (sn != 0xFFFF) serial = QString::asprintf("%4.4d", sn);
    }
    return serial;
}

bool Station::RecordWrite(history::ServiceKind kind, bool ok, const QByteArray& before,
                          const QByteArray& after)
{
    history::ServiceEvent e;
    e.kind = kind;
    e.ok = ok;
    e.serial = ServiceSerial();
    e.sensorType = history_->SensorTypeKey();
    e.before = before;
    e.after = after;
    return history_->Record(e);
}

bool Station::RecordFile(history::ServiceKind kind, bool ok, const QString& file, const QString& range)
{
    history::ServiceEvent e;
    e.kind = kind;
    e.ok = ok;
    e.serial = ServiceSerial();
    e.sensorType = history_->SensorTypeKey();
    e.fileName = QFileInfo(file).fileName();
    QFile f(file);
    if (!file.isEmpty() && f.open(QIODevice::ReadOnly)) {
        QCryptographicHash hash(QCryptographicHash::Sha256);
        hash.addData(&f);
        e.fileSha256 = QString::fromLatin1(hash.result().toHex());
    }
    e.range = range;
    return history_->Record(e);
}

bool Station::WriteParameters()
{
    // Before: the block last read from the sensor; after: the block written.
    const QByteArray before = Bytes(params_.read);
    const bool ok = transfer_->Write();
    return RecordWrite(history::ServiceKind::ParameterWrite, ok, before, Bytes(params_.edit)) && ok;
}

// A write of the 16-byte block at `at`, recorded with the block before and after.
bool Station::RecordedBlockWrite(history::ServiceKind kind, quint32 at, const std::function<bool()>& write)
{
    const QByteArray before = CodeBlock(at);
    const bool ok = write();
    return RecordWrite(kind, ok, before, CodeBlock(at)) && ok;
}

bool Station::SetSerialNumber()
{
    return RecordedBlockWrite(history::ServiceKind::IdentWrite, session_.sensor.SNOffset,
                              [this] { return ident_->WriteSerialNumber(); });
}

bool Station::ClearSerialNumber()
{
    return RecordedBlockWrite(history::ServiceKind::IdentWrite, session_.sensor.SNOffset,
                              [this] { return ident_->ClearSerialNumber(); });
}

bool Station::WriteCalibration()
{
    return RecordedBlockWrite(history::ServiceKind::CalibrationWrite, session_.sensor.CalOffset,
                              [this] { return ident_->WriteCalibration(); });
}

bool Station::ClearCalibration()
{
    return RecordedBlockWrite(history::ServiceKind::CalibrationWrite, session_.sensor.CalOffset,
                              [this] { return ident_->ClearCalibration(); });
}

} // namespace vmx::station
