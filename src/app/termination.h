#pragma once
// SIGTERM and SIGINT as events of the Qt event loop, so that they end the viewer at any moment
// after start-up began: in the main loop, in the nested loop of a modal dialog or message box,
// and while start-up waits for the window.

#include <signal.h>

#include <QSocketNotifier>
#include <functional>
#include <memory>

namespace pelorus {

class TerminationSignals {
public:
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
    bool Listen(std::function<void()> onSignal = {});

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
};

}  // namespace pelorus
