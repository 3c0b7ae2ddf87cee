#pragma once

#include <QHostAddress>
#include <QString>

#include <memory>
#include <optional>

class Form1;
class LiveMap;
class LiveSeed;
class LiveServer;
class PacketSource;

// Wires the live page to the window: the window's status (Form1::liveStatus)
// with the feeds of the Linux host, the map fed by the recorder's tap and
// seeded by a read of its own, and the server on the host's Web address.
class LivePage
{
public:
    struct Options {
        QHostAddress address = QHostAddress::LocalHost;
        quint16 port = 8073;
        bool utc = false;  // the stored times are UTC (the host's Time Zone)
    };

    // The Web and Time Zone settings of the host's settings store; nullopt
    // leaves the page off (empty Web value, or one that cannot be used).
    static std::optional<Options> fromHostSettings();

    explicit LivePage(Form1 &window);
    ~LivePage();

    // After the window's start-up: false, and a log line, when the address
    // cannot be listened on; the bridge runs on without the page.
    bool start(const Options &options);
    quint16 port() const;
    LiveMap &map() { return *mMap; }

private:
    void countPackets(PacketSource *source, int index);

    Form1 &mWindow;
    std::unique_ptr<LiveMap> mMap;
    std::unique_ptr<LiveSeed> mSeed;
    std::unique_ptr<LiveServer> mServer;
    QList<qint64> mPackets;  // per feed, in the host's order
};
