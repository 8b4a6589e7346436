#include "sim/Device.h"

namespace vmx::sim {

FrameParser::Result FrameParser::Feed(quint8 b, qint64 tUs)
{
    if (!buf_.isEmpty() && lastUs_ >= 0 && tUs - lastUs_ > kGapUs) buf_.clear();
    lastUs_ = tUs;
    if (buf_.isEmpty()) {
        // Bytes outside a frame that are not our start byte are line noise or another address.
        if (b != proto::kFrameStart + proto::kAddress) return Result::None;
        buf_.append(char(b));
        return Result::None;
    }
    buf_.append(char(b));
    if (buf_.size() < 3) return Result::None;
    const int len = (quint8(buf_[1]) << 8) | quint8(buf_[2]);
    if (len < proto::kMinFrameLength || len > kMaxLength) {
        frame_ = buf_;
        reason_ = QStringLiteral("bad length %1").arg(len);
        buf_.clear();
        return Result::Bad;
    }
    if (buf_.size() < len) return Result::None;
    frame_ = buf_;
    buf_.clear();
    const auto* f = reinterpret_cast<const quint8*>(frame_.constData());
    if (proto::FrameCrc(f, len) != f[len - 1]) {
        reason_ = QStringLiteral("bad checksum");
        return Result::Bad;
    }
    reason_.clear();
    return Result::Frame;
}

void Device::TraceIn(Unit unit, const QByteArray& bytes, qint64 tUs, bool ok, const QString& note)
{
    if (trace) trace->Add(TraceEntry{tUs, Dir::In, unit, bytes, ok, note});
}

void Device::Answer(Unit unit, QByteArray bytes, qint64 tUs, qint64 procUs)
{
    QString note;
    const bool armed = faults.Armed();
    if (!armed) {
        // Still before the aimed point: this answer goes out as it is.
        --faults.afterAnswers;
    } else if (faults.unplug) {
        note = QStringLiteral("unplugged (fault)");
        bytes.clear();
        Unplugged(tUs);
    } else if (faults.mute) {
        note = QStringLiteral("muted (fault)");
        bytes.clear();
    } else if (faults.dropAnswers > 0) {
        --faults.dropAnswers;
        note = QStringLiteral("dropped (fault)");
        bytes.clear();
    } else {
        if (faults.truncateAnswers > 0 && !bytes.isEmpty()) {
            --faults.truncateAnswers;
            bytes.chop(1);
            note = QStringLiteral("truncated (fault)");
        }
        if (faults.corruptAnswers > 0 && !bytes.isEmpty()) {
            --faults.corruptAnswers;
            bytes[bytes.size() - 1] = char(quint8(bytes[bytes.size() - 1]) ^ 0x01);
            note = QStringLiteral("corrupted (fault)");
        }
    }
    const qint64 at = tUs + procUs + (armed ? faults.delayUs : 0);
    if (trace) trace->Add(TraceEntry{at, Dir::Out, unit, bytes, !bytes.isEmpty(), note});
    if (!bytes.isEmpty()) out.Send(bytes, at);
}

QByteArray Device::Framed(quint8 command, const QByteArray& payload)
{
    const int len = int(payload.size()) + proto::kMinFrameLength;
    QByteArray f;
    f.reserve(len);
    f.append(char(proto::kFrameStart + proto::kAddress));
    f.append(char(len >> 8));
    f.append(char(len & 0xFF));
    f.append(char(command));
    f.append(payload);
    f.append(char(0));
    f[len - 1] = char(proto::FrameCrc(reinterpret_cast<const quint8*>(f.constData()), len));
    return f;
}

} // namespace vmx::sim
