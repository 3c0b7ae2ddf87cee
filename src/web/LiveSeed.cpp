#include "web/LiveSeed.h"

#include "db/OdbcConnection.h"
#include "db/OdbcError.h"
#include "report/ReportReader.h"

#include <QPointer>

#include <mutex>
#include <thread>

struct LiveSeed::Shared {
    std::mutex mutex;
    QObject *context = nullptr;  // null once the seed is gone
};

LiveSeed::LiveSeed() : mShared(std::make_shared<Shared>()), mContext(std::make_unique<QObject>())
{
    mShared->context = mContext.get();
}

LiveSeed::~LiveSeed()
{
    const std::lock_guard lock(mShared->mutex);
    mShared->context = nullptr;
}

void LiveSeed::start(const QString &connectionString, const ReportPeriod &period, Done done)
{
    std::thread([shared = mShared, connectionString, period, done = std::move(done)] {
        ReportData data;
        QString failure;
        try {
            OdbcConnection connection(QStringLiteral("Live page"));
            connection.open(connectionString);
            data = ReportReader(connection).read(period);
            connection.close();
        } catch (const OdbcError &e) {
            failure = QStringLiteral("%1 [%2] %3")
                          .arg(e.sqlState())
                          .arg(e.diagnostics().isEmpty() ? 0 : e.diagnostics().first().nativeError)
                          .arg(e.diagnostics().isEmpty() ? QString() : e.diagnostics().first().message);
        } catch (const std::exception &e) {
            failure = QString::fromLocal8Bit(e.what());
        } catch (...) {
            failure = QStringLiteral("unknown failure");
        }
        const std::lock_guard lock(shared->mutex);
        if (shared->context)
            QMetaObject::invokeMethod(
                shared->context, [done, data = std::move(data), failure] { done(data, failure); },
                Qt::QueuedConnection);
    }).detach();
}
