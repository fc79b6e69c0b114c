#pragma once
// The main window's worker thread, which opens sources: it sleeps until released, then runs
// the open job with the link it was released for. A release while a job runs counts once
// (a semaphore of maximum 1; the latest link wins). The UI thread never waits for it: the
// job itself waits for the UI thread (the renderer builds its video window there), so the
// owner stops it with an event-loop wait (finished()) and joins only a finished thread.
#include <atomic>
#include <condition_variable>
#include <functional>
#include <mutex>
#include <string>
#include <thread>

namespace kobal {

class SourceWorker {
public:
    using Job = std::function<void(const std::string& link)>;
    explicit SourceWorker(Job job);
    ~SourceWorker(); // joins when finished, else leaves the thread to the ending process

    void release(const std::string& link);
    void requestQuit();
    bool finished() const { return finished_.load(); }

private:
    void run();

    Job job_;
    std::mutex lock_;
    std::condition_variable cv_;
    bool released_ = false;
    bool quit_ = false;
    std::string link_;
    std::atomic<bool> finished_{false};
    std::thread thread_;
};

} // namespace kobal
