#include "recording/FieldText.h"

#include <QTest>
#include <stdexcept>

class TestFieldText : public QObject
{
    Q_OBJECT

private slots:
    void path_data();
    void path();

    void comment_data();
    void comment();
    void commentOutsideText_data();
    void commentOutsideText();

    void owner_data();
    void owner();

    void symbol_data();
    void symbol();
};

void TestFieldText::path_data()
{
    QTest::addColumn<QString>("header");
    QTest::addColumn<QString>("expected");

    QTest::addRow("qA and a capital letter: cut at the first ,q")
        << QStringLiteral("N0CALL>APRS,WIDE2-1,qAR,N0CALL-10") << QStringLiteral("APRS,WIDE2-1");
    QTest::addRow("qA and a small letter")
        << QStringLiteral("N0CALL>APRS,TCPIP*,qAc,N0CALL-10") << QStringLiteral("APRS,TCPIP*");
    QTest::addRow("cut at ,q even though a blank follows")
        << QStringLiteral("N0CALL>APRS,qAO,X Y") << QStringLiteral("APRS");
    QTest::addRow("no qA and a letter: cut at the first blank")
        << QStringLiteral("N0CALL>APRS,RELAY,WIDE 12:00") << QStringLiteral("APRS,RELAY,WIDE");
    QTest::addRow("only the first > counts") << QStringLiteral("A>B>C D") << QStringLiteral("B>C");
    QTest::addRow("a capital Q does not match qA")
        << QStringLiteral("N0CALL>APRS,WIDE1-1,QAR X") << QStringLiteral("APRS,WIDE1-1,QAR");
    QTest::addRow("qA with no letter after it, and no blank") << QStringLiteral("N0CALL>APRS,WIDE1-1,qA") << QString();
    QTest::addRow("neither qA and a letter nor a blank") << QStringLiteral("N0CALL>APRS,WIDE2-2") << QString();
    QTest::addRow("qA and a letter but no ,q") << QStringLiteral("N0CALL>APRS,X qAB") << QString();
    QTest::addRow("nothing after >") << QStringLiteral("N0CALL>") << QString();
    QTest::addRow("no >") << QStringLiteral("N0CALL APRS") << QString();

    QTest::addRow("empty header") << QString() << QString();
    QTest::addRow("qA and a digit is no q construct")
        << QStringLiteral("N0CALL>APRS,qA1 X") << QStringLiteral("APRS,qA1");
    QTest::addRow("qA and a letter beyond ASCII is no q construct")
        << QStringLiteral("N0CALL>APRS,qAÄ X") << QStringLiteral("APRS,qAÄ");
    QTest::addRow("a later qA and a letter still counts")
        << QStringLiteral("N0CALL>APRS,qA,qAZ,IGATE") << QStringLiteral("APRS");
    QTest::addRow(",q at the very start gives an empty path") << QStringLiteral("N0CALL>,qAR,IGATE") << QString();
    QTest::addRow("blank right after >") << QStringLiteral("N0CALL> APRS") << QString();
    QTest::addRow("hostile path text is returned as is")
        << QStringLiteral("N0CALL>AP'RS\\,WIDE 1") << QStringLiteral("AP'RS\\,WIDE");
}

void TestFieldText::path()
{
    QFETCH(QString, header);
    QFETCH(QString, expected);

    const QString before = header;
    QCOMPARE(extractPath(header), expected);
    QCOMPARE(header, before);
}

void TestFieldText::comment_data()
{
    QTest::addColumn<QString>("packetText");
    QTest::addColumn<int>("commentStart");
    QTest::addColumn<QString>("expected");

    QTest::addRow("from the start position to the end")
        << QStringLiteral("!5130.12N/00007.50W-PHG2360") << 21 << QStringLiteral("PHG2360");
    QTest::addRow("start 1 keeps the whole text less its apostrophes")
        << QStringLiteral("it's 5'C") << 1 << QStringLiteral("its 5C");
    QTest::addRow("start at the length + 1 is empty") << QStringLiteral("abc") << 4 << QString();
    QTest::addRow("start at the last character") << QStringLiteral("abc") << 3 << QStringLiteral("c");
    QTest::addRow("empty text, start 1") << QString() << 1 << QString();
    QTest::addRow("double quote and backslash stay")
        << QStringLiteral("x\"quoted\" C:\\dir\\") << 2 << QStringLiteral("\"quoted\" C:\\dir\\");
    QTest::addRow("apostrophes before the start are not counted")
        << QStringLiteral("''abc'd") << 3 << QStringLiteral("abcd");
    QTest::addRow("multi-byte text") << QStringLiteral(">20°C Ærø") << 2 << QStringLiteral("20°C Ærø");
}

void TestFieldText::comment()
{
    QFETCH(QString, packetText);
    QFETCH(int, commentStart);
    QFETCH(QString, expected);

    QCOMPARE(commentText(packetText, qint16(commentStart)), expected);
}

void TestFieldText::commentOutsideText_data()
{
    QTest::addColumn<QString>("packetText");
    QTest::addColumn<int>("commentStart");

    QTest::addRow("start 0") << QStringLiteral("abc") << 0;
    QTest::addRow("negative start") << QStringLiteral("abc") << -1;
    QTest::addRow("start at the length + 2") << QStringLiteral("abc") << 5;
    QTest::addRow("empty text, start 2") << QString() << 2;
    QTest::addRow("largest start") << QStringLiteral("abc") << 32767;
}

void TestFieldText::commentOutsideText()
{
    QFETCH(QString, packetText);
    QFETCH(int, commentStart);

    QVERIFY_THROWS_EXCEPTION(std::out_of_range, commentText(packetText, qint16(commentStart)));
}

void TestFieldText::owner_data()
{
    QTest::addColumn<QString>("owner");
    QTest::addColumn<QString>("expected");

    QTest::addRow("two blanks each side") << QStringLiteral("  N0CALL-2  ") << QStringLiteral("N0CALL-2");
    QTest::addRow("empty") << QString() << QString();
    QTest::addRow("all blanks") << QStringLiteral("   ") << QString();
    QTest::addRow("inner blanks stay") << QStringLiteral(" A B ") << QStringLiteral("A B");
    QTest::addRow("only the space is a blank") << QStringLiteral("\tN0CALL\n") << QStringLiteral("\tN0CALL\n");
    QTest::addRow("no blanks") << QStringLiteral("N0CALL") << QStringLiteral("N0CALL");
}

void TestFieldText::owner()
{
    QFETCH(QString, owner);
    QFETCH(QString, expected);

    QCOMPARE(ownerText(owner), expected);
}

void TestFieldText::symbol_data()
{
    QTest::addColumn<QString>("table");
    QTest::addColumn<QString>("code");
    QTest::addColumn<SqlDialect>("dialect");
    QTest::addColumn<QString>("expected");

    const auto both = [](const char *name, const QString &table, const QString &code, const QString &standard,
                          const QString &mySql) {
        QTest::addRow("%s, standard", name) << table << code << SqlDialect::Standard << standard;
        QTest::addRow("%s, backslash escapes", name) << table << code << SqlDialect::BackslashEscapes << mySql;
    };
    both("/ and >", QStringLiteral("/"), QStringLiteral(">"), QStringLiteral("/>"), QStringLiteral("/>"));
    both("/ and \\ (DF station): the code's backslash by the server's rule", QStringLiteral("/"), QStringLiteral("\\"),
        QStringLiteral("/\\"), QStringLiteral("/\\\\"));
    both("\\ and k: the table's backslash by the same rule", QStringLiteral("\\"), QStringLiteral("k"),
        QStringLiteral("\\k"), QStringLiteral("\\\\k"));
    both("\\ and \\", QStringLiteral("\\"), QStringLiteral("\\"), QStringLiteral("\\\\"), QStringLiteral("\\\\\\\\"));
    both("apostrophes in both parts are doubled", QStringLiteral("'"), QStringLiteral("'"), QStringLiteral("''''"),
        QStringLiteral("''''"));
    both("empty parts", QString(), QString(), QString(), QString());
}

void TestFieldText::symbol()
{
    QFETCH(QString, table);
    QFETCH(QString, code);
    QFETCH(SqlDialect, dialect);
    QFETCH(QString, expected);

    QCOMPARE(symbolText(table, code, dialect), expected);
}

QTEST_GUILESS_MAIN(TestFieldText)
#include "tst_fieldtext.moc"
