#include "app/signal_watch.hpp"

namespace app {

SignalWatch::~SignalWatch() = default;

// Console programs end on Ctrl+C through its own handling; there is nothing to hold.
void SignalWatch::holdSignals() {}
void SignalWatch::handleFromStart(bool) {}
void SignalWatch::releaseSignals() {}
// There is no SIGHUP here.
bool SignalWatch::hangupIsTerminalGone() {
    return false;
}

// A program with windows is not ended by signals here, and a console one by Ctrl+C's own
// handling.
bool SignalWatch::watch() {
    return false;
}

void SignalWatch::drainPipe() {}

}  // namespace app
