#pragma once
// Where the history is: a URL as MONITOR.INI's [DATABASE] URL= or vmxctl --db gives it.

#include <QString>

namespace vmx::history {

// The default: history.db in the program's data folder (`dataDir`: where the record files go).
QString DefaultUrl(const QString& dataDir);

// The file of a "sqlite:PATH" URL, a relative PATH taken in `dataDir`. False with the reason for
// any other URL.
bool SqliteFile(const QString& url, const QString& dataDir, QString* file, QString* why);

} // namespace vmx::history
