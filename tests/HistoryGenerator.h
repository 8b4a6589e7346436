#pragma once
// The history bench's generator, shared with the window test of the statistics: runs of
// realistic steps, texts and measurements (units retested now and then, four stations, five
// definitions, a year of days), one in a hundred step attempts failing. The same runs from the
// same count every time, but for their random run UUIDs.
#include "history/HistoryRecords.h"
#include "history/Schema.h"
#include "history/SqlHistoryStore.h"

#include <QDateTime>
#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>

namespace vmx::generated {

using namespace vmx::history;

inline const char* const kLabels[] = {"QVR05 / Endprüfung Schlauch", "QVR05 / Amplitudenprüfung",
                                      "QVR05 / Kabel und Schirm", "QVR05 / Programmierung SiLab",
                                      "QVR05 / Download"};
inline const char* const kRoutines[] = {"GetSN",       "CheckTK33Ident", "SwitchPowerQVR_ON",
                                        "BootRestart", "CheckFirmware",  "PrepareAmplMeas",
                                        "GetAmplMeas", "WriteResult"};

inline bool Exec(QSqlDatabase& db, const char* sql)
{
    QSqlQuery q(db);
    if (q.exec(QLatin1String(sql))) return true;
    std::fprintf(stderr, "%s: %s\n", sql, qPrintable(q.lastError().text()));
    return false;
}

// The bulk fill (progress on standard error when `progress`): plain prepared inserts in large transactions,
// the sync off while it fills.
inline bool Fill(SqlHistoryStore& store, int runs, QStringList& serials, bool progress = true)
{
    QSqlDatabase& db = store.database();
    // A large page cache for the fill: the random UUID keys touch pages all over the indexes.
    if (!Exec(db, "PRAGMA synchronous=OFF") || !Exec(db, "PRAGMA cache_size=-2000000") ||
        !Exec(db, "INSERT INTO station VALUES ('S2', 'b'), ('S3', 'b'), ('S4', 'b') ON CONFLICT DO NOTHING"))
        return false;
    QSqlQuery unit(db), run(db), step(db), text(db), meas(db), end(db), open(db);
    unit.prepare(QStringLiteral(
        "INSERT INTO unit (serial, sensor_type) VALUES (?, '5028143') ON CONFLICT DO NOTHING"));
    run.prepare(QStringLiteral(
        "INSERT INTO run (uuid, station, serial, sensor_type, label, program, definition_hash, tester, "
        "batch, "
        "batch_comment, year, tech_index, started_at, local_day, version) VALUES (?, ?, ?, '5028143', ?, 5, "
        "'0123456789abcdef0123456789abcdef0123456789abcdef0123456789abcdef', 'Weber', ?, '', '26', 'C', ?, "
        "?, "
        "'V01.50.12.09')"));
    step.prepare(QStringLiteral("INSERT INTO step_attempt VALUES (?, ?, 1, ?, ?, ?, ?)"));
    text.prepare(QStringLiteral("INSERT INTO status_text VALUES (?, ?, 1, 0, ?, ?)"));
    meas.prepare(QStringLiteral("INSERT INTO measurement VALUES (?, ?, 1, 0, ?, ?, ?, '', ?, ?, ?, ?)"));
    end.prepare(QStringLiteral(
        "INSERT INTO run_end (run_uuid, state, verdict, comment, ended_at) VALUES (?, ?, ?, '', ?)"));
    open.prepare(QStringLiteral("INSERT INTO run_open (run_uuid) VALUES (?)"));
    QRandomGenerator rng(4711);
    const QDateTime first = QDateTime(QDate(2026, 1, 1), QTime(6, 0), Qt::UTC);
    int serial = 1;
    QElapsedTimer t;
    t.start();
    db.transaction();
    for (int r = 0; r < runs; ++r) {
        // About one run in seven is a retest of the unit before.
        const bool retest = r > 0 && rng.bounded(7) == 0;
        if (!retest) ++serial;
        const QString sn = QString::asprintf("%6.6d", serial);
        if (!retest) serials << sn;
        const QDateTime start = first.addSecs(qint64(r) * 31);
        const QString uuid = NewUuid(start); // the station's: time-ordered
        unit.addBindValue(sn);
        unit.exec();
        for (const QVariant& v :
             {QVariant(uuid), QVariant(QStringLiteral("S%1").arg(r % 4 + 1)), QVariant(sn),
              QVariant(QString::fromUtf8(kLabels[(serial / 1000) % 5])),
              QVariant(QStringLiteral("B%1").arg(serial / 500)), QVariant(UtcStamp(start)),
              QVariant(start.toLocalTime().date().toString(Qt::ISODate))})
            run.addBindValue(v);
        if (!run.exec()) {
            std::fprintf(stderr, "run: %s\n", qPrintable(run.lastError().text()));
            return false;
        }
        bool failed = false;
        for (int s = 0; s < 8; ++s) {
            const bool bad = rng.bounded(100) == 0;
            failed |= bad;
            step.addBindValue(uuid);
            step.addBindValue(s + 1);
            step.addBindValue(QLatin1String(kRoutines[s]));
            step.addBindValue(bad ? 0 : 1);
            step.addBindValue(UtcStamp(start.addSecs(s * 3)));
            step.addBindValue(int(rng.bounded(3000)));
            step.exec();
            text.addBindValue(uuid);
            text.addBindValue(s + 1);
            text.addBindValue(bad ? QStringLiteral("red") : QStringLiteral("blue"));
            text.addBindValue(
                QStringLiteral("%1: %2").arg(QLatin1String(kRoutines[s]), bad ? "FEHLER" : "okay"));
            text.exec();
            if (s >= 4) {
                const int v = 350 + int(rng.bounded(100));
                meas.addBindValue(uuid);
                meas.addBindValue(s + 1);
                meas.addBindValue(QStringLiteral("Ampl %1").arg(s - 3));
                meas.addBindValue(QString::number(v));
                meas.addBindValue(double(v));
                meas.addBindValue(350.0);
                meas.addBindValue(450.0);
                meas.addBindValue(bad ? 0 : 1);
                meas.addBindValue(UtcStamp(start));
                meas.exec();
            }
        }
        // One run in 200 the operator aborts; the last two are still running, without an end.
        const bool aborted = rng.bounded(200) == 0;
        if (r < runs - 2) {
            end.addBindValue(uuid);
            end.addBindValue(aborted ? QStringLiteral("aborted") : QStringLiteral("done"));
            end.addBindValue(failed || aborted ? QStringLiteral("FEHLER") : QStringLiteral("okay"));
            end.addBindValue(UtcStamp(start.addSecs(30)));
            end.exec();
        } else {
            open.addBindValue(uuid);
            open.exec();
        }
        if (r % 20000 == 19999) {
            if (!db.commit()) return false;
            db.transaction();
            if (progress) std::fprintf(stderr, "\r%d runs, %.0f s", r + 1, t.elapsed() / 1000.0);
        }
    }
    if (!db.commit()) return false;
    if (progress) std::fprintf(stderr, "\r%d runs filled in %.0f s\n", runs, t.elapsed() / 1000.0);
    // What the yields read of a run, in its end, as the program fills it in for ends it finds without.
    // The fill's log written into the database now: a station's log never grows to gigabytes,
    // and the first commit measured after the fill should not pay for it.
    return Exec(db, qPrintable(FillEndsSql(false))) && Exec(db, "PRAGMA synchronous=FULL") &&
           Exec(db, "PRAGMA cache_size=-2000") && Exec(db, "ANALYZE") &&
           Exec(db, "PRAGMA wal_checkpoint(TRUNCATE)");
}

} // namespace vmx::generated
