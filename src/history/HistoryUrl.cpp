#include "history/HistoryUrl.h"

#include <QDir>

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

} // namespace vmx::history
