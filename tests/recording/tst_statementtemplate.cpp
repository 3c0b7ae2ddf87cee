#include "recording/StatementBuilder.h"
#include "recording/StatementTemplate.h"
#include "recording/StationStatements.h"

#include <QTest>
#include <stdexcept>

class TestStatementTemplate : public QObject
{
    Q_OBJECT

private slots:
    void substitution_data();
    void substitution();

    void fillOrder_data();
    void fillOrder();

    void tableStatements_data();
    void tableStatements();
};

void TestStatementTemplate::substitution_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QStringList>("placeholders");
    QTest::addColumn<QStringList>("values");
    QTest::addColumn<QString>("expected");

    const QStringList ab = {QStringLiteral("<A>"), QStringLiteral("<B>")};
    QTest::addRow("each in its place") << QStringLiteral("x('<A>',<B>)") << ab
                                       << QStringList {QStringLiteral("1"), QStringLiteral("2")}
                                       << QStringLiteral("x('1',2)");
    QTest::addRow("every occurrence is replaced")
        << QStringLiteral("<A>-<A>-<B>") << ab << QStringList {QStringLiteral("a"), QStringLiteral("b")}
        << QStringLiteral("a-a-b");
    QTest::addRow("a later token inside a value stays")
        << QStringLiteral("'<A>','<B>'") << ab << QStringList {QStringLiteral("<B>"), QStringLiteral("b")}
        << QStringLiteral("'<B>','b'");
    QTest::addRow("an earlier token inside a value stays")
        << QStringLiteral("'<A>','<B>'") << ab << QStringList {QStringLiteral("a"), QStringLiteral("<A>")}
        << QStringLiteral("'a','<A>'");
    QTest::addRow("empty values") << QStringLiteral("'<A>',<B>") << ab << QStringList {QString(), QString()}
                                  << QStringLiteral("'',");
    QTest::addRow("the search is case-sensitive")
        << QStringLiteral("<a><A>") << ab << QStringList {QStringLiteral("1"), QStringLiteral("2")}
        << QStringLiteral("<a>1");
    QTest::addRow("a token not in the list stays")
        << QStringLiteral("<C><A>") << ab << QStringList {QStringLiteral("1"), QStringLiteral("2")}
        << QStringLiteral("<C>1");
}

void TestStatementTemplate::substitution()
{
    QFETCH(QString, text);
    QFETCH(QStringList, placeholders);
    QFETCH(QStringList, values);
    QFETCH(QString, expected);

    const StatementTemplate statementTemplate(text, placeholders);
    QCOMPARE(statementTemplate.fill(values), expected);

    StatementBuilder builder(statementTemplate);
    for (int i = 0; i < placeholders.size(); ++i)
        builder.fill(placeholders.at(i), values.at(i));
    QCOMPARE(builder.statement(), expected);
}

void TestStatementTemplate::fillOrder_data()
{
    QTest::addColumn<QStringList>("filled");
    QTest::addColumn<bool>("accepted");

    QTest::addRow("in order") << QStringList {QStringLiteral("<A>"), QStringLiteral("<B>"), QStringLiteral("<C>")}
                              << true;
    QTest::addRow("out of order") << QStringList {QStringLiteral("<A>"), QStringLiteral("<C>"), QStringLiteral("<B>")}
                                  << false;
    QTest::addRow("one missing") << QStringList {QStringLiteral("<A>"), QStringLiteral("<B>")} << false;
    QTest::addRow("one too many") << QStringList {QStringLiteral("<A>"), QStringLiteral("<B>"), QStringLiteral("<C>"),
        QStringLiteral("<C>")} << false;
    QTest::addRow("unknown token") << QStringList {QStringLiteral("<X>")} << false;
}

void TestStatementTemplate::fillOrder()
{
    QFETCH(QStringList, filled);
    QFETCH(bool, accepted);

    const StatementTemplate statementTemplate(
        QStringLiteral("<A><B><C>"), {QStringLiteral("<A>"), QStringLiteral("<B>"), QStringLiteral("<C>")});
    StatementBuilder builder(statementTemplate);
    const auto build = [&] {
        for (const QString &token : std::as_const(filled))
            builder.fill(token, token.toLower());
        return builder.statement();
    };
    if (accepted)
        QCOMPARE(build(), QStringLiteral("<a><b><c>"));
    else
        QVERIFY_THROWS_EXCEPTION(std::logic_error, build());
}

void TestStatementTemplate::tableStatements_data()
{
    QTest::addColumn<int>("table");
    QTest::addColumn<QString>("expected");

    // Each placeholder filled with itself gives back head + values template.
    QTest::addRow("stations, one blank before values")
        << 0
        << QStringLiteral("insert into stations (callsign,dtstamp,type,distance,lat,lon,heard_direct,radio_port,symbol,"
                          "object_owner) values ('<CALL>','<DTSTAMP>','<TYPE>',<DISTANCE>,<LAT>,<LON>,<HEARD_DIRECT>,"
                          "<RADIO_PORT>,'<SYMBOL>','<OBJECT_OWNER>')");
    QTest::addRow("fixed_data, one blank before values")
        << 1
        << QStringLiteral("insert into fixed_data (fk_callsign,fk_dtstamp,status,comment,path) values ('<CALL>',"
                          "'<DTSTAMP>','<STATUS>','<COMMENT>','<PATH>')");
    QTest::addRow("mobile_data, one blank before values")
        << 2
        << QStringLiteral("insert into mobile_data (fk_callsign,fk_dtstamp,height,speed,path,course) values ('<CALL>',"
                          "'<DTSTAMP>','<HEIGHT>','<SPEED>','<PATH>','<COURSE>')");
    QTest::addRow("wx_data, no blank before values")
        << 3
        << QStringLiteral("insert into wx_data (fk_callsign,fk_dtstamp,pressure,dewpoint,humidity,rain_24hours,"
                          "rain_last_hour,rain_today,temp,wind_chill,wind_direction,wind_gust,wind_speed)values "
                          "('<CALL>','<DTSTAMP>','<PRESSURE>','<DEWPOINT>','<HUMIDITY>','<RAIN_24HOURS>',"
                          "'<RAIN_LAST_HOUR>','<RAIN_TODAY>','<TEMP>','<WIND_CHILL>','<WIND_DIRECTION>','<WIND_GUST>',"
                          "'<WIND_SPEED>')");
}

void TestStatementTemplate::tableStatements()
{
    QFETCH(int, table);
    QFETCH(QString, expected);

    const StatementTemplate *templates[] = {&StationStatements::stations(), &StationStatements::fixedData(),
        &StationStatements::mobileData(), &StationStatements::wxData()};
    const StatementTemplate &statementTemplate = *templates[table];
    QCOMPARE(statementTemplate.fill(statementTemplate.placeholders()), expected);

    // The placeholder order is the order in which they stand in the statement.
    qsizetype last = -1;
    for (const QString &token : statementTemplate.placeholders()) {
        const qsizetype at = expected.indexOf(token);
        QVERIFY2(at > last, qPrintable(token));
        last = at;
    }
}

QTEST_GUILESS_MAIN(TestStatementTemplate)
#include "tst_statementtemplate.moc"
