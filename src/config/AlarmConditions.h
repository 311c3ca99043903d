#pragma once

// What a module knows of the end of a condition it once warned of: the client
// of an output is connected again, a carrier connects or sends frames again,
// the delayed store was written, a watched test page came, the history
// archive was written. The modules that
// warn say so here, with the entry their warnings named ("Socket [n]"); which
// warnings each end clears is the alarm book's business, not theirs.
enum class AlarmCondition {
    OutputConnected,  // a client was accepted on output `entry`
    CarrierConnected, // carrier connection `entry` is up (dialled or called in)
    CarrierFrames,    // frames were found in carrier connection `entry`'s bytes
    StoreWritten,     // a write to the delayed store succeeded (any entry)
    WatchedPageSeen,  // the test page of watch row `entry` was relayed
    HistoryWritten,   // a batch was written to the history archive (any entry)
};

class AlarmConditions {
public:
    // Called on the relay's thread, as often as the event happens: cheap
    // when no alarm waits for it.
    virtual void Ended(AlarmCondition condition, int entry) = 0;

protected:
    ~AlarmConditions() = default;
};
