#pragma once
// A real FTP server on 127.0.0.1 (pyftpdlib, tests/updater/ftp_server.py) for one test, on a
// free port, serving a folder the test fills.
#include <string>

namespace kobal::test {

class FtpTestServer {
public:
    // mode: "" (plain server of root), "--hostile", "--endless", "--refuse".
    explicit FtpTestServer(const std::string& root, const std::string& mode = "");
    ~FtpTestServer();
    bool running() const { return port_ > 0; }
    int port() const { return port_; }
    std::string url() const { return "ftp://127.0.0.1:" + std::to_string(port_); }
    // How often the server printed line (e.g. "CONN"), reading until it is quiet or waitMs
    // have passed.
    int countLines(const std::string& line, int waitMs);

private:
    long pid_ = -1;
    int out_ = -1;
    int port_ = 0;
    std::string pending_;
};

// Writes bytes to root + "/" + relative, making the folders.
void putFile(const std::string& root, const std::string& relative, const std::string& bytes);
void putFolder(const std::string& root, const std::string& relative);

} // namespace kobal::test
