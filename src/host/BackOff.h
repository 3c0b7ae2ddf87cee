#pragma once

// The wait before the next attempt to reach what went away (the database
// link, a feed's TNC or server): the first delay, then twice the last one,
// never more than the cap; reset() after a good connection. A test shrinks
// every wait with a time scale (milliseconds of timer per second of delay).
class BackOff
{
public:
    static constexpr int FirstDelaySeconds = 5;
    static constexpr int LongestDelaySeconds = 60;

    explicit BackOff(int firstDelaySeconds = FirstDelaySeconds, int longestDelaySeconds = LongestDelaySeconds)
        : mFirstSeconds(firstDelaySeconds), mLongestSeconds(longestDelaySeconds), mNextSeconds(firstDelaySeconds)
    { }

    // The delay to wait now, in seconds; the next one doubles.
    int takeDelaySeconds();
    // The delay the next takeDelaySeconds() returns.
    int nextDelaySeconds() const { return mNextSeconds; }
    void reset() { mNextSeconds = mFirstSeconds; }

    // Milliseconds of timer per second of delay; 1000 unless a test says otherwise.
    void setTimeScale(int msPerSecond) { mMsPerSecond = msPerSecond; }
    int toTimerMs(int seconds) const { return seconds * mMsPerSecond; }

private:
    int mFirstSeconds;
    int mLongestSeconds;
    int mNextSeconds;
    int mMsPerSecond = 1000;
};
