#include "recording/BeaconRecorder.h"

#include "db/StatementExecutor.h"
#include "recording/CoordinateText.h"
#include "recording/FieldText.h"
#include "recording/RecorderView.h"
#include "recording/StatementBuilder.h"
#include "recording/StationStatements.h"
#include "recording/ValueText.h"

#include <QLocale>

namespace {

enum LatestData { Callsign = 1, Latitude = 2, Longitude = 3, Date = 4 };

// Runs one store operation; any failure becomes its table's message.
template<typename Operation>
void trapped(RecorderView &view, const char *message, Operation operation)
{
    try {
        operation();
    } catch (...) {
        view.setStatus(QString::fromLatin1(message));
    }
}

} // namespace

BeaconRecorder::BeaconRecorder(RecorderView &view, StatementExecutor &executor)
    : mView(view)
    , mExecutor(executor)
    , mClock([] { return QDateTime::currentDateTime(); })
{
}

void BeaconRecorder::attachHost(HostApplication *host)
{
    mHost = host;
}

void BeaconRecorder::setClock(std::function<QDateTime()> clock)
{
    mClock = std::move(clock);
}

void BeaconRecorder::processBeacon(const BeaconRecordRef &beacon) noexcept
{
    try {
        showAndRoute(beacon);
    } catch (...) {
        try {
            mView.setStatus(QStringLiteral("Error Inserting Data into database"));
        } catch (...) {
            // The status line itself failed: nothing is left to report on.
        }
    }
}

void BeaconRecorder::showAndRoute(const BeaconRecordRef &beacon)
{
    if (mView.checkValue(RecorderView::EnableBridge) == 0)
        return;
    if (!beacon)
        throw HostError("no beacon record");
    const BeaconRecord &record = *beacon;
    if (mView.checkValue(RecorderView::EnforceExclusions) == 1 && isTrue(record.excluded()) == 1)
        return;

    mView.setLatestData(Callsign, record.callsign());
    // Minutes to degrees in single precision, as the host's own values are.
    const float latitudeDeg = record.latitude() / 60.0f;
    mView.setLatestData(Latitude, convertDecimaltoLatORLon(double(latitudeDeg), true, true));
    const float longitudeDeg = record.longitude() / 60.0f;
    mView.setLatestData(Longitude, convertDecimaltoLatORLon(double(longitudeDeg), false, true));
    mView.setLatestData(Date, localDateTimeText(mClock()));

    // The later of the two times, timeB when they are equal; the chosen one
    // is read again.
    const QDateTime timeB = record.timeB();
    const QDateTime timeA = record.timeA();
    const QDateTime timestamp = timeB < timeA ? record.timeA() : record.timeB();

    // Each test reads its switch, then stationType afresh, whatever the
    // switch says.
    const bool fixed = mView.checkValue(RecorderView::Fixed) == 1;
    if ((record.stationType() == StationType::Fixed) && fixed) {
        storeStation(record, timestamp);
        storeFixedData(record, timestamp);
    }
    const bool mobile = mView.checkValue(RecorderView::Mobile) == 1;
    if ((record.stationType() == StationType::Mobile) && mobile) {
        storeStation(record, timestamp);
        storeMobileData(record, timestamp);
    }
    const bool wx = mView.checkValue(RecorderView::Wx) == 1;
    if ((record.stationType() == StationType::Weather) && wx) {
        storeStation(record, timestamp);
        storeWxData(record, timestamp);
    }
}

QString BeaconRecorder::localDateTimeText(const QDateTime &now)
{
    const QDate date = now.date();
    const QTime time = now.time();
    const QTime second(time.hour(), time.minute(), time.second());
    if (date != mShownDate || mShownDateText.isNull()) {
        mShownDate = date;
        mShownDateText = QLocale::system().toString(date, QLocale::ShortFormat);
    }
    if (second != mShownTime || mShownTimeText.isNull()) {
        mShownTime = second;
        mShownTimeText = QLocale::system().toString(second, QLocale::ShortFormat);
    }
    return mShownDateText + QLatin1Char(' ') + mShownTimeText;
}

void BeaconRecorder::storeStation(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, "Stations Table (Error Inserting Data into database)", [&] {
        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(stationsStatement());
        statement.fill(QStringLiteral("<CALL>"), literalText(beacon.callsign(), dialect));
        statement.fill(QStringLiteral("<DTSTAMP>"), timestampText(timestamp));
        statement.fill(QStringLiteral("<TYPE>"), integerText(beacon.stationType()));
        statement.fill(QStringLiteral("<DISTANCE>"), singleText(beacon.distance()));
        statement.fill(QStringLiteral("<LAT>"), singleText(beacon.latitude()));
        statement.fill(QStringLiteral("<LON>"), singleText(beacon.longitude()));
        statement.fill(QStringLiteral("<HEARD_DIRECT>"), integerText(isTrue(beacon.heardDirect())));
        statement.fill(QStringLiteral("<RADIO_PORT>"), integerText(beacon.radioPort()));
        const QString symbolTable = beacon.symbolTable();
        statement.fill(QStringLiteral("<SYMBOL>"), symbolText(symbolTable, beacon.symbolCode(), dialect));
        statement.fill(QStringLiteral("<OBJECT_OWNER>"), literalText(ownerText(beacon.objectOwner()), dialect));
        execute(statement);
    });
}

void BeaconRecorder::storeFixedData(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, "Fixed Table (Error Inserting Data into database)", [&] {
        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(fixedDataStatement());
        statement.fill(QStringLiteral("<CALL>"), literalText(beacon.callsign(), dialect));
        statement.fill(QStringLiteral("<DTSTAMP>"), timestampText(timestamp));
        statement.fill(QStringLiteral("<STATUS>"), literalText(beacon.statusText(), dialect));
        const QString packetText = beacon.packetText();
        statement.fill(QStringLiteral("<COMMENT>"), literalText(commentText(packetText, beacon.commentStart()), dialect));
        statement.fill(QStringLiteral("<PATH>"), literalText(extractPath(beacon.packetHeader()), dialect));
        execute(statement);
        mView.setStatus(QString());
    });
}

void BeaconRecorder::storeMobileData(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, "Mobile Table (Error Inserting Data into database)", [&] {
        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(mobileDataStatement());
        statement.fill(QStringLiteral("<CALL>"), literalText(beacon.callsign(), dialect));
        statement.fill(QStringLiteral("<DTSTAMP>"), timestampText(timestamp));
        statement.fill(QStringLiteral("<HEIGHT>"), singleText(beacon.height()));
        statement.fill(QStringLiteral("<SPEED>"), singleText(beacon.speed()));
        statement.fill(QStringLiteral("<PATH>"), literalText(extractPath(beacon.packetHeader()), dialect));
        statement.fill(QStringLiteral("<COURSE>"), integerText(beacon.course()));
        execute(statement);
        mView.setStatus(QString());
    });
}

void BeaconRecorder::storeWxData(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, "WX Table (Error Inserting Data into database)", [&] {
        QString callsign = beacon.callsign();
        if (!mHost)
            throw HostError("no host application is attached");
        if (isTrue(mHost->lookupWeather(callsign, mWeatherRecord)) != 1)
            return;
        if (!mWeatherRecord)
            throw HostError("the host gave no weather record");
        const WeatherRecord &weather = *mWeatherRecord;

        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(wxDataStatement());
        statement.fill(QStringLiteral("<CALL>"), literalText(beacon.callsign(), dialect));
        statement.fill(QStringLiteral("<DTSTAMP>"), timestampText(timestamp));
        statement.fill(QStringLiteral("<PRESSURE>"), singleText(weather.pressure()));
        statement.fill(QStringLiteral("<DEWPOINT>"), singleText(weather.dewpoint()));
        statement.fill(QStringLiteral("<HUMIDITY>"), singleText(weather.humidity()));
        statement.fill(QStringLiteral("<RAIN_24HOURS>"), singleText(weather.rain24Hours()));
        statement.fill(QStringLiteral("<RAIN_LAST_HOUR>"), singleText(weather.rainLastHour()));
        statement.fill(QStringLiteral("<RAIN_TODAY>"), singleText(weather.rainToday()));
        statement.fill(QStringLiteral("<TEMP>"), singleText(weather.temp()));
        statement.fill(QStringLiteral("<WIND_CHILL>"), singleText(weather.windChill()));
        statement.fill(QStringLiteral("<WIND_DIRECTION>"), singleText(weather.windDirection()));
        statement.fill(QStringLiteral("<WIND_GUST>"), singleText(weather.windGust()));
        statement.fill(QStringLiteral("<WIND_SPEED>"), singleText(weather.windSpeed()));
        execute(statement);
        mView.setStatus(QString());
    });
}

void BeaconRecorder::execute(const StatementBuilder &statement)
{
    mExecutor.execute(statement.statement());
}
