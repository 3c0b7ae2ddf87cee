// The encoding rule for packet text: well-formed UTF-8 is read as UTF-8,
// anything else as Latin-1, and offsets count UTF-16 units.

#include "aprs/PacketText.h"

#include <QTest>

class TestPacketText : public QObject
{
    Q_OBJECT

private slots:
    void isUtf8_data();
    void isUtf8();
    void utf16Length_data();
    void utf16Length();
};

void TestPacketText::isUtf8_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");

    QTest::addRow("empty") << QByteArray() << true;
    QTest::addRow("ASCII longer than a word") << QByteArray("0123456789abcdefXYZ") << true;
    QTest::addRow("two-byte e acute") << QByteArray("m\xc3\xa9t\xc3\xa9o") << true;
    QTest::addRow("three-byte euro") << QByteArray("\xe2\x82\xac") << true;
    QTest::addRow("four-byte satellite antenna") << QByteArray("\xf0\x9f\x93\xa1") << true;
    QTest::addRow("highest code point U+10FFFF") << QByteArray("\xf4\x8f\xbf\xbf") << true;
    QTest::addRow("Latin-1 e acute") << QByteArray("m\xe9t\xe9o") << false;
    QTest::addRow("lone continuation byte") << QByteArray("a\x80") << false;
    QTest::addRow("overlong slash C0 AF") << QByteArray("\xc0\xaf") << false;
    QTest::addRow("overlong three-byte E0 80 AF") << QByteArray("\xe0\x80\xaf") << false;
    QTest::addRow("surrogate ED A0 80") << QByteArray("\xed\xa0\x80") << false;
    QTest::addRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << false;
    QTest::addRow("sequence cut at the end") << QByteArray("abc\xe2\x82") << false;
    QTest::addRow("non-ASCII after eight ASCII bytes") << QByteArray("abcdefgh\xff") << false;
    QTest::addRow("FE and FF") << QByteArray("\xfe\xff") << false;
    QTest::addRow("NUL and control bytes are ASCII") << QByteArray("a\0\x1c\x7f", 4) << true;
}

void TestPacketText::isUtf8()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    QCOMPARE(aprs::text::isUtf8(std::string_view(bytes.constData(), size_t(bytes.size()))), utf8);
}

void TestPacketText::utf16Length_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<bool>("utf8");

    QTest::addRow("ASCII") << QByteArray("hello") << true;
    QTest::addRow("two-byte characters") << QByteArray("m\xc3\xa9t\xc3\xa9o") << true;
    QTest::addRow("three-byte character") << QByteArray("\xe2\x82\xac!") << true;
    QTest::addRow("surrogate pair") << QByteArray("\xf0\x9f\x93\xa1!") << true;
    QTest::addRow("Latin-1 bytes") << QByteArray("m\xe9t\xe9o\xff") << false;
}

// The count matches what QString makes of the same bytes.
void TestPacketText::utf16Length()
{
    QFETCH(QByteArray, bytes);
    QFETCH(bool, utf8);
    const std::string_view view(bytes.constData(), size_t(bytes.size()));
    const QString text = aprs::text::toUnicode(view, utf8);
    QCOMPARE(aprs::text::utf16Length(view, utf8), text.size());
    QCOMPARE(aprs::text::toUnicode(view), text);
}

QTEST_GUILESS_MAIN(TestPacketText)
#include "tst_packettext.moc"
