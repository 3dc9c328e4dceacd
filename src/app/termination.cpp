#include "app/termination.h"

#include <pthread.h>
#include <sys/signalfd.h>
#include <unistd.h>

#include <QCoreApplication>

namespace pelorus {

TerminationSignals::TerminationSignals() {
    sigemptyset(&set_);
    sigaddset(&set_, SIGTERM);
    sigaddset(&set_, SIGINT);
    blocked_ = pthread_sigmask(SIG_BLOCK, &set_, &previous_) == 0;
}

TerminationSignals::~TerminationSignals() {
    notifier_.reset();
    if (fd_ >= 0) ::close(fd_);
    if (blocked_) pthread_sigmask(SIG_SETMASK, &previous_, nullptr);
}

bool TerminationSignals::Listen(std::function<void()> onSignal) {
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
    return true;
}

}  // namespace pelorus
