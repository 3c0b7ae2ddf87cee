// Times the example queries of docs/queries.md, as written there, on one of
// the test databases (already filled, see run.sh): each query runs REPEATS
// times and all its rows are fetched.
//
// Usage: bench_queries sqlite|postgres|mariadb [SQLITE_FILE] [REPEATS]
#include "TestDatabases.h"
#include "db/OdbcConnection.h"
#include "db/OdbcError.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QRegularExpression>

#include <algorithm>
#include <cstdio>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    if (argc < 2) {
        std::fprintf(stderr, "usage: bench_queries sqlite|postgres|mariadb [SQLITE_FILE] [REPEATS]\n");
        return 2;
    }
    const TestDatabase db = testDatabase(
        QString::fromLatin1(argv[1]), argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("bench.sqlite"));
    const int repeats = argc > 3 ? std::max(1, atoi(argv[3])) : 3;

    QFile file(QStringLiteral(KELDAN_SOURCE_DIR "/docs/queries.md"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) {
        std::fprintf(stderr, "cannot read %s\n", qPrintable(file.fileName()));
        return 1;
    }
    const QString text = QString::fromUtf8(file.readAll());
    static const QRegularExpression example(QStringLiteral("^### ([^\\n]+)\\n+```sql\\n(.*?)```"),
        QRegularExpression::MultilineOption | QRegularExpression::DotMatchesEverythingOption);
    try {
        OdbcConnection connection(QStringLiteral("bench"));
        connection.open(db.connectionString());
        const QString count =
            connection.queryRows(QStringLiteral("select count(*) from stations"), {}).value(0).value(0);
        std::printf("database %s, %s stations rows\n", argv[1], qPrintable(count));
        std::printf("%-55s %8s %10s %10s\n", "query", "rows", "first ms", "median ms");
        for (auto it = example.globalMatch(text); it.hasNext();) {
            const auto match = it.next();
            const QString query = match.captured(2).trimmed();
            QList<double> times;
            qsizetype rows = 0;
            for (int i = 0; i < repeats; ++i) {
                QElapsedTimer timer;
                timer.start();
                rows = connection.queryRows(query, QString()).size();
                times << double(timer.nsecsElapsed()) / 1e6;
            }
            const double first = times.first();
            std::sort(times.begin(), times.end());
            std::printf("%-55s %8lld %10.1f %10.1f\n", qPrintable(match.captured(1).trimmed()),
                static_cast<long long>(rows), first, times.at(times.size() / 2));
            std::fflush(stdout);
        }
        connection.close();
    } catch (const OdbcError &error) {
        std::fprintf(stderr, "%s\n", qPrintable(error.describe()));
        return 1;
    }
    return 0;
}
