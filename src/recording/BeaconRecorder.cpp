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

using S = StationStatements;

enum LatestData { Callsign = 1, Latitude = 2, Longitude = 3, Date = 4 };

// Runs one store operation; any failure becomes its table's message.
template <typename Operation>
void trapped(RecorderView &view, const QString &message, Operation operation)
{
    try {
        operation();
    } catch (...) {
        view.setStatus(message);
    }
}

// The system's format for a time of day: its long format, which always shows
// the seconds, less the time zone that Qt's long format adds ("h:mm:ss AP t"
// gives "7:05:09 AM"). The short format drops the seconds in many locales.
QString timeOfDayFormat()
{
    const QString longFormat = QLocale::system().timeFormat(QLocale::LongFormat);
    QString format;
    bool quoted = false;
    for (const QChar c : longFormat) {
        if (c == QLatin1Char('\''))
            quoted = !quoted;
        if (quoted || c != QLatin1Char('t'))
            format.append(c);
    }
    return format.trimmed();
}

}  // namespace

BeaconRecorder::BeaconRecorder(RecorderView &view, StatementExecutor &executor)
    : mView(view), mExecutor(executor), mClock([] { return QDateTime::currentDateTime(); })
{ }

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
    // The host answers the weather lookup for this beacon, not for the
    // latest one it heard.
    struct BeingStored {
        HostApplication *host;
        BeingStored(HostApplication *h, const BeaconRecord *beacon) : host(h)
        {
            if (host)
                host->setBeaconBeingStored(beacon);
        }
        ~BeingStored()
        {
            if (host)
                host->setBeaconBeingStored(nullptr);
        }
    } beingStored(mHost, beacon.get());
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
        if (mTimeFormat.isNull())
            mTimeFormat = timeOfDayFormat();
        mShownTimeText = QLocale::system().toString(second, mTimeFormat);
    }
    return mShownDateText + QLatin1Char(' ') + mShownTimeText;
}

void BeaconRecorder::storeStation(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, S::StationsMessage, [&] {
        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(S::stations());
        statement.fill(S::Call, literalText(beacon.callsign(), dialect));
        statement.fill(S::Dtstamp, timestampText(timestamp));
        statement.fill(S::Type, integerText(beacon.stationType()));
        statement.fill(S::Distance, singleText(beacon.distance()));
        statement.fill(S::Lat, singleText(beacon.latitude()));
        statement.fill(S::Lon, singleText(beacon.longitude()));
        statement.fill(S::HeardDirect, integerText(isTrue(beacon.heardDirect())));
        statement.fill(S::RadioPort, integerText(beacon.radioPort()));
        const QString symbolTable = beacon.symbolTable();
        statement.fill(S::Symbol, symbolText(symbolTable, beacon.symbolCode(), dialect));
        statement.fill(S::ObjectOwner, literalText(ownerText(beacon.objectOwner()), dialect));
        execute(statement);
    });
}

void BeaconRecorder::storeFixedData(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, S::FixedMessage, [&] {
        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(S::fixedData());
        statement.fill(S::Call, literalText(beacon.callsign(), dialect));
        statement.fill(S::Dtstamp, timestampText(timestamp));
        statement.fill(S::Status, literalText(beacon.statusText(), dialect));
        const QString packetText = beacon.packetText();
        statement.fill(S::Comment, literalText(commentText(packetText, beacon.commentStart()), dialect));
        statement.fill(S::Path, literalText(extractPath(beacon.packetHeader()), dialect));
        execute(statement);
        mView.setStatus(QString());
    });
}

void BeaconRecorder::storeMobileData(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, S::MobileMessage, [&] {
        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(S::mobileData());
        statement.fill(S::Call, literalText(beacon.callsign(), dialect));
        statement.fill(S::Dtstamp, timestampText(timestamp));
        statement.fill(S::Height, singleText(beacon.height()));
        statement.fill(S::Speed, singleText(beacon.speed()));
        statement.fill(S::Path, literalText(extractPath(beacon.packetHeader()), dialect));
        statement.fill(S::Course, integerText(beacon.course()));
        execute(statement);
        mView.setStatus(QString());
    });
}

void BeaconRecorder::storeWxData(const BeaconRecord &beacon, const QDateTime &timestamp)
{
    trapped(mView, S::WxMessage, [&] {
        QString callsign = beacon.callsign();
        if (!mHost)
            throw HostError("no host application is attached");
        if (isTrue(mHost->lookupWeather(callsign, mWeatherRecord)) != 1)
            return;
        if (!mWeatherRecord)
            throw HostError("the host gave no weather record");
        const WeatherRecord &weather = *mWeatherRecord;

        const SqlDialect dialect = mExecutor.dialect();
        StatementBuilder statement(S::wxData());
        statement.fill(S::Call, literalText(beacon.callsign(), dialect));
        statement.fill(S::Dtstamp, timestampText(timestamp));
        statement.fill(S::Pressure, singleText(weather.pressure()));
        statement.fill(S::Dewpoint, singleText(weather.dewpoint()));
        statement.fill(S::Humidity, singleText(weather.humidity()));
        statement.fill(S::Rain24Hours, singleText(weather.rain24Hours()));
        statement.fill(S::RainLastHour, singleText(weather.rainLastHour()));
        statement.fill(S::RainToday, singleText(weather.rainToday()));
        statement.fill(S::Temp, singleText(weather.temp()));
        statement.fill(S::WindChill, singleText(weather.windChill()));
        statement.fill(S::WindDirection, singleText(weather.windDirection()));
        statement.fill(S::WindGust, singleText(weather.windGust()));
        statement.fill(S::WindSpeed, singleText(weather.windSpeed()));
        execute(statement);
        mView.setStatus(QString());
    });
}

void BeaconRecorder::execute(const StatementBuilder &statement)
{
    mExecutor.execute(statement.statement());
}
