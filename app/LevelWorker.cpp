#include "LevelWorker.h"

#include <utility>

LevelWorker::LevelWorker(Read read, Write write, ReadDone done)
    : read_(std::move(read)), write_(std::move(write)), done_(std::move(done)), thread_([this] { run(); })
{
}

LevelWorker::~LevelWorker()
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        stop_ = true;
    }
    wake_.notify_one();
    thread_.join();
}

unsigned LevelWorker::requestRead()
{
    unsigned number;
    {
        std::lock_guard<std::mutex> lock(mutex_);
        readPending_ = true;
        number = ++readsRequested_;
    }
    wake_.notify_one();
    return number;
}

void LevelWorker::requestWrite(float level)
{
    {
        std::lock_guard<std::mutex> lock(mutex_);
        writePending_ = true;
        writeLevel_ = level;
    }
    wake_.notify_one();
}

void LevelWorker::run()
{
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        wake_.wait(lock, [this] { return stop_ || readPending_ || writePending_; });
        if (stop_) return;
        if (writePending_) {
            writePending_ = false;
            const float level = writeLevel_;
            lock.unlock();
            if (write_) write_(level);
            lock.lock();
            continue;
        }
        readPending_ = false;
        const unsigned number = readsRequested_;
        lock.unlock();
        float level = 0.0f;
        if (read_) read_(level);
        if (done_) done_(level, number);
        lock.lock();
    }
}
