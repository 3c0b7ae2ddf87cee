#pragma once

#include <chrono>
#include <condition_variable>
#include <mutex>
#include <thread>

// Gives up on a server that stops answering in the middle of a statement. A
// stopped or frozen server's kernel still acknowledges our packets, so
// neither TCP keepalives nor a user timeout notice it, and PostgreSQL's
// driver keeps its query timeout on the server. While a statement runs
// longer than the limit, the watchdog shuts the connection's socket down:
// the driver's read returns and the statement fails as connection lost
// (08S01), which the link heals like any other lost connection.
class StallWatchdog
{
public:
    // socket: the connection's TCP socket, which stays open (and ours) as
    // long as this object lives.
    StallWatchdog(int socket, std::chrono::milliseconds limit);
    ~StallWatchdog();
    StallWatchdog(const StallWatchdog &) = delete;
    StallWatchdog &operator=(const StallWatchdog &) = delete;

    // Watches one statement for the lifetime of this object.
    class Watch
    {
    public:
        explicit Watch(StallWatchdog *watchdog);
        ~Watch();
        Watch(const Watch &) = delete;
        Watch &operator=(const Watch &) = delete;

    private:
        StallWatchdog *mWatchdog;
    };

    // The TCP socket of this process between the two local ports, or -1.
    static int findSocket(int clientPort, int serverPort);

private:
    void arm();
    void disarm();
    void run();

    const int mSocket;
    const std::chrono::milliseconds mLimit;
    std::mutex mMutex;
    std::condition_variable mChanged;
    bool mArmed = false;
    bool mStopping = false;
    std::chrono::steady_clock::time_point mDeadline;
    std::thread mThread;
};
