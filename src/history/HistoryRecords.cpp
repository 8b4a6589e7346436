#include "history/HistoryRecords.h"

#include <QRandomGenerator>
#include <QTimeZone>
#include <QUuid>

namespace vmx::history {

namespace {
const char* const kKinds[] = {"parameter-write",   "download",       "ident-write",
                              "calibration-write", "c2-programming", "pic-programming"};
} // namespace

QString KindName(ServiceKind kind)
{
    return QLatin1String(kKinds[int(kind)]);
}

std::optional<ServiceKind> KindFromName(const QString& name)
{
    for (int k = 0; k < int(std::size(kKinds)); ++k)
        if (name == QLatin1String(kKinds[k])) return ServiceKind(k);
    return std::nullopt;
}

QString StateName(RunState state)
{
    switch (state) {
    case RunState::Running:
        return QStringLiteral("running");
    case RunState::Done:
        return QStringLiteral("done");
    case RunState::Aborted:
        return QStringLiteral("aborted");
    }
    return QString();
}

QString UtcStamp(const QDateTime& t)
{
    return t.toUTC().toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

QDateTime FromUtcStamp(const QString& text)
{
    QDateTime t = QDateTime::fromString(text.left(23), QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
    if (!t.isValid()) t = QDateTime::fromString(text.left(19), QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    t.setTimeZone(QTimeZone::utc());
    return t;
}

QString NewUuid(const QDateTime& at)
{
    QByteArray b(16, '\0');
    const quint64 ms = quint64(at.toMSecsSinceEpoch());
    for (int i = 0; i < 6; ++i)
        b[i] = char(ms >> (8 * (5 - i)));
    const quint64 r1 = QRandomGenerator::system()->generate64(),
                  r2 = QRandomGenerator::system()->generate64();
    for (int i = 6; i < 16; ++i)
        b[i] = char((i < 12 ? r1 : r2) >> (8 * (i % 6)));
    b[6] = char(0x70 | (b[6] & 0x0F)); // version 7
    b[8] = char(0x80 | (b[8] & 0x3F)); // RFC 4122 variant
    return QUuid::fromRfc4122(b).toString(QUuid::WithoutBraces);
}

} // namespace vmx::history
