#pragma once

#include <functional>
#include <vector>

#include "emulator/simulated_library.hpp"

namespace testing_support {

// The emulated controller's library, noting what the program sent and whether anything
// listened to its notifications when Connect came.
class RecordingLibrary : public emulator::SimulatedLibrary {
public:
    using SimulatedLibrary::SimulatedLibrary;

    std::vector<device::Report> sent;
    std::function<void()> onConnect;
    bool hookedAtConnect = false;

    bool Connect() override {
        hookedAtConnect =
            receivers(SIGNAL(DeviceNotifyMessage(int, device::HidLibrary::Handle))) > 0;
        if (onConnect) onConnect();
        return SimulatedLibrary::Connect();
    }
    bool Write(Handle h, const device::Report& r) override {
        sent.push_back(r);
        return SimulatedLibrary::Write(h, r);
    }
};

}  // namespace testing_support
