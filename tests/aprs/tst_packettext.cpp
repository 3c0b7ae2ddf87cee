// The encoding rule for packet text: well-formed UTF-8 is read as UTF-8,
// anything else as Latin-1, and offsets count UTF-16 units.

#include "aprs/PacketText.h"

#include <QTest>

Q_DECLARE_METATYPE(aprs::text::Encoding)

class TestPacketText : public QObject
{
    Q_OBJECT

private slots:
    void classify_data();
    void classify();
    void utf16Length_data();
    void utf16Length();
};

using aprs::text::Encoding;

void TestPacketText::classify_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Encoding>("encoding");

    QTest::addRow("empty") << QByteArray() << Encoding::Ascii;
    QTest::addRow("ASCII longer than a word") << QByteArray("0123456789abcdefXYZ") << Encoding::Ascii;
    QTest::addRow("two-byte e acute") << QByteArray("m\xc3\xa9t\xc3\xa9o") << Encoding::Utf8;
    QTest::addRow("three-byte euro") << QByteArray("\xe2\x82\xac") << Encoding::Utf8;
    QTest::addRow("four-byte satellite antenna") << QByteArray("\xf0\x9f\x93\xa1") << Encoding::Utf8;
    QTest::addRow("highest code point U+10FFFF") << QByteArray("\xf4\x8f\xbf\xbf") << Encoding::Utf8;
    QTest::addRow("Latin-1 e acute") << QByteArray("m\xe9t\xe9o") << Encoding::Latin1;
    QTest::addRow("lone continuation byte") << QByteArray("a\x80") << Encoding::Latin1;
    QTest::addRow("overlong slash C0 AF") << QByteArray("\xc0\xaf") << Encoding::Latin1;
    QTest::addRow("overlong three-byte E0 80 AF") << QByteArray("\xe0\x80\xaf") << Encoding::Latin1;
    QTest::addRow("surrogate ED A0 80") << QByteArray("\xed\xa0\x80") << Encoding::Latin1;
    QTest::addRow("above U+10FFFF") << QByteArray("\xf4\x90\x80\x80") << Encoding::Latin1;
    QTest::addRow("sequence cut at the end") << QByteArray("abc\xe2\x82") << Encoding::Latin1;
    QTest::addRow("non-ASCII after eight ASCII bytes") << QByteArray("abcdefgh\xff") << Encoding::Latin1;
    QTest::addRow("FE and FF") << QByteArray("\xfe\xff") << Encoding::Latin1;
    QTest::addRow("NUL and control bytes are ASCII") << QByteArray("a\0\x1c\x7f", 4) << Encoding::Ascii;
}

void TestPacketText::classify()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Encoding, encoding);
    QCOMPARE(aprs::text::classify(std::string_view(bytes.constData(), size_t(bytes.size()))), encoding);
}

void TestPacketText::utf16Length_data()
{
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<Encoding>("encoding");

    QTest::addRow("ASCII") << QByteArray("hello") << Encoding::Ascii;
    QTest::addRow("two-byte characters") << QByteArray("m\xc3\xa9t\xc3\xa9o") << Encoding::Utf8;
    QTest::addRow("three-byte character") << QByteArray("\xe2\x82\xac!") << Encoding::Utf8;
    QTest::addRow("surrogate pair") << QByteArray("\xf0\x9f\x93\xa1!") << Encoding::Utf8;
    QTest::addRow("Latin-1 bytes") << QByteArray("m\xe9t\xe9o\xff") << Encoding::Latin1;
}

// The count matches what QString makes of the same bytes.
void TestPacketText::utf16Length()
{
    QFETCH(QByteArray, bytes);
    QFETCH(Encoding, encoding);
    const std::string_view view(bytes.constData(), size_t(bytes.size()));
    const QString text = aprs::text::toUnicode(view, encoding);
    QCOMPARE(aprs::text::utf16Length(view, encoding), text.size());
    QCOMPARE(aprs::text::toUnicode(view), text);
}

QTEST_GUILESS_MAIN(TestPacketText)
#include "tst_packettext.moc"
