#pragma once

// The wait before the next connection attempt: 1 s, 2 s, 4 s ... at most 60 s,
// back to 1 s after a good connection: one that delivered a whole packet, or
// stood for GoodLinkSeconds. A server that greets and hangs up is no good one.
class ReconnectBackoff
{
public:
    static constexpr int FirstDelaySeconds = 1;
    static constexpr int MaxDelaySeconds = 60;
    static constexpr int GoodLinkSeconds = 60;

    // The delay to wait now; the one after it doubles.
    int takeDelaySeconds();
    void reset() { mNextSeconds = FirstDelaySeconds; }

private:
    int mNextSeconds = FirstDelaySeconds;
};
