#pragma once
// A private PostgreSQL server for the tests: initdb and pg_ctl from Debian's
// /usr/lib/postgresql/<version>/bin, a cluster in a temporary folder, listening only on a Unix
// socket in that folder. initdb refuses root, so as root (CI) the
// cluster belongs to the `postgres` user and its programs run through runuser.
// Missing binaries leave skipReason() set; VMX_REQUIRE_POSTGRES=1 (CI) makes that a failure.

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QUrl>

#include <pwd.h>
#include <unistd.h>

#include <gtest/gtest.h>

namespace vmx::testing {

struct PgConnection {
    QString socketDir;
    int port = 0;
};

class PgServer {
public:
    PgServer()
    {
        const QStringList versions = QDir(QStringLiteral("/usr/lib/postgresql"))
                                         .entryList(QDir::Dirs | QDir::NoDotAndDotDot, QDir::Name);
        for (const QString& v : versions)
            if (QFile::exists(QStringLiteral("/usr/lib/postgresql/%1/bin/pg_ctl").arg(v)))
                bin_ = QStringLiteral("/usr/lib/postgresql/%1/bin/").arg(v);
        if (bin_.isEmpty()) {
            skip_ =
                QStringLiteral("PostgreSQL is not installed (/usr/lib/postgresql/*/bin/pg_ctl): the server "
                               "tests are skipped (apt-get install postgresql)");
            return;
        }
        if (geteuid() == 0) {
            const passwd* pw = getpwnam("postgres");
            if (!pw) {
                skip_ =
                    QStringLiteral("running as root without a postgres user: the server tests are skipped");
                return;
            }
            if (chown(QFile::encodeName(dir_.path()).constData(), pw->pw_uid, pw->pw_gid) != 0) {
                error_ = QStringLiteral("cannot hand %1 to the postgres user").arg(dir_.path());
                return;
            }
            runAs_ = {QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                      QStringLiteral("--")};
        }
        if (!Run(QStringLiteral("initdb"),
                 {QStringLiteral("-D"), Data(), QStringLiteral("-U"), QStringLiteral("vmx"),
                  QStringLiteral("-A"), QStringLiteral("trust"), QStringLiteral("-E"), QStringLiteral("UTF8"),
                  QStringLiteral("--no-sync")}))
            return;
        Start();
    }
    ~PgServer()
    {
        if (!bin_.isEmpty() && QFile::exists(Data() + QStringLiteral("/postmaster.pid")))
            Run(QStringLiteral("pg_ctl"),
                {QStringLiteral("-D"), Data(), QStringLiteral("-m"), QStringLiteral("immediate"),
                 QStringLiteral("-w"), QStringLiteral("stop")});
    }

    // Empty when the server runs; else why the tests cannot use it.
    const QString& skipReason() const { return skip_; }
    const QString& error() const { return error_; }

    bool Start()
    {
        return Run(
            QStringLiteral("pg_ctl"),
            {QStringLiteral("-D"), Data(), QStringLiteral("-l"), dir_.filePath(QStringLiteral("log")),
             QStringLiteral("-w"), QStringLiteral("-o"),
             QStringLiteral("-k %1 -p %2 -c listen_addresses='' -c fsync=off").arg(dir_.path()).arg(port_),
             QStringLiteral("start")});
    }
    bool Stop()
    {
        return Run(QStringLiteral("pg_ctl"),
                   {QStringLiteral("-D"), Data(), QStringLiteral("-m"), QStringLiteral("fast"),
                    QStringLiteral("-w"), QStringLiteral("stop")});
    }

    // The URL of database `db` as user `user` through the socket.
    QString Url(const QString& db, const QString& user = QStringLiteral("vmx")) const
    {
        // Joined, not arg()ed: the encoded folder holds "%2F".
        return QStringLiteral("postgresql://") + user + QLatin1Char('@') +
               QString::fromLatin1(QUrl::toPercentEncoding(dir_.path())) + QLatin1Char(':') +
               QString::number(port_) + QLatin1Char('/') + db;
    }
    PgConnection Connection(const QString&) const { return {dir_.path(), port_}; }
    // Runs SQL statements in database `db` as the cluster's owner through psql.
    bool Psql(const QString& db, const QString& sql)
    {
        return Run(QStringLiteral("psql"),
                   {QStringLiteral("-X"), QStringLiteral("-q"), QStringLiteral("-v"),
                    QStringLiteral("ON_ERROR_STOP=1"), QStringLiteral("-h"), dir_.path(),
                    QStringLiteral("-p"), QString::number(port_), QStringLiteral("-U"), QStringLiteral("vmx"),
                    QStringLiteral("-d"), db, QStringLiteral("-c"), sql});
    }

    // The line's station role, as the README gives it: it can add rows and read them, nothing more.
    bool StationRole(const QString& db)
    {
        return Psql(db, QStringLiteral("CREATE ROLE station LOGIN; GRANT CONNECT ON DATABASE %1 TO station; "
                                       "GRANT USAGE ON SCHEMA public TO station; GRANT SELECT, INSERT ON ALL "
                                       "TABLES IN SCHEMA public TO station;")
                            .arg(db));
    }

private:
    QString Data() const { return dir_.filePath(QStringLiteral("data")); }

    bool Run(const QString& program, const QStringList& args)
    {
        QProcess p;
        QStringList all = runAs_;
        all << bin_ + program << args;
        p.setWorkingDirectory(dir_.path());
        p.start(all.takeFirst(), all);
        if (p.waitForFinished(120000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0)
            return true;
        error_ = QStringLiteral("%1: %2%3")
                     .arg(program, QString::fromLocal8Bit(p.readAllStandardError()),
                          QString::fromLocal8Bit(p.readAllStandardOutput()));
        return false;
    }

    QTemporaryDir dir_;
    QString bin_, skip_, error_;
    QStringList runAs_;
    // The socket is in the private folder, so the usual port number clashes with no other server.
    int port_ = 5432;
};

// In a test: skips (or fails under VMX_REQUIRE_POSTGRES) without the binaries, fails when the
// server does not start.
#define VMX_NEED_PG(server)                                                                                  \
    do {                                                                                                     \
        if (!(server).skipReason().isEmpty()) {                                                              \
            if (qEnvironmentVariableIsSet("VMX_REQUIRE_POSTGRES"))                                           \
                FAIL() << (server).skipReason().toStdString();                                               \
            GTEST_SKIP() << (server).skipReason().toStdString();                                             \
        }                                                                                                    \
        ASSERT_TRUE((server).error().isEmpty()) << (server).error().toStdString();                           \
    } while (0)

} // namespace vmx::testing
