#include "app/termination.h"

#include <poll.h>
#include <pthread.h>
#include <sys/eventfd.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCoreApplication>
#include <cerrno>
#include <cstdint>

namespace pelorus {
namespace {

// Ends the process as `signal` would have ended it had it never been blocked.
[[noreturn]] void EndAsTheSignalWould(int signal) {
    ::signal(signal, SIG_DFL);
    sigset_t one;
    sigemptyset(&one);
    sigaddset(&one, signal);
    pthread_sigmask(SIG_UNBLOCK, &one, nullptr);
    ::raise(signal);
    ::_exit(128 + signal);  // only if the signal could not end it
}

// Waits up to `ms` for `fd` to become readable; true when it did.
bool Readable(int fd, int ms) {
    pollfd p{fd, POLLIN, 0};
    for (;;) {
        const int n = ::poll(&p, 1, ms);
        if (n >= 0) return n > 0 && (p.revents & POLLIN);
        if (errno != EINTR) return false;
    }
}

}  // namespace

BusyWatcher::BusyWatcher(int fd, std::chrono::milliseconds grace, std::function<void(int)> onBusy)
    : fd_(fd), grace_(grace), onBusy_(std::move(onBusy)) {
    wake_ = ::eventfd(0, EFD_CLOEXEC);
    if (wake_ >= 0) thread_ = std::thread([this] { Watch(); });
}

BusyWatcher::~BusyWatcher() {
    if (thread_.joinable()) {
        const uint64_t one = 1;
        [[maybe_unused]] const ssize_t n = ::write(wake_, &one, sizeof one);
        thread_.join();
    }
    if (wake_ >= 0) ::close(wake_);
}

void BusyWatcher::Watch() {
    for (;;) {
        pollfd both[2] = {{fd_, POLLIN, 0}, {wake_, POLLIN, 0}};
        if (::poll(both, 2, -1) < 0) {
            if (errno == EINTR) continue;
            return;
        }
        if (both[1].revents) return;
        if (!(both[0].revents & POLLIN)) continue;
        // The event loop takes the record when it runs; give it the grace to.
        if (Readable(wake_, static_cast<int>(grace_.count()))) return;
        if (!Readable(fd_, 0)) continue;  // taken meanwhile
        signalfd_siginfo info{};
        if (::read(fd_, &info, sizeof info) != static_cast<ssize_t>(sizeof info)) continue;
        onBusy_(static_cast<int>(info.ssi_signo));
    }
}

TerminationSignals::TerminationSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGINT);
    blocked_ = pthread_sigmask(SIG_BLOCK, &set_, &previous_) == 0;
}

TerminationSignals::~TerminationSignals() {
    watcher_.reset();
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    if (blocked_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool TerminationSignals::Listen(std::function<void()> onSignal, std::chrono::milliseconds grace,
                                std::function<void(int)> onBusy) {
    onSignal_ = std::move(onSignal);
    if (!blocked_) return false;
    if (fd_ < 0) fd_ = signalfd(-1, &set_, SFD_NONBLOCK | SFD_CLOEXEC);
    if (fd_ < 0) {
        // Without a descriptor the signals must keep their default action, or they would be lost.
        pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
        blocked_ = false;
        return false;
    }
    notifier_ = std::make_unique<QSocketNotifier>(fd_, QSocketNotifier::Read);
    QObject::connect(notifier_.get(), &QSocketNotifier::activated, [this] {
        signalfd_siginfo info{};
        bool any = false;
        while (::read(fd_, &info, sizeof info) == static_cast<ssize_t>(sizeof info)) any = true;
        if (!any) return;
        requested_ = true;
        QCoreApplication::exit(0);
        if (onSignal_) onSignal_();
    });
    // Without the watcher a busy window's thread still takes the signal, only later. It runs with
    // the signals blocked (inherited), so it only ever sees them on the descriptor.
    if (!onBusy) onBusy = [](int signal) { EndAsTheSignalWould(signal); };
    watcher_ = std::make_unique<BusyWatcher>(fd_, grace, std::move(onBusy));
    return true;
}

}  // namespace pelorus
