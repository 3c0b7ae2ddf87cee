// The report's JSON writer: each value as the page's JSON.parse must read it,
// and no text that could end the <script> element it is written into.

#include "report/JsonWriter.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QTest>

#include <cmath>
#include <limits>

class TestJsonWriter : public QObject
{
    Q_OBJECT

private slots:
    void string_data();
    void string();
    void number_data();
    void number();
    void nesting();
};

void TestJsonWriter::string_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<QByteArray>("json");

    QTest::addRow("plain") << "N0CALL-9" << QByteArray("\"N0CALL-9\"");
    QTest::addRow("quote and backslash") << "say \"hi\" \\o/" << QByteArray("\"say \\\"hi\\\" \\\\o/\"");
    QTest::addRow("line ends and tab") << "a\nb\rc\td" << QByteArray("\"a\\nb\\rc\\td\"");
    QTest::addRow("other control characters")
        << QStringLiteral("\x01\x1f") + QChar(0) << QByteArray("\"\\u0001\\u001f\\u0000\"");
    QTest::addRow("markup cannot end the script")
        << "</script><!--&" << QByteArray("\"\\u003c/script\\u003e\\u003c!--\\u0026\"");
    QTest::addRow("line and paragraph separators")
        << QStringLiteral("a\u2028b\u2029") << QByteArray("\"a\\u2028b\\u2029\"");
    QTest::addRow("accents as UTF-8") << QStringLiteral("Zürich °C")
                                      << QByteArray("\"Z\xc3\xbcrich \xc2\xb0"
                                                    "C\"");
    QTest::addRow("beyond U+FFFF keeps its four bytes")
        << QString::fromUtf8("\xf0\x9f\x93\xa1 dish") << QByteArray("\"\xf0\x9f\x93\xa1 dish\"");
    QTest::addRow("a lone surrogate half")
        << QString(QChar(0xD83D)) + QLatin1Char('x') << QByteArray("\"\xef\xbf\xbdx\"");
}

void TestJsonWriter::string()
{
    QFETCH(QString, text);
    QFETCH(QByteArray, json);
    QByteArray out;
    JsonWriter writer(out);
    writer.string(text);
    QCOMPARE(out, json);
    // A JSON reader reads the text again.
    QJsonParseError error;
    const QJsonDocument read = QJsonDocument::fromJson("[" + out + "]", &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
    if (QStringView(text).isValidUtf16())
        QCOMPARE(read.array().at(0).toString(), text);
}

void TestJsonWriter::number_data()
{
    QTest::addColumn<double>("value");
    QTest::addColumn<int>("places");
    QTest::addColumn<QByteArray>("json");

    QTest::addRow("rounded to places") << 48.123456789 << 5 << QByteArray("48.12346");
    QTest::addRow("no trailing zeros") << 52.5 << 1 << QByteArray("52.5");
    QTest::addRow("whole") << 90.0 << 1 << QByteArray("90");
    QTest::addRow("negative") << -0.75 << 1 << QByteArray("-0.8");
    QTest::addRow("no minus zero") << -0.01 << 1 << QByteArray("0");
    QTest::addRow("too large to scale") << 1e300 << 5 << QByteArray("1e+300");
    QTest::addRow("NaN") << std::nan("") << 2 << QByteArray("null");
    QTest::addRow("infinity") << std::numeric_limits<double>::infinity() << 2 << QByteArray("null");
}

void TestJsonWriter::number()
{
    QFETCH(double, value);
    QFETCH(int, places);
    QFETCH(QByteArray, json);
    QByteArray out;
    JsonWriter writer(out);
    writer.number(value, places);
    QCOMPARE(out, json);
}

// Commas between values and keys, never after the last; a line per value
// where asked.
void TestJsonWriter::nesting()
{
    QByteArray out;
    JsonWriter json(out);
    json.beginObject();
    json.key("rows").beginArray();
    json.integer(1);
    json.integer(-2);
    json.null();
    json.endArray();
    json.key("empty").beginArray();
    json.endArray();
    json.key("stations").beginArray(true);
    json.beginObject();
    json.key("c").string(QStringLiteral("A"));
    json.key("fx").beginObject();
    json.key("p").string(QStringLiteral("WIDE1-1"));
    json.endObject();
    json.key("mb").beginObject();
    json.endObject();
    json.endObject();
    json.beginObject();
    json.endObject();
    json.endArray();
    json.key("odd \"key\"").integer(0);
    json.endObject();
    QCOMPARE(out,
        QByteArray("{\"rows\":[1,-2,null],\"empty\":[],\"stations\":["
                   "\n"
                   "{\"c\":\"A\",\"fx\":{\"p\":\"WIDE1-1\"},\"mb\":{}},"
                   "\n"
                   "{}],\"odd \\\"key\\\"\":0}"));
    QJsonParseError error;
    QJsonDocument::fromJson(out, &error);
    QCOMPARE(error.error, QJsonParseError::NoError);
}

QTEST_APPLESS_MAIN(TestJsonWriter)
#include "tst_jsonwriter.moc"
