#include "app/SourceWorker.h"

#include <pthread.h>

namespace kobal {

SourceWorker::SourceWorker(Job job) : job_(std::move(job)) {
    thread_ = std::thread([this] { run(); });
}

SourceWorker::~SourceWorker() {
    requestQuit();
    if (finished_)
        thread_.join();
    else
        thread_.detach(); // still inside a job that waits for a UI thread that is gone
}

void SourceWorker::release(const std::string& link) {
    {
        std::lock_guard<std::mutex> lk(lock_);
        link_ = link;
        released_ = true;
    }
    cv_.notify_one();
}

void SourceWorker::requestQuit() {
    {
        std::lock_guard<std::mutex> lk(lock_);
        quit_ = true;
    }
    cv_.notify_one();
}

void SourceWorker::run() {
    pthread_setname_np(pthread_self(), "kobal-worker");
    for (;;) {
        std::string link;
        {
            std::unique_lock<std::mutex> lk(lock_);
            cv_.wait(lk, [this] { return released_ || quit_; });
            // A release before the quit still runs: the last job releases the graph.
            if (!released_) break;
            released_ = false;
            link = link_;
        }
        job_(link);
    }
    finished_ = true;
}

} // namespace kobal
