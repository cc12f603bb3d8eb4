#pragma once

#include <QString>
#include <cstddef>
#include <cstdint>
#include <memory>
#include <set>

#include "keymap/key_emitter.hpp"

namespace keymap {

// The two calls the uinput protocol is made of. The real one works on an open
// /dev/uinput; tests put a pipe or a file behind it.
class UinputIo {
public:
    virtual ~UinputIo() = default;
    virtual int control(unsigned long request, unsigned long arg) = 0;  // ioctl
    virtual bool write(const void* data, std::size_t size) = 0;
};

// ioctl and write on a file descriptor, which it closes at the end.
class FdUinputIo : public UinputIo {
public:
    explicit FdUinputIo(int fd) : fd_(fd) {}
    ~FdUinputIo() override;
    FdUinputIo(const FdUinputIo&) = delete;
    FdUinputIo& operator=(const FdUinputIo&) = delete;

    int control(unsigned long request, unsigned long arg) override;
    bool write(const void* data, std::size_t size) override;

protected:
    int fd_;
};

// One virtual keyboard, made at start-up with every key of the VK table, typing into the
// kernel's input layer: works under X11, Wayland and on the console.
class UinputEmitter final : public KeyEmitter {
public:
    static constexpr const char* DeviceName = "Drevonix virtual keyboard";

    // Opens the uinput node and makes the keyboard; null, with the reason, on failure.
    static std::unique_ptr<UinputEmitter> open(const QString& path, QString* error);
    // Makes the keyboard on the given channel; null, with the reason, on failure.
    static std::unique_ptr<UinputEmitter> create(std::unique_ptr<UinputIo> io, QString* error);

    ~UinputEmitter() override;
    UinputEmitter(const UinputEmitter&) = delete;
    UinputEmitter& operator=(const UinputEmitter&) = delete;

    void key(std::uint8_t vk, bool pressed) override;

private:
    explicit UinputEmitter(std::unique_ptr<UinputIo> io) : io_(std::move(io)) {}
    void writeEvent(std::uint16_t type, std::uint16_t code, std::int32_t value);

    std::unique_ptr<UinputIo> io_;
    std::set<int> reportedUnknown_;
};

}  // namespace keymap
