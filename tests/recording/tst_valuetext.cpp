#include "recording/ValueText.h"

#include <QLocale>
#include <QTest>
#include <QTimeZone>
#include <clocale>
#include <limits>
#include <stdexcept>

class TestValueText : public QObject
{
    Q_OBJECT

private slots:
    void cleanup();

    void singleForm_data();
    void singleForm();
    void singleFormUnderDecimalComma_data() { singleForm_data(); }
    void singleFormUnderDecimalComma();
    void notANumber_data();
    void notANumber();

    void integerForm_data();
    void integerForm();

    void timestampForm_data();
    void timestampForm();

    void isTrueValue_data();
    void isTrueValue();

    void literal_data();
    void literal();
};

void TestValueText::cleanup()
{
    QLocale::setDefault(QLocale::c());
    std::setlocale(LC_ALL, "C");
}

void TestValueText::singleForm_data()
{
    QTest::addColumn<float>("value");
    QTest::addColumn<QString>("expected");

    QTest::addRow("0.1 has no binary tail") << 0.1f << QStringLiteral("0.1");
    QTest::addRow("20 drops the point") << 20.0f << QStringLiteral("20");
    QTest::addRow("-0.25 keeps its leading 0") << -0.25f << QStringLiteral("-0.25");
    QTest::addRow("100") << 100.0f << QStringLiteral("100");
    QTest::addRow("12.5") << 12.5f << QStringLiteral("12.5");
    QTest::addRow("3090.123 is seven digits") << 3090.123f << QStringLiteral("3090.123");
    QTest::addRow("3090.1234 rounds to seven digits") << 3090.1234f << QStringLiteral("3090.123");
    QTest::addRow("3090.25 latitude minutes") << 3090.25f << QStringLiteral("3090.25");
    QTest::addRow("-7.5 longitude minutes") << -7.5f << QStringLiteral("-7.5");
    QTest::addRow("0.5") << 0.5f << QStringLiteral("0.5");
    QTest::addRow("1013.2 pressure") << 1013.2f << QStringLiteral("1013.2");
    QTest::addRow("55 humidity") << 55.0f << QStringLiteral("55");
    QTest::addRow("-3.5 temperature") << -3.5f << QStringLiteral("-3.5");
    QTest::addRow("0") << 0.0f << QStringLiteral("0");
    QTest::addRow("-0 has no sign") << -0.0f << QStringLiteral("0");
    QTest::addRow("-5400 south pole minutes") << -5400.0f << QStringLiteral("-5400");
    QTest::addRow("10799.99 longitude minutes") << 10799.99f << QStringLiteral("10799.99");
    QTest::addRow("1234567 still plain") << 1234567.0f << QStringLiteral("1234567");
    QTest::addRow("0.0001 still plain") << 0.0001f << QStringLiteral("0.0001");
    QTest::addRow("12345678 takes an exponent") << 12345678.0f << QStringLiteral("1.234568E+07");
    QTest::addRow("0.00001 takes an exponent") << 0.00001f << QStringLiteral("1E-05");
    QTest::addRow("0.6666667 rounds up at the seventh digit") << (2.0f / 3.0f) << QStringLiteral("0.6666667");
}

void TestValueText::singleForm()
{
    QFETCH(float, value);
    QFETCH(QString, expected);

    QCOMPARE(singleText(value), expected);
}

void TestValueText::notANumber_data()
{
    QTest::addColumn<float>("value");
    QTest::addRow("NaN") << std::numeric_limits<float>::quiet_NaN();
    QTest::addRow("+infinity") << std::numeric_limits<float>::infinity();
    QTest::addRow("-infinity") << -std::numeric_limits<float>::infinity();
}

// No column takes one: the statement fails rather than store "nan".
void TestValueText::notANumber()
{
    QFETCH(float, value);
    QVERIFY_THROWS_EXCEPTION(std::domain_error, singleText(value));
}

void TestValueText::singleFormUnderDecimalComma()
{
    QFETCH(float, value);
    QFETCH(QString, expected);

    QLocale::setDefault(QLocale(QLocale::German));
    std::setlocale(LC_ALL, "de_DE.UTF-8");
    QCOMPARE(singleText(value), expected);
}

void TestValueText::integerForm_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<QString>("expected");

    QTest::addRow("0") << 0 << QStringLiteral("0");
    QTest::addRow("2 mobile kind") << 2 << QStringLiteral("2");
    QTest::addRow("-15") << -15 << QStringLiteral("-15");
    QTest::addRow("-1 course") << -1 << QStringLiteral("-1");
    QTest::addRow("270 course") << 270 << QStringLiteral("270");
    QTest::addRow("largest") << 32767 << QStringLiteral("32767");
    QTest::addRow("smallest") << -32768 << QStringLiteral("-32768");
}

void TestValueText::integerForm()
{
    QFETCH(int, value);
    QFETCH(QString, expected);

    QLocale::setDefault(QLocale(QLocale::German));  // would write 32.767
    QCOMPARE(integerText(qint16(value)), expected);
}

void TestValueText::timestampForm_data()
{
    QTest::addColumn<QDateTime>("timestamp");
    QTest::addColumn<QString>("expected");

    QTest::addRow("9 s past 7:05 on 3 Feb 2004")
        << QDateTime(QDate(2004, 2, 3), QTime(7, 5, 9)) << QStringLiteral("2004-02-03 07:05:09");
    QTest::addRow("afternoon on a 24-hour clock")
        << QDateTime(QDate(2004, 5, 6), QTime(14, 30, 0)) << QStringLiteral("2004-05-06 14:30:00");
    QTest::addRow("midnight is hour 00") << QDateTime(QDate(2023, 12, 31), QTime(0, 0, 0))
                                         << QStringLiteral("2023-12-31 00:00:00");
    QTest::addRow("last second of the day")
        << QDateTime(QDate(2023, 12, 31), QTime(23, 59, 59)) << QStringLiteral("2023-12-31 23:59:59");
    QTest::addRow("milliseconds are dropped")
        << QDateTime(QDate(2024, 1, 2), QTime(3, 4, 5, 999)) << QStringLiteral("2024-01-02 03:04:05");
    QTest::addRow("a UTC time keeps its own fields")
        << QDateTime(QDate(2024, 6, 1), QTime(12, 0, 0), QTimeZone::utc()) << QStringLiteral("2024-06-01 12:00:00");
}

void TestValueText::timestampForm()
{
    QFETCH(QDateTime, timestamp);
    QFETCH(QString, expected);

    QCOMPARE(timestampText(timestamp), expected);
    QLocale::setDefault(QLocale(QLocale::Arabic, QLocale::Egypt));  // native digits elsewhere
    QCOMPARE(timestampText(timestamp), expected);
}

void TestValueText::isTrueValue_data()
{
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("expected");

    QTest::addRow("True (-1) is 1") << -1 << 1;
    QTest::addRow("False (0) is 0") << 0 << 0;
    QTest::addRow("1 is not True") << 1 << 0;
    QTest::addRow("32767 is not True") << 32767 << 0;
    QTest::addRow("-2 is not True") << -2 << 0;
}

void TestValueText::isTrueValue()
{
    QFETCH(int, value);
    QFETCH(int, expected);

    QCOMPARE(isTrue(HostBool(value)), qint16(expected));
}

void TestValueText::literal_data()
{
    QTest::addColumn<QString>("text");
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("expected");

    const auto both = [](const char *name, const QString &text, const QString &standard, const QString &mySql) {
        QTest::addRow("%s, standard", name) << text << SqlDialect::Standard << standard;
        QTest::addRow("%s, backslash escapes", name) << text << SqlDialect::BackslashEscapes << mySql;
    };
    both("plain text unchanged", QStringLiteral("N0CALL-9"), QStringLiteral("N0CALL-9"), QStringLiteral("N0CALL-9"));
    both("empty", QString(), QString(), QString());
    both("apostrophe doubled", QStringLiteral("O'Brien"), QStringLiteral("O''Brien"), QStringLiteral("O''Brien"));
    both("injection stays inside", QStringLiteral("'); drop table stations; --"),
        QStringLiteral("''); drop table stations; --"), QStringLiteral("''); drop table stations; --"));
    both("backslash at the end", QStringLiteral("C:\\"), QStringLiteral("C:\\"), QStringLiteral("C:\\\\"));
    both("backslashes only", QStringLiteral("a\\b\\\\c\\n"), QStringLiteral("a\\b\\\\c\\n"),
        QStringLiteral("a\\\\b\\\\\\\\c\\\\n"));
    both("backslash before an apostrophe", QStringLiteral("\\'"), QStringLiteral("\\''"), QStringLiteral("\\\\''"));
    both("multi-byte text unchanged", QStringLiteral("20°C Ærø ✓"), QStringLiteral("20°C Ærø ✓"),
        QStringLiteral("20°C Ærø ✓"));
}

void TestValueText::literal()
{
    QFETCH(QString, text);
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, expected);

    QCOMPARE(literalText(text, dialect), expected);
}

QTEST_GUILESS_MAIN(TestValueText)
#include "tst_valuetext.moc"
