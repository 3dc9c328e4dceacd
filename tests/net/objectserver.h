#pragma once
// The tests' web server (objectserver.py): one folder served on 127.0.0.1, every request logged.

#include <sys/types.h>

#include <string>
#include <string_view>
#include <vector>

namespace pelorus::test {

class ObjectServer {
public:
    // Serves `folder` on a free port of 127.0.0.1, logging to a file beside it in `logFolder`.
    // Failures are test failures (Port() is then 0).
    ObjectServer(const std::string& folder, const std::string& logFolder);
    ~ObjectServer();
    ObjectServer(const ObjectServer&) = delete;
    ObjectServer& operator=(const ObjectServer&) = delete;

    // Ends the server; later requests cannot connect.
    void Stop();
    int Port() const { return port_; }
    // "http://127.0.0.1:PORT/" followed by `path`.
    std::string Url(std::string_view path = {}) const;

    struct Hit {
        std::string path;  // as sent, percent escapes and all
        std::string ifNoneMatch;
        std::string ifModifiedSince;
        int active = 0;  // requests being answered, this one included
    };
    // Every request so far, in order.
    std::vector<Hit> Hits() const;
    // How many requests asked for `path` (as sent).
    int CountOf(std::string_view path) const;

private:
    std::string log_;
    pid_t pid_ = -1;
    int lifeline_ = -1;  // the server's standard input
    int port_ = 0;
};

// Turns off every proxy for this process and the processes it starts, so that requests to
// 127.0.0.1 go nowhere else. Call before any transfer starts.
void NoProxies();

}  // namespace pelorus::test
