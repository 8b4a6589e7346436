#pragma once
// The history's schema as numbered migrations. Each is a list of statements written for both
// SQLite and PostgreSQL: portable types, times as UTC timestamps, UUID keys, and rows that are
// only ever added (a run's end is a row of its own).

#include <QString>
#include <QStringList>

class QSqlDatabase;

namespace vmx::history {

// The statements of migration `version` (1 .. SchemaVersionLatest()).
const QStringList& Migration(int version);
int SchemaVersionLatest();

// A run's yield key as SQL over its run `r` and `okay` (1 when its verdict is okay, else 0), on
// PostgreSQL (`server`) or SQLite: both give the same number for the same run.
QString YieldKeySql(bool server, const QString& okay);
// Fills the yields' columns of every run's end from its run.
QString FillEndsSql(bool server);

// The version a database is at: 0 when it has no schema yet, -1 when it cannot be read.
int SchemaVersionOf(QSqlDatabase& db, QString* why = nullptr);

// Runs the migrations after the database's version up to `target` (the latest when -1), each in
// a transaction of its own. False with the reason when one fails; the versions before it stay.
bool Migrate(QSqlDatabase& db, int target = -1, QString* why = nullptr);

} // namespace vmx::history
