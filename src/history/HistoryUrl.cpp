#include "history/HistoryUrl.h"

#include <QDir>
#include <QUrl>
#include <QUrlQuery>

namespace vmx::history {

QString DefaultUrl(const QString& dataDir)
{
    return QStringLiteral("sqlite:") + QDir(dataDir).filePath(QStringLiteral("history.db"));
}

bool SqliteFile(const QString& url, const QString& dataDir, QString* file, QString* why)
{
    static const QString scheme = QStringLiteral("sqlite:");
    if (!url.startsWith(scheme)) {
        if (why) *why = QStringLiteral("%1: not a sqlite: URL").arg(url);
        return false;
    }
    const QString path = url.mid(scheme.size());
    if (path.isEmpty()) {
        if (why) *why = QStringLiteral("%1: no file name").arg(url);
        return false;
    }
    if (file) *file = QDir::isAbsolutePath(path) ? path : QDir(dataDir).filePath(path);
    return true;
}

bool IsServerUrl(const QString& url)
{
    return url.startsWith(QLatin1String("postgresql://")) || url.startsWith(QLatin1String("postgres://"));
}

bool ParseServerUrl(const QString& url, ServerUrl* out, QString* why)
{
    auto fail = [&](const QString& reason) {
        if (why) *why = reason;
        return false;
    };
    if (!IsServerUrl(url)) return fail(QStringLiteral("%1: not a postgresql:// URL").arg(url));
    // The authority is taken apart by hand: QUrl would decode a socket folder ("%2Ftmp%2Fpg")
    // into a path and refuse it as a host.
    const int start = url.indexOf(QLatin1String("://")) + 3;
    const int query = url.indexOf(QLatin1Char('?'), start);
    const QString main = url.mid(start, query < 0 ? -1 : query - start);
    const int slash = main.indexOf(QLatin1Char('/'));
    const QString authority = slash < 0 ? main : main.left(slash);
    ServerUrl s;
    s.dbname = slash < 0 ? QString() : QUrl::fromPercentEncoding(main.mid(slash + 1).toUtf8());
    if (s.dbname.contains(QLatin1Char('/'))) return fail(QStringLiteral("%1: bad database name").arg(url));
    QString hostPort = authority;
    if (const int at = authority.lastIndexOf(QLatin1Char('@')); at >= 0) {
        const QString user = authority.left(at);
        if (user.contains(QLatin1Char(':')))
            return fail(QStringLiteral("a password does not belong in the URL: give it by PGPASSFILE, "
                                       "~/.pgpass, a service file or PGPASSWORD"));
        s.user = QUrl::fromPercentEncoding(user.toUtf8());
        hostPort = authority.mid(at + 1);
    }
    // A port follows the last ':' outside an [IPv6] address.
    const int close = hostPort.lastIndexOf(QLatin1Char(']'));
    const int colon = hostPort.lastIndexOf(QLatin1Char(':'));
    if (colon > close) {
        bool ok = false;
        s.port = hostPort.mid(colon + 1).toInt(&ok);
        if (!ok || s.port < 1 || s.port > 65535)
            return fail(QStringLiteral("%1: bad port \"%2\"").arg(url, hostPort.mid(colon + 1)));
        hostPort = hostPort.left(colon);
    }
    if (hostPort.startsWith(QLatin1Char('[')) && hostPort.endsWith(QLatin1Char(']')))
        hostPort = hostPort.mid(1, hostPort.size() - 2);
    s.host = QUrl::fromPercentEncoding(hostPort.toUtf8());
    QStringList options;
    if (query >= 0) {
        const QUrlQuery q(url.mid(query + 1));
        for (const auto& [key, value] : q.queryItems(QUrl::FullyDecoded)) {
            if (key == QLatin1String("password"))
                return fail(QStringLiteral("a password does not belong in the URL: give it by PGPASSFILE, "
                                           "~/.pgpass, a service file or PGPASSWORD"));
            if (key == QLatin1String("host"))
                s.host = value;
            else if (key == QLatin1String("user"))
                s.user = value;
            else if (key == QLatin1String("dbname"))
                s.dbname = value;
            else if (key == QLatin1String("port")) {
                bool ok = false;
                s.port = value.toInt(&ok);
                if (!ok || s.port < 1 || s.port > 65535)
                    return fail(QStringLiteral("%1: bad port \"%2\"").arg(url, value));
            } else if (key.isEmpty() || value.contains(QLatin1Char(';')) || value.contains(QLatin1Char(' ')))
                return fail(QStringLiteral("%1: bad option \"%2\"").arg(url, key));
            else
                options << key + QLatin1Char('=') + value;
        }
    }
    s.options = options.join(QLatin1Char(';'));
    if (out) *out = s;
    return true;
}

} // namespace vmx::history
