#pragma once

// The wait before the next connection attempt: 1 s, 2 s, 4 s ... at most 60 s,
// back to 1 s after a good connection.
class ReconnectBackoff
{
public:
    static constexpr int FirstDelaySeconds = 1;
    static constexpr int MaxDelaySeconds = 60;

    // The delay to wait now; the one after it doubles.
    int takeDelaySeconds();
    int peekDelaySeconds() const { return mNextSeconds; }
    void reset() { mNextSeconds = FirstDelaySeconds; }

private:
    int mNextSeconds = FirstDelaySeconds;
};
