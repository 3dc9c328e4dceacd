#pragma once
// SIGTERM and SIGINT as events of the Qt event loop, so that they end the viewer at any moment
// after start-up began: in the main loop, in the nested loop of a modal dialog or message box,
// and while start-up waits for the window. When the window's thread is busy and runs no loop (a
// long load), a watching thread ends the process once the signal has waited kBusyGrace.

#include <signal.h>

#include <QSocketNotifier>
#include <chrono>
#include <functional>
#include <memory>
#include <thread>

namespace pelorus {

// Watches a descriptor that signals arrive on (records of signalfd_siginfo): a record that is
// still unread after `grace` is read here, on a thread of the watcher's own, and `onBusy` is
// called there with its signal number. Records read by someone else within the grace are left
// to them. Stops (and joins its thread) when destroyed; `fd` must outlive it.
class BusyWatcher {
public:
    BusyWatcher(int fd, std::chrono::milliseconds grace, std::function<void(int)> onBusy);
    ~BusyWatcher();
    BusyWatcher(const BusyWatcher&) = delete;
    BusyWatcher& operator=(const BusyWatcher&) = delete;

    // False when the watching thread could not be started (nothing is watched then).
    bool Watching() const { return thread_.joinable(); }

private:
    void Watch();

    int fd_;
    std::chrono::milliseconds grace_;
    std::function<void(int)> onBusy_;
    int wake_ = -1;  // an eventfd that tells the thread to end
    std::thread thread_;
};

class TerminationSignals {
public:
    // How long a signal may wait for the event loop before the process is ended without it.
    static constexpr std::chrono::milliseconds kBusyGrace{1000};

    // Blocks SIGTERM and SIGINT for the calling thread and every thread it starts later; must run
    // before any other thread is started (QApplication starts some), so that the signals are
    // only ever taken from the descriptor. Restores the previous mask when destroyed.
    TerminationSignals();
    ~TerminationSignals();
    TerminationSignals(const TerminationSignals&) = delete;
    TerminationSignals& operator=(const TerminationSignals&) = delete;

    // From now on, every signal received is taken by the event loop (of a QCoreApplication that
    // must exist): Requested() becomes true, every running event loop is told to end
    // (QCoreApplication::exit(0), which also ends the loops of modal dialogs and makes those
    // opened afterwards return at once), and `onSignal` is called. Signals that came before
    // are taken at the first pass of a loop. False when the signals could not be blocked or no
    // descriptor could be made (they then keep their default action).
    //
    // A signal that no loop took within `grace` is taken by a thread of its own, which calls
    // `onBusy` with the signal's number there; without `onBusy` the process ends at once as the
    // signal's default action ends it (nothing it writes is lost: every file is written whole under
    // a temporary name and renamed into place).
    bool Listen(std::function<void()> onSignal = {}, std::chrono::milliseconds grace = kBusyGrace,
                std::function<void(int)> onBusy = {});

    // True once a signal was taken.
    bool Requested() const { return requested_; }

private:
    sigset_t set_{};
    sigset_t previous_{};
    bool blocked_ = false;
    bool requested_ = false;
    int fd_ = -1;
    std::function<void()> onSignal_;
    std::unique_ptr<QSocketNotifier> notifier_;
    std::unique_ptr<BusyWatcher> watcher_;
};

}  // namespace pelorus
