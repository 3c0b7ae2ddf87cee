#pragma once

#include <QByteArray>
#include <QString>
#include <QtGlobal>

#include <vector>

// JSON text written straight onto a byte array, commas and all. Its strings
// are also safe inside an HTML <script> element: '<', '>' and '&' never
// appear as themselves, so a "</script>" in a comment cannot end the element.
//
//   JsonWriter json(out);
//   json.beginObject();
//   json.key("c").string(callsign);
//   json.key("la").number(latitudeDeg, 5);
//   json.endObject();
class JsonWriter
{
public:
    explicit JsonWriter(QByteArray &out) : mOut(out) { }

    void beginObject();
    void endObject();
    // Each value of a line-per-value array starts a line of its own (the
    // stations of a report, readable in the page's source).
    void beginArray(bool linePerValue = false);
    void endArray();

    // Names the object's next value.
    JsonWriter &key(QLatin1String name);
    JsonWriter &key(const char *name) { return key(QLatin1String(name)); }

    void string(const QString &text);
    // Rounded to the given decimal places, in the shortest text that reads
    // back as that; null for NaN and infinity, never "-0".
    void number(double value, int places);
    void integer(qint64 value);
    void null();

private:
    struct Level {
        bool object = false;
        bool linePerValue = false;
        bool empty = true;
    };

    void beforeValue();
    void appendString(QStringView text);

    QByteArray &mOut;
    std::vector<Level> mLevels;
    bool mAfterKey = false;
};
