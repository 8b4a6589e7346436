#include "history/HistoryRecords.h"

#include <QTimeZone>

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

} // namespace vmx::history
