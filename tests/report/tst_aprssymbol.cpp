// What the page draws for a symbol: the glyph per table and code, the
// overlay character of the alternate table, and the plain badge for the rest.

#include "report/AprsSymbol.h"

#include <QTest>

class TestAprsSymbol : public QObject
{
    Q_OBJECT

private slots:
    void lookup_data();
    void lookup();
};

void TestAprsSymbol::lookup_data()
{
    QTest::addColumn<QString>("symbol");
    QTest::addColumn<QString>("glyph");
    QTest::addColumn<QString>("name");
    QTest::addColumn<QString>("overlay");

    QTest::addRow("car") << "/>"
                         << "car"
                         << "car"
                         << "";
    QTest::addRow("house") << "/-"
                           << "house"
                           << "house"
                           << "";
    QTest::addRow("weather station") << "/_"
                                     << "weather"
                                     << "weather station"
                                     << "";
    QTest::addRow("digipeater") << "/#"
                                << "digi"
                                << "digipeater"
                                << "";
    QTest::addRow("digipeater, alternate") << "\\#"
                                           << "digi"
                                           << "digipeater"
                                           << "";
    QTest::addRow("digipeater, overlay S") << "S#"
                                           << "digi"
                                           << "digipeater"
                                           << "S";
    QTest::addRow("igate") << "I&"
                           << "gateway"
                           << "igate"
                           << "I";
    QTest::addRow("HF gateway") << "/&"
                                << "gateway"
                                << "HF gateway"
                                << "";
    QTest::addRow("truck") << "/k"
                           << "truck"
                           << "truck"
                           << "";
    QTest::addRow("18-wheeler") << "/u"
                                << "truck"
                                << "truck (18-wheeler)"
                                << "";
    QTest::addRow("jeep") << "/j"
                          << "jeep"
                          << "jeep"
                          << "";
    QTest::addRow("SUV, alternate k") << "\\k"
                                      << "jeep"
                                      << "SUV"
                                      << "";
    QTest::addRow("van") << "/v"
                         << "van"
                         << "van"
                         << "";
    QTest::addRow("motorcycle") << "/<"
                                << "motorcycle"
                                << "motorcycle"
                                << "";
    QTest::addRow("bicycle") << "/b"
                             << "bicycle"
                             << "bicycle"
                             << "";
    QTest::addRow("power boat") << "/s"
                                << "boat"
                                << "power boat"
                                << "";
    QTest::addRow("ship, alternate s") << "\\s"
                                       << "boat"
                                       << "ship"
                                       << "";
    QTest::addRow("yacht") << "/Y"
                           << "sailboat"
                           << "yacht"
                           << "";
    QTest::addRow("small aircraft") << "/'"
                                    << "plane"
                                    << "small aircraft"
                                    << "";
    QTest::addRow("large aircraft") << "/^"
                                    << "plane"
                                    << "large aircraft"
                                    << "";
    QTest::addRow("helicopter") << "/X"
                                << "helicopter"
                                << "helicopter"
                                << "";
    QTest::addRow("balloon") << "/O"
                             << "balloon"
                             << "balloon"
                             << "";
    QTest::addRow("rocket, alternate O") << "\\O"
                                         << "generic"
                                         << "rocket"
                                         << "";
    QTest::addRow("person") << "/["
                            << "person"
                            << "jogger"
                            << "";
    QTest::addRow("repeater") << "/r"
                              << "tower"
                              << "repeater"
                              << "";
    QTest::addRow("school") << "/K"
                            << "school"
                            << "school"
                            << "";
    QTest::addRow("ambulance") << "/a"
                               << "ambulance"
                               << "ambulance"
                               << "";
    QTest::addRow("ARES, alternate a") << "\\a"
                                       << "generic"
                                       << "ARES/RACES"
                                       << "";
    QTest::addRow("fire truck") << "/f"
                                << "firetruck"
                                << "fire truck"
                                << "";
    QTest::addRow("fire station") << "/d"
                                  << "fire"
                                  << "fire station"
                                  << "";
    QTest::addRow("car, overlay 3") << "3>"
                                    << "car"
                                    << "car"
                                    << "3";
    QTest::addRow("an unknown primary code") << "/Z"
                                             << "generic"
                                             << ""
                                             << "";
    QTest::addRow("an unknown code, overlay X") << "X}"
                                                << "generic"
                                                << ""
                                                << "X";
    QTest::addRow("a table that is none") << "x>"
                                          << "generic"
                                          << ""
                                          << "";
    QTest::addRow("one character") << "/"
                                   << "generic"
                                   << ""
                                   << "";
    QTest::addRow("nothing") << ""
                             << "generic"
                             << ""
                             << "";
}

void TestAprsSymbol::lookup()
{
    QFETCH(QString, symbol);
    QFETCH(QString, glyph);
    QFETCH(QString, name);
    QFETCH(QString, overlay);
    const AprsSymbol found = AprsSymbol::lookup(symbol);
    QCOMPARE(QString(found.glyph), glyph);
    QCOMPARE(found.name, name);
    QCOMPARE(found.overlay.isNull() ? QString() : QString(found.overlay), overlay);
}

QTEST_MAIN(TestAprsSymbol)
#include "tst_aprssymbol.moc"
