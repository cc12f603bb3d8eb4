#include "app/signal_watch.hpp"

namespace app {

SignalWatch::~SignalWatch() = default;

// A program with windows is not ended by signals here, and a console one by Ctrl+C's own
// handling.
bool SignalWatch::watch() {
    return false;
}

void SignalWatch::drainPipe() {}

}  // namespace app
