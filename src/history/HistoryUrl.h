#pragma once
// Where the history is: a URL as MONITOR.INI's [DATABASE] URL= or vmxctl --db gives it.
//   sqlite:PATH                                          a station's own store
//   postgresql://user@host:port/dbname?sslmode=require   a line's server
// A server URL never holds a password: libpq finds it itself (PGPASSFILE, ~/.pgpass, a service
// file, PGPASSWORD), so it stands in no file of ours, on no command line and in no log.

#include <QString>

namespace vmx::history {

// The default: history.db in the program's data folder (`dataDir`: where the record files go).
QString DefaultUrl(const QString& dataDir);

// The file of a "sqlite:PATH" URL, a relative PATH taken in `dataDir`. False with the reason for
// any other URL.
bool SqliteFile(const QString& url, const QString& dataDir, QString* file, QString* why);

// A line's server as a "postgresql://" (or "postgres://") URL names it.
struct ServerUrl {
    QString user;   // empty: libpq's default (PGUSER, the login name)
    QString host;   // a name, an address, or a socket folder (starts with '/'); empty: libpq's default
    int port = -1;  // -1: libpq's default
    QString dbname; // empty: libpq's default
    // libpq connection options from the query (sslmode, connect_timeout, application_name,
    // service, ...), "key=value" joined by ';' as the Qt driver takes them.
    QString options;
};

bool IsServerUrl(const QString& url);
// False with the reason for a URL that is not a server's, holds a password, or is malformed.
bool ParseServerUrl(const QString& url, ServerUrl* out, QString* why);

} // namespace vmx::history
