#include "recording/BatchExecutor.h"

#include "db/FailureKind.h"
#include "db/LiteralRule.h"
#include "recording/StationStatements.h"
#include "recording/ValueText.h"

#include <QHash>
#include <QSet>

#include <algorithm>
#include <utility>

BatchExecutor::BatchExecutor(OdbcConnection &connection, int beaconsPerTransaction)
    : mConnection(connection), mDialect(connection.dialect()),
      mBeaconsPerTransaction(std::max(1, beaconsPerTransaction))
{ }

void BatchExecutor::begin()
{
    // MariaDB refuses a statement longer than its packet limit; a character
    // may take up to four bytes.
    if (LiteralRule::family(mConnection.dbmsName()) == LiteralRule::Family::MySql) {
        const QList<QStringList> rows = mConnection.queryRows(QStringLiteral("select @@max_allowed_packet"), QString());
        const qint64 packetBytes = rows.value(0).value(0).toLongLong();
        if (packetBytes > 0)
            mCharactersPerStatement = std::clamp<qsizetype>(packetBytes / 4, 1024, CharactersPerStatement);
    }
    mConnection.setAutocommit(false);
    mBegun = true;
}

bool BatchExecutor::mayPassLater(const OdbcError &error) const
{
    return mayPass(failureKind(error, mConnection.dbmsName()));
}

void BatchExecutor::fail(const QString &why)
{
    if (!mFatal)
        mFatal = why;
    try {
        mConnection.rollback();
    } catch (const OdbcError &) {
        // The connection is gone; its transaction went with it.
    }
    mBatch.clear();
    mCurrent = Beacon();
}

void BatchExecutor::refuse(const OdbcError &error)
{
    const OdbcDiagnostic first = error.diagnostics().value(0);
    ++mRefusals[QStringLiteral("%1 %2").arg(first.sqlState, first.message.simplified())];
}

void BatchExecutor::run(const QString &statement)
{
    ++mStatementsSent;
    mConnection.execute(statement);
}

void BatchExecutor::startBeacon(const BeaconKey &key)
{
    if (!mCurrent.statements.isEmpty())
        endBeacon();
    mCurrent.key = key;
}

void BatchExecutor::execute(const QString &statement)
{
    if (mFatal)
        throw OdbcError(QStringLiteral("SQLExecDirect"),
            {{QStringLiteral("08003"), 0, QStringLiteral("The import stopped: ") + *mFatal}});
    mCurrent.statements.append(statement);
}

void BatchExecutor::endBeacon()
{
    if (!mFatal && !mCurrent.statements.isEmpty())
        mBatch.append(std::move(mCurrent));
    mCurrent = Beacon();
    if (mBatch.size() >= mBeaconsPerTransaction)
        writeBatch();
}

void BatchExecutor::commit()
{
    if (!mCurrent.statements.isEmpty())
        endBeacon();
    writeBatch();
}

void BatchExecutor::writeBatch()
{
    QList<Beacon> batch;
    batch.swap(mBatch);
    if (mFatal || batch.isEmpty())
        return;
    const QList<Found> stored = findStored(batch);
    if (mFatal)
        return;
    QList<Beacon> fresh;
    fresh.reserve(batch.size());
    for (qsizetype i = 0; i < batch.size(); ++i) {
        if (stored.at(i) == Found::InTable && mCompletesStoredBeacons) {
            QStringList missing = missingDetails(batch.at(i));
            if (mFatal)
                return;
            if (!missing.isEmpty()) {
                batch[i].statements = std::move(missing);
                fresh.append(std::move(batch[i]));
                continue;
            }
        }
        if (stored.at(i) != Found::New)
            ++mAlreadyStored;
        else
            fresh.append(std::move(batch[i]));
    }
    // The look-up's transaction ends before the writes begin: SQLite cannot
    // turn a read transaction into a write one once another connection (the
    // live drain beside a recovery) has written since; a transaction that
    // begins with its write waits for the lock instead.
    if (!rolledBack())
        return;
    if (!fresh.isEmpty() && !writeMerged(fresh) && !mFatal)
        writeOneByOne(fresh);
}

QList<BatchExecutor::Found> BatchExecutor::findStored(const QList<Beacon> &batch)
{
    QList<Found> stored(batch.size(), Found::New);
    QSet<QString> callsigns;
    QString calls;
    QString first;
    QString last;
    for (const Beacon &beacon : batch) {
        const BeaconKey &key = beacon.key;
        if (!key.isValid())
            continue;
        if (first.isEmpty() || key.dtstamp < first)
            first = key.dtstamp;
        if (last.isEmpty() || key.dtstamp > last)
            last = key.dtstamp;
        if (callsigns.contains(key.callsign))
            continue;
        callsigns.insert(key.callsign);
        if (!calls.isEmpty())
            calls += QLatin1Char(',');
        calls += QLatin1Char('\'') + literalText(key.callsign, mDialect) + QLatin1Char('\'');
    }
    if (callsigns.isEmpty())
        return stored;

    // The (callsign, dtstamp) index answers it: a range per callsign.
    const QString select = QStringLiteral("select callsign, dtstamp, lat, lon from stations where dtstamp >= '")
        + literalText(first, mDialect) + QStringLiteral("' and dtstamp <= '") + literalText(last, mDialect)
        + QStringLiteral("' and callsign in (") + calls + QLatin1Char(')');
    struct Position {
        double latitude;
        double longitude;
        Found found;
    };
    QHash<QString, QList<Position>> positions;  // by callsign and time
    auto at = [](const QString &callsign, const QString &dtstamp) { return callsign + QLatin1Char('\n') + dtstamp; };
    try {
        ++mStatementsSent;
        mConnection.forEachRow(select, QString(), [&](const QStringList &row) {
            // A server may add fractions of a second to the time's text.
            positions[at(row.value(0), row.value(1).left(19))].append(
                {row.value(2).toDouble(), row.value(3).toDouble(), Found::InTable});
        });
    } catch (const OdbcError &error) {
        // A table that cannot be read: the statements say why, one by one.
        if (!rolledBackAfter(error))
            return stored;
    }
    // A beacon met earlier in the batch counts as stored too.
    for (qsizetype i = 0; i < batch.size(); ++i) {
        const BeaconKey &key = batch.at(i).key;
        if (!key.isValid())
            continue;
        QList<Position> &known = positions[at(key.callsign, key.dtstamp)];
        const auto same = std::find_if(known.cbegin(), known.cend(),
            [&key](const Position &p) { return key.samePosition(p.latitude, p.longitude); });
        if (same != known.cend())
            stored[i] = same->found;
        else
            known.append({key.latitude, key.longitude, Found::EarlierInBatch});
    }
    return stored;
}

QStringList BatchExecutor::missingDetails(const Beacon &beacon)
{
    QStringList missing;
    for (qsizetype i = 1; i < beacon.statements.size(); ++i) {
        const QString &statement = beacon.statements.at(i);
        const QString query = StationStatements::sameBeaconQuery(statement, mDialect);
        if (query.isEmpty())
            continue;
        try {
            ++mStatementsSent;
            if (mConnection.queryRows(query, QString()).isEmpty())
                missing.append(statement);
        } catch (const OdbcError &error) {
            // An unreadable table: its statement will say why when it runs.
            if (!rolledBackAfter(error))
                return {};
            missing.append(statement);
        }
    }
    return missing;
}

bool BatchExecutor::rolledBackAfter(const OdbcError &error)
{
    if (mayPassLater(error)) {
        fail(error.describe());
        return false;
    }
    return rolledBack();
}

bool BatchExecutor::rolledBack()
{
    try {
        if (mBegun)
            mConnection.rollback();
    } catch (const OdbcError &error) {
        fail(error.describe());
        return false;
    }
    return true;
}

bool BatchExecutor::writeMerged(const QList<Beacon> &beacons)
{
    // The rows of one template travel together, in the order of their
    // beacons, so each table numbers its rows as the single statements would.
    QStringList heads;
    QHash<QString, QStringList> rows;
    QStringList others;
    for (const Beacon &beacon : beacons) {
        for (const QString &statement : beacon.statements) {
            const qsizetype values = StationStatements::failureMessageOf(statement).isEmpty()
                ? -1
                : statement.indexOf(QLatin1String("values ("));
            if (values < 0) {
                others.append(statement);
                continue;
            }
            const QString head = statement.left(values + 7);
            auto it = rows.find(head);
            if (it == rows.end()) {
                heads.append(head);
                it = rows.insert(head, QStringList());
            }
            it->append(statement.mid(values + 7));
        }
    }
    try {
        for (const QString &head : std::as_const(heads)) {
            QString statement;
            int count = 0;
            for (const QString &row : std::as_const(rows[head])) {
                if (count > 0
                    && (count >= RowsPerStatement || statement.size() + 1 + row.size() > mCharactersPerStatement)) {
                    run(statement);
                    count = 0;
                }
                if (count == 0) {
                    statement = head;
                } else {
                    statement += QLatin1Char(',');
                }
                statement += row;
                ++count;
            }
            if (count > 0)
                run(statement);
        }
        for (const QString &statement : std::as_const(others))
            run(statement);
    } catch (const OdbcError &error) {
        rolledBackAfter(error);
        return false;
    }
    if (!committed())
        return false;
    mStored += beacons.size();
    return true;
}

bool BatchExecutor::committed()
{
    if (!mBegun)
        return true;
    try {
        mConnection.commit();
    } catch (const OdbcError &error) {
        fail(QStringLiteral("the database refused to commit: ") + error.describe());
        return false;
    }
    ++mTransactions;
    return true;
}

void BatchExecutor::writeOneByOne(const QList<Beacon> &beacons)
{
    QStringList open;  // statements of the open transaction, in order
    qint64 storedOpen = 0;
    qint64 refusedOpen = 0;
    auto commitOpen = [&]() {
        if (!committed())
            return false;
        mStored += storedOpen;
        mRefused += refusedOpen;
        storedOpen = refusedOpen = 0;
        open.clear();
        return true;
    };
    for (const Beacon &beacon : beacons) {
        bool refused = false;
        for (const QString &statement : beacon.statements) {
            try {
                run(statement);
                open.append(statement);
                continue;
            } catch (const OdbcError &error) {
                if (mayPassLater(error)) {
                    fail(error.describe());
                    return;
                }
                refuse(error);
                refused = true;
            }
            if (!mBegun)
                continue;
            // The transaction is made again of the statements before this
            // one and committed at once, so that a run of refusals does not
            // write the same statements again and again.
            try {
                mConnection.rollback();
                for (const QString &before : std::as_const(open))
                    run(before);
            } catch (const OdbcError &error) {
                fail(QStringLiteral("the database failed while writing a transaction again: ") + error.describe());
                return;
            }
            if (!commitOpen())
                return;
        }
        ++(refused ? refusedOpen : storedOpen);
    }
    commitOpen();
}
