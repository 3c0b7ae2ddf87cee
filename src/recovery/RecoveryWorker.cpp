#include "recovery/RecoveryWorker.h"

#include "db/OdbcConnection.h"
#include "db/OdbcError.h"

void RecoveryWorker::run(const RecoveryWorker::Job &job)
{
    JournalRecovery::Result result;
    result.reachedUtc = job.afterUtc;
    try {
        OdbcConnection connection(QStringLiteral("recovery"));
        connection.open(job.connectString);
        result = JournalRecovery(job.station, job.checks, connection)
                     .run(job.journalFolder, job.afterUtc, job.upToUtc, &mStop);
        connection.close();
    } catch (const OdbcError &error) {
        if (result.problem.isEmpty())
            result.problem = error.describe();
    } catch (const std::exception &error) {
        result.problem = QString::fromLocal8Bit(error.what());
    }
    emit finished(result);
}
