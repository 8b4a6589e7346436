#include "boot/DownloadBackup.h"

#include "lang/MessageIds.h"

#include "app/SafeSave.h"
#include "app/Session.h"
#include "boot/BootLoader.h"
#include "boot/MemoryImages.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>

#include <algorithm>
#include <span>

namespace vmx::boot {

using namespace lang::ids;

namespace {
constexpr quint32 kBlock = 16;
constexpr quint32 kParPage = 512;

QByteArray HexRecord(quint32 address, const quint8* data, quint32 n, quint8 type = 0)
{
    quint32 sum = n + (address >> 8) + (address & 0xFF) + type;
    QByteArray r = ":" + QByteArray::number(n, 16).rightJustified(2, '0') +
                   QByteArray::number(address & 0xFFFF, 16).rightJustified(4, '0') +
                   QByteArray::number(type, 16).rightJustified(2, '0');
    for (quint32 i = 0; i < n; ++i) {
        sum += data[i];
        r += QByteArray::number(data[i], 16).rightJustified(2, '0');
    }
    r += QByteArray::number(quint8(-sum), 16).rightJustified(2, '0');
    return r.toUpper() + "\r\n";
}
} // namespace

DownloadBackup::DownloadBackup(app::Session& session, BootLoader& boot) : session_(session), boot_(boot) {}

std::vector<KeptArea> DownloadBackup::Areas(quint32 start, quint32 end) const
{
    const auto& t = session_.sensor;
    std::vector<KeptArea> a;
    auto add = [&](quint32 first, quint32 last) {
        if (first > end || last < start) return;
        a.push_back({std::max(first, start), std::min(last, end)});
    };
    if (t.SNOffset != app::kNoOffset) add(t.SNOffset, t.SNOffset + kBlock - 1);
    if (t.CalOffset != app::kNoOffset) add(t.CalOffset, t.CalOffset + kBlock - 1);
    if (t.ParLen > 0) add(t.ParAddr, t.ParAddr + kParPage - 1);
    return a;
}

bool DownloadBackup::Save(quint32 start, quint32 end)
{
    areas_ = Areas(start, end);
    file_.clear();
    if (areas_.empty()) return true;
    const auto code = boot_.images().Image(KindCode);
    const std::vector<quint8> image(code.begin(), code.end());
    saved_.assign(code.size(), 0xFF);
    const QString read = session_.Msg(kMsgRead[KindCode]);
    bool ok = true;
    for (const KeptArea& a : areas_) {
        if (!(ok = boot_.ReadMemory(kChannelSensor, a.start, read, KindCode, a.end))) break;
        std::copy(code.begin() + a.start, code.begin() + a.end + 1, saved_.begin() + a.start);
    }
    std::copy(image.begin(), image.end(), code.begin());
    if (!ok) return false;

    // The serial number as the identification block holds it (low byte first at 14).
    QString serial = QStringLiteral("unknown");
    const quint32 sn = session_.sensor.SNOffset;
    if (sn != app::kNoOffset && sn + kBlock <= saved_.size() &&
        !(saved_[sn + 14] == 0xFF && saved_[sn + 15] == 0xFF))
        serial = QString::number(saved_[sn + 14] | (saved_[sn + 15] << 8));
    const QString folder = session_.DataFile(QStringLiteral("backup"));
    const QString stamp = QDateTime::currentDateTime().toString(QStringLiteral("yyyyMMdd_HHmmss"));
    QString name = QDir(folder).filePath(QStringLiteral("%1_%2.hex").arg(serial, stamp));
    for (int n = 2; QFileInfo::exists(name); ++n)
        name = QDir(folder).filePath(QStringLiteral("%1_%2_%3.hex").arg(serial, stamp).arg(n));
    QByteArray text;
    for (const KeptArea& a : areas_)
        for (quint32 p = a.start; p <= a.end; p += kBlock)
            text += HexRecord(p, saved_.data() + p, std::min(kBlock, a.end - p + 1));
    text += ":00000001FF\r\n";
    const QString failed = QStringLiteral("Sicherung: FEHLER beim Schreiben von %1").arg(name);
    if (!QDir().mkpath(folder)) return session_.PanelText(1, failed), false;
    app::SafeSave save(name);
    if (save.Open() != app::SaveStatus::Ok || save.file().write(text) != text.size() ||
        save.Commit() != app::SaveStatus::Ok)
        return session_.PanelText(1, failed), false;
    file_ = name;
    session_.PanelText(1, QStringLiteral("Sicherung: %1").arg(QDir::toNativeSeparators(name)));
    return true;
}

bool DownloadBackup::Restore()
{
    const auto code = boot_.images().Image(KindCode);
    for (const KeptArea& a : areas_) {
        // An area the new image fills is the image's: a block is never mixed from two sources.
        auto from = [&](auto& m) { return std::span(m.begin() + a.start, m.begin() + a.end + 1); };
        const bool blank = std::ranges::all_of(from(code), [](quint8 b) { return b == 0xFF; });
        const bool kept = std::ranges::any_of(from(saved_), [](quint8 b) { return b != 0xFF; });
        if (!blank || !kept) continue;
        std::ranges::copy(from(saved_), code.begin() + a.start);
        if (!boot_.WriteMemory(kChannelSensor, a.start, session_.Msg(kMsgWrite[KindCode]), KindCode, a.end) ||
            !boot_.VerifyMemory(kChannelSensor, a.start, session_.Msg(kMsgVerify[KindCode]),
                                session_.Msg(kMsgRead[KindCode]), KindCode, a.end))
            return false;
    }
    if (!file_.isEmpty())
        session_.PanelText(
            1, QStringLiteral("Sicherung zurückgeschrieben: %1").arg(QDir::toNativeSeparators(file_)));
    return true;
}

} // namespace vmx::boot
