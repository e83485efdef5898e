#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <thread>

// Runs one popup's reads and writes of a system level on a thread of its own,
// so the GUI thread never waits on the sound server. Writes are coalesced (the
// last level wins); a read runs after any write requested before it.
class LevelWorker {
public:
    using Read = std::function<int(float&)>;
    using Write = std::function<int(float)>;
    // Called on the worker thread with the level read (0 when nothing answered)
    // and the number of the newest request that read answers.
    using ReadDone = std::function<void(float, unsigned)>;

    LevelWorker(Read read, Write write, ReadDone done);
    // Waits for the request in progress, which the sound server's own
    // timeout bounds; pending requests are dropped.
    ~LevelWorker();
    LevelWorker(const LevelWorker&) = delete;
    LevelWorker& operator=(const LevelWorker&) = delete;

    // Returns the request's number; reads asked for while one is pending are
    // answered together, with the newest number.
    unsigned requestRead();
    void requestWrite(float level);

private:
    void run();

    Read read_;
    Write write_;
    ReadDone done_;
    std::mutex mutex_;
    std::condition_variable wake_;
    bool stop_ = false;
    bool readPending_ = false;
    unsigned readsRequested_ = 0;
    bool writePending_ = false;
    float writeLevel_ = 0.0f;
    std::thread thread_;
};
