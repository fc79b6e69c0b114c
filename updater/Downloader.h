#pragma once
// The download worker: fetches the release file in 1024-byte blocks into a local file that the
// dialog opened, on a thread of its own. It talks to the dialog only through DownloadHost and
// ends every run with exactly one transferFinished.
#include "updater/FtpClient.h"

#include <atomic>
#include <cstdint>
#include <string>
#include <thread>

namespace kobal::update {

// Called on the worker's thread; an implementation hands the calls to its own thread without
// waiting for it.
class DownloadHost {
public:
    virtual ~DownloadHost() = default;
    virtual void setStatusText(const std::string& text) = 0;
    virtual void setWindowTitle(const std::string& text) = 0;
    virtual void setProgressRange(int low, int high) = 0;
    virtual void setProgressPos(int pos) = 0;
    // The worker's last call. error 0: completed or aborted (the file is gone after an abort);
    // 1: failed, the text says why and the partial file is gone.
    virtual void transferFinished(int error, const std::string& errorText) = 0;
};

struct DownloadJob {
    FtpServer server;
    std::string remotePath; // "/FTP-1seg/UPDATE/<version>/<file>"
    std::string localPath;  // the file below, in the private temporary folder
    int localFd = -1;       // open for writing; the worker closes it
    FtpOptions options;
};

class Downloader {
public:
    explicit Downloader(DownloadHost& host) : host_(host) {}
    // Waits for a running worker; ask it to stop first (abort) unless it has finished.
    ~Downloader();
    Downloader(const Downloader&) = delete;
    Downloader& operator=(const Downloader&) = delete;

    // Starts the worker; the abort flag is cleared just before it runs. False when the thread
    // could not be made (the job's file is then still the caller's).
    bool start(DownloadJob job);
    // Asks a running transfer to stop after the block in hand (any thread).
    void abort() { abort_.store(true); }
    // Set from construction until start and again by abort: no transfer is running or wanted.
    bool aborting() const { return abort_.load(); }
    void join();

    int64_t bytesWritten() const { return bytes_.load(); }

private:
    struct Outcome {
        int error = 0;
        std::string text;
    };
    void run(DownloadJob job);
    Outcome transfer(DownloadJob& job);
    DownloadHost& host_;
    std::atomic<bool> abort_{true};
    std::atomic<int64_t> bytes_{0};
    std::thread thread_;
};

} // namespace kobal::update
