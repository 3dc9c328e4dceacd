#include "objectserver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <spawn.h>
#include <stdlib.h>
#include <sys/wait.h>
#include <unistd.h>

#include <charconv>
#include <fstream>

extern char** environ;

namespace pelorus::test {
namespace {

std::vector<std::string> Fields(const std::string& line) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (true) {
        const std::size_t tab = line.find('\t', start);
        out.push_back(line.substr(start, tab - start));
        if (tab == std::string::npos) return out;
        start = tab + 1;
    }
}

}  // namespace

void NoProxies() {
    for (const char* name : {"http_proxy", "HTTP_PROXY", "https_proxy", "HTTPS_PROXY", "all_proxy", "ALL_PROXY"})
        ::unsetenv(name);
    ::setenv("no_proxy", "*", 1);
    ::setenv("NO_PROXY", "*", 1);
}

ObjectServer::ObjectServer(const std::string& folder, const std::string& logFolder)
    : log_(logFolder + "/requests.log") {
    std::ofstream(log_).flush();
    int out[2], in[2];
    if (::pipe2(out, O_CLOEXEC) != 0 || ::pipe2(in, O_CLOEXEC) != 0) {
        ADD_FAILURE() << "no pipe for the server";
        return;
    }
    // The server reads its standard input until this process ends and closes the other end.
    lifeline_ = in[1];
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_adddup2(&actions, out[1], 1);
    posix_spawn_file_actions_adddup2(&actions, in[0], 0);
    const std::string script = std::string(PELORUS_SOURCE_DIR) + "/tests/net/objectserver.py";
    std::string python = PELORUS_PYTHON;
    std::vector<char*> argv = {python.data(), const_cast<char*>(script.c_str()), const_cast<char*>(folder.c_str()),
                               log_.data(), nullptr};
    const int spawned = ::posix_spawn(&pid_, python.c_str(), &actions, nullptr, argv.data(), environ);
    posix_spawn_file_actions_destroy(&actions);
    ::close(out[1]);
    ::close(in[0]);
    if (spawned != 0) {
        pid_ = -1;
        ::close(out[0]);
        ADD_FAILURE() << "cannot start " << python;
        return;
    }
    // The first line is the port; a server that says nothing in 20 s has failed.
    std::string line;
    pollfd ready{out[0], POLLIN, 0};
    while (line.find('\n') == std::string::npos && ::poll(&ready, 1, 20'000) == 1) {
        char buffer[64];
        const ssize_t n = ::read(out[0], buffer, sizeof buffer);
        if (n <= 0) break;
        line.append(buffer, static_cast<std::size_t>(n));
    }
    ::close(out[0]);
    const auto [end, ec] = std::from_chars(line.data(), line.data() + line.size(), port_);
    if (ec != std::errc{} || port_ <= 0) {
        port_ = 0;
        ADD_FAILURE() << "the test server did not start: \"" << line << "\"";
        Stop();
    }
}

ObjectServer::~ObjectServer() {
    Stop();
}

void ObjectServer::Stop() {
    if (lifeline_ >= 0) ::close(lifeline_);
    lifeline_ = -1;
    if (pid_ <= 0) return;
    ::kill(pid_, SIGKILL);
    int status = 0;
    ::waitpid(pid_, &status, 0);
    pid_ = -1;
}

std::string ObjectServer::Url(std::string_view path) const {
    return "http://127.0.0.1:" + std::to_string(port_) + "/" + std::string(path);
}

std::vector<ObjectServer::Hit> ObjectServer::Hits() const {
    std::vector<Hit> out;
    std::ifstream in(log_);
    std::string line;
    while (std::getline(in, line)) {
        const std::vector<std::string> fields = Fields(line);
        if (fields.size() != 4) continue;
        Hit hit{fields[0], fields[1], fields[2], 0};
        std::from_chars(fields[3].data(), fields[3].data() + fields[3].size(), hit.active);
        out.push_back(std::move(hit));
    }
    return out;
}

int ObjectServer::CountOf(std::string_view path) const {
    int count = 0;
    for (const Hit& hit : Hits()) count += hit.path == path;
    return count;
}

}  // namespace pelorus::test
