// A power controller on a mocked kernel device, for the end-to-end tests of the real
// programs: umockdev builds a private /sys and /dev with a hidraw node backed by a pty,
// and the program under test runs as our child under umockdev's preload library, so that
// hidapi, libudev and the program's reader thread run unchanged on it.
//
//   mock_controller [OPTIONS] -- PROGRAM [ARGS...]
//
//   --absent             start without the controller (default: plugged)
//   --at MS:ACTION       do ACTION MS milliseconds after the program started
//   --control FIFO       read ACTION lines from FIFO (created if missing)
//   --log FILE           what happened, one line each: "MS plug /dev/hidraw0",
//                        "MS out 00 03 00 ..." (every output report, 65 bytes),
//                        "MS stale ..." (one written to a node after its unplug),
//                        "MS report CODE US" (a wheel-button report sent, US its time on
//                        CLOCK_MONOTONIC in microseconds, the X server's clock), ...
//   --mute CMD           never answer command CMD (1 or 3)
//   --mode OCTAL         the node's permissions (default 666)
//   --user UID:GID       run the program as this user
//   --ioctl              answer the report descriptor's size on the node (hidapi's open
//                        asks for it). Every read and write on the node then passes
//                        through this process, three context switches each.
//   --timeout S          kill the program after S seconds (default 60), exit 124
//
// ACTION is one of
//   plug                 the controller comes (a new node: hidraw0, then hidraw1, ...)
//   unplug               a real unplug: udev says "remove" and the node hangs up
//   unplug-udev          udev says "remove", the open node stays quiet
//   unplug-silent        the node hangs up and the device is gone, udev says nothing
//   press CODE COUNT     COUNT wheel-button reports with CODE, 10 ms apart
//   stream CODE COUNT RATE
//                        COUNT wheel-button reports with CODE at RATE a second (a held
//                        button; the benchmarks' load), each logged as "MS sent N US",
//                        US the monotonic clock in microseconds ("lost" for one that
//                        found the program's buffer full)
//
// The controller answers command 1 with its block, keeps the block of command 2 and
// answers command 3 with telemetry (ACC 13.81 V, ATX 12.10 V, 25.2 °C). The mock exits
// with the program's status (128 + signal when it was killed); SIGTERM, SIGINT and SIGHUP
// are passed on to the program.
#include <errno.h>
#include <fcntl.h>
#include <glib-unix.h>
#include <grp.h>
#include <linux/hidraw.h>
#include <signal.h>
#include <stdlib.h>
#include <sys/ioctl.h>
#include <sys/prctl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <termios.h>
#include <umockdev.h>
#include <unistd.h>

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstdio>
#include <cstring>
#include <set>
#include <string>
#include <vector>

namespace {

constexpr std::size_t kOutSize = 65;  // report number 0, then 64 bytes
constexpr std::size_t kInSize = 64;   // unnumbered: the type first

// Vendor-defined page, 64 bytes in and out: what a PIC18 HID firmware declares.
std::uint8_t kReportDescriptor[] = {0x06, 0x00, 0xFF, 0x09, 0x01, 0xA1, 0x01, 0x15, 0x00,
                                    0x26, 0xFF, 0x00, 0x75, 0x08, 0x95, 0x40, 0x09, 0x01,
                                    0x81, 0x02, 0x95, 0x40, 0x09, 0x01, 0x91, 0x02, 0xC0};

struct Mock {
    UMockdevTestbed* bed = nullptr;
    UMockdevIoctlBase* ioctls = nullptr;
    std::string usb;   // sysfs path of the plugged controller's USB device, empty if absent
    std::string raw;   // its hidraw device
    std::string node;  // /dev/hidrawN
    int master = -1;   // the pty's end we serve
    int slave = -1;    // held open so the master never reads a hang-up of its own
    int plugs = 0;
    guint watch = 0;
    std::vector<int> quiet;  // masters of nodes unplugged without hanging up, kept open
    std::array<std::uint8_t, 26> block{0x03, 0x1F, 0x02, 0x14, 30,   40,   60,   20,   5,
                                       0x03, 0xE8, 0x01, 0xF4, 0x03, 0xE8, 0x01, 0xF4, 0x03,
                                       0xE8, 0x01, 0xF4, 0x01, 0xF4, 2,    1,    0};
    std::array<std::uint16_t, 3> telemetry{920, 800, 584};
    std::set<int> mute;
    bool ioctl = false;
    unsigned mode = 0666;
    FILE* log = nullptr;
    gint64 start = 0;
    GPid child = 0;
    int status = 1;
    bool timedOut = false;
    GMainLoop* loop = nullptr;
};

Mock m;

long long nowMs() {
    return (g_get_monotonic_time() - m.start) / 1000;
}

void logLine(const std::string& text) {
    if (!m.log) return;
    std::fprintf(m.log, "%lld %s\n", nowMs(), text.c_str());
    std::fflush(m.log);
}

[[noreturn]] void die(const std::string& text) {
    std::fprintf(stderr, "mock_controller: %s\n", text.c_str());
    if (m.child > 0) kill(m.child, SIGKILL);
    if (m.bed) g_object_unref(m.bed);  // removes the testbed's folder
    std::exit(2);
}

std::string hex(const std::uint8_t* data, std::size_t n) {
    std::string s;
    char b[4];
    for (std::size_t i = 0; i < n; ++i) {
        std::snprintf(b, sizeof b, i ? " %02x" : "%02x", data[i]);
        s += b;
    }
    return s;
}

// False when the program has not read what came before and the pty is full: a device
// loses its reports then, so a stream may go on.
bool sendReport(const std::array<std::uint8_t, kInSize>& report, bool mayLose = false) {
    if (m.master < 0) return false;
    // One write per report: the program's read of 64 bytes then takes exactly one.
    if (write(m.master, report.data(), report.size()) == static_cast<ssize_t>(report.size()))
        return true;
    if (mayLose && errno == EAGAIN) return false;
    die(std::string("cannot write a report: ") + std::strerror(errno));
}

void answer(const std::uint8_t* out) {
    const int command = out[1];
    if (m.mute.count(command)) return;
    std::array<std::uint8_t, kInSize> in{};
    switch (command) {
        case 1:
            in[0] = 1;
            std::copy(m.block.begin(), m.block.end(), in.begin() + 1);
            sendReport(in);
            break;
        case 2:
            std::copy(out + 2, out + 2 + m.block.size(), m.block.begin());
            break;
        case 3:
            in[0] = 3;
            for (std::size_t i = 0; i < m.telemetry.size(); ++i) {
                in[1 + 2 * i] = static_cast<std::uint8_t>(m.telemetry[i] & 0xFF);
                in[2 + 2 * i] = static_cast<std::uint8_t>(m.telemetry[i] >> 8);
            }
            sendReport(in);
            break;
        default:
            break;
    }
}

// What the program writes, per node. A node unplugged without hanging up is still read:
// whatever the program sends there is logged as "stale" and never answered.
struct Wire {
    int fd = -1;
    std::string input;  // bytes written by the program, not yet a whole report
};

gboolean onMaster(gint fd, GIOCondition, gpointer data) {
    auto* wire = static_cast<Wire*>(data);
    char buffer[4096];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) {
        if (n < 0 && errno == EAGAIN) return G_SOURCE_CONTINUE;
        return G_SOURCE_REMOVE;
    }
    // The pty is a byte stream: the program's 65-byte writes are cut apart again here, so a
    // write of any other length shows as garbage in the log.
    wire->input.append(buffer, static_cast<std::size_t>(n));
    while (wire->input.size() >= kOutSize) {
        const auto* out = reinterpret_cast<const std::uint8_t*>(wire->input.data());
        const bool live = fd == m.master;
        logLine((live ? "out " : "stale ") + hex(out, kOutSize));
        if (live) answer(out);
        wire->input.erase(0, kOutSize);
    }
    return G_SOURCE_CONTINUE;
}

gboolean onIoctl(UMockdevIoctlBase*, UMockdevIoctlClient* client, gpointer) {
    // hidapi asks for the descriptor size to tell a hidraw node from anything else.
    if (umockdev_ioctl_client_get_request(client) != HIDIOCGRDESCSIZE) return FALSE;
    GError* error = nullptr;
    UMockdevIoctlData* data =
        umockdev_ioctl_data_resolve(umockdev_ioctl_client_get_arg(client), 0, sizeof(int), &error);
    if (!data) die(std::string("ioctl: ") + error->message);
    const int size = static_cast<int>(sizeof kReportDescriptor);
    std::memcpy(data->data, &size, sizeof size);
    umockdev_ioctl_data_unref(data);
    umockdev_ioctl_client_complete(client, 0, 0);
    return TRUE;
}

std::string rootPath(const std::string& path) {
    gchar* root = umockdev_testbed_get_root_dir(m.bed);
    std::string result = std::string(root) + path;
    g_free(root);
    return result;
}

void plug() {
    if (!m.usb.empty()) return;
    const int n = m.plugs++;
    const std::string name = "hidraw" + std::to_string(n);
    m.node = "/dev/" + name;
    char hidName[32];
    std::snprintf(hidName, sizeof hidName, "0003:04D8:003F.%04X", n + 1);

    gchar* usb = umockdev_testbed_add_device(
        m.bed, "usb", "usb1/1-1", nullptr, "idVendor", "04d8", "idProduct", "003f", "bcdDevice",
        "0100", "manufacturer", "Drevonix", "product", "Drevonix USB Power Controller", "serial",
        "0001", nullptr, "DEVTYPE", "usb_device", nullptr);
    gchar* intf = umockdev_testbed_add_device(m.bed, "usb", "1-1:1.0", usb, "bInterfaceNumber",
                                              "00", nullptr, "DEVTYPE", "usb_interface", nullptr);
    // hidapi skips a device whose hid parent lacks any of HID_ID, HID_NAME, HID_UNIQ.
    gchar* hid = umockdev_testbed_add_device(m.bed, "hid", hidName, intf, nullptr, "HID_ID",
                                             "0003:000004D8:0000003F", "HID_NAME",
                                             "Drevonix USB Power Controller", "HID_UNIQ", "0001",
                                             "HID_PHYS", "usb-0000:00:14.0-1/input0", nullptr);
    umockdev_testbed_set_attribute_binary(m.bed, hid, "report_descriptor", kReportDescriptor,
                                          sizeof kReportDescriptor);
    // The testbed announces the node as soon as it is made: hidapi's open must find its
    // ioctl answered by then.
    GError* error = nullptr;
    if (m.ioctl && !umockdev_testbed_attach_ioctl(m.bed, m.node.c_str(), m.ioctls, &error))
        die(std::string("attach_ioctl: ") + error->message);
    // The preload library connects to these at every open, also for another user.
    for (const std::string& socket : {rootPath("/ioctl/_default"), rootPath("/ioctl" + m.node)})
        chmod(socket.c_str(), 0777);
    // Described rather than added: only a described node gets a pty behind it.
    const std::string description = std::string("P: ") + (hid + std::strlen("/sys")) + "/hidraw/" +
                                    name + "\nE: SUBSYSTEM=hidraw\nE: DEVNAME=/dev/" + name +
                                    "\nA: dev=245:" + std::to_string(n) + "\nN: " + name + "\n";
    if (!umockdev_testbed_add_from_string(m.bed, description.c_str(), &error))
        die(std::string("cannot describe the node: ") + error->message);
    gchar* raw = g_strdup_printf("%s/hidraw/%s", hid, name.c_str());
    if (!usb || !intf || !hid || !raw) die("cannot add the controller to the testbed");
    m.usb = usb;
    m.raw = raw;
    g_free(usb);
    g_free(intf);
    g_free(hid);
    g_free(raw);

    m.master = umockdev_testbed_get_dev_fd(m.bed, m.node.c_str());
    if (m.master < 0) die("the testbed made no pty for " + m.node);
    // Raw bytes both ways: no echo, no line editing, no flow control, no signal characters.
    termios tio{};
    if (tcgetattr(m.master, &tio) != 0) die("tcgetattr");
    cfmakeraw(&tio);
    if (tcsetattr(m.master, TCSANOW, &tio) != 0) die("tcsetattr");
    const char* pty = ptsname(m.master);
    if (!pty) die("ptsname");
    m.slave = open(pty, O_RDWR | O_NOCTTY | O_CLOEXEC);
    if (m.slave < 0 || chmod(pty, m.mode) != 0) die(std::string("pty ") + pty);
    g_unix_set_fd_nonblocking(m.master, TRUE, nullptr);
    m.watch =
        g_unix_fd_add_full(G_PRIORITY_DEFAULT, m.master, G_IO_IN, onMaster, new Wire{m.master, {}},
                           [](gpointer w) { delete static_cast<Wire*>(w); });
    logLine("plug " + m.node);
}

void unplug(bool uevent, bool hangup) {
    if (m.usb.empty()) return;
    const char* pty = ptsname(m.master);
    std::string ptyName = pty ? pty : "";
    std::replace(ptyName.begin(), ptyName.end(), '/', '_');
    if (uevent) {
        // Gone from the listing first, then announced: the uevent needs the device
        // directory still there, while a program that looks again must not find it.
        const std::string link = rootPath("/sys/class/hidraw/" + m.node.substr(5));
        unlink(link.c_str());
        umockdev_testbed_uevent(m.bed, m.raw.c_str(), "remove");
    }
    GError* error = nullptr;
    if (m.ioctl && !umockdev_testbed_detach_ioctl(m.bed, m.node.c_str(), &error))
        die(std::string("detach_ioctl: ") + error->message);
    umockdev_testbed_remove_device(m.bed, m.usb.c_str());
    close(m.slave);
    // The testbed keeps the pty's master open; closing it hangs the program's end up.
    if (hangup) {
        g_source_remove(m.watch);
        close(m.master);
    } else {
        m.quiet.push_back(m.master);
    }
    m.watch = 0;
    // The testbed leaves its pty entry and the USB bus links behind; a later plug would
    // trip over them.
    if (!ptyName.empty()) unlink(rootPath("/dev/.ptymap/" + ptyName).c_str());
    for (const char* link : {"1-1", "1-1:1.0"})
        unlink(rootPath(std::string("/sys/bus/usb/devices/") + link).c_str());
    unlink(rootPath(m.node).c_str());
    m.usb.clear();
    m.raw.clear();
    m.master = m.slave = -1;
    logLine(std::string("unplug ") + m.node + (uevent ? " udev" : "") + (hangup ? " hangup" : ""));
}

struct Press {
    int code;
    int left;
};

gboolean pressStep(gpointer data) {
    auto* p = static_cast<Press*>(data);
    std::array<std::uint8_t, kInSize> in{};
    in[0] = 4;
    in[1] = static_cast<std::uint8_t>(p->code & 0xFF);
    in[2] = static_cast<std::uint8_t>(p->code >> 8);
    if (m.master >= 0)
        logLine("report " + std::to_string(p->code) + " " + std::to_string(g_get_monotonic_time()));
    sendReport(in);
    if (--p->left > 0) return G_SOURCE_CONTINUE;
    delete p;
    return G_SOURCE_REMOVE;
}

struct Stream {
    int code;
    int count;
    int rate;
    int sent = 0;
    gint64 start = g_get_monotonic_time();
};

gboolean streamStep(gpointer data) {
    auto* s = static_cast<Stream*>(data);
    // Whatever is due by now, so that the rate holds however late the timer fires.
    const gint64 due = (g_get_monotonic_time() - s->start) * s->rate / 1000000 + 1;
    std::array<std::uint8_t, kInSize> in{};
    in[0] = 4;
    in[1] = static_cast<std::uint8_t>(s->code & 0xFF);
    in[2] = static_cast<std::uint8_t>(s->code >> 8);
    while (s->sent < s->count && s->sent < due) {
        sendReport(in);
        logLine("sent " + std::to_string(++s->sent) + " " + std::to_string(g_get_monotonic_time()));
    }
    if (s->sent < s->count) return G_SOURCE_CONTINUE;
    delete s;
    return G_SOURCE_REMOVE;
}

void act(const std::string& action) {
    int code = 0, count = 0, rate = 0;
    if (action == "plug")
        plug();
    else if (action == "unplug")
        unplug(true, true);
    else if (action == "unplug-udev")
        unplug(true, false);
    else if (action == "unplug-silent")
        unplug(false, true);
    else if (std::sscanf(action.c_str(), "press %d %d", &code, &count) == 2 && count > 0) {
        logLine("press " + std::to_string(code) + " " + std::to_string(count));
        g_timeout_add(10, pressStep, new Press{code, count});
    } else if (std::sscanf(action.c_str(), "stream %d %d %d", &code, &count, &rate) == 3 &&
               count > 0 && rate > 0 && rate <= 1000000) {
        logLine("stream " + std::to_string(code) + " " + std::to_string(count) + " " +
                std::to_string(rate));
        g_timeout_add(rate >= 1000 ? 1 : 1000 / rate, streamStep, new Stream{code, count, rate});
    } else
        die("unknown action \"" + action + "\"");
}

gboolean scheduled(gpointer data) {
    auto* action = static_cast<std::string*>(data);
    act(*action);
    delete action;
    return G_SOURCE_REMOVE;
}

std::string controlLine;

gboolean onControl(gint fd, GIOCondition, gpointer) {
    char buffer[256];
    const ssize_t n = read(fd, buffer, sizeof buffer);
    if (n <= 0) return G_SOURCE_CONTINUE;
    controlLine.append(buffer, static_cast<std::size_t>(n));
    for (std::size_t eol; (eol = controlLine.find('\n')) != std::string::npos;) {
        const std::string line = controlLine.substr(0, eol);
        controlLine.erase(0, eol + 1);
        if (!line.empty()) act(line);
    }
    return G_SOURCE_CONTINUE;
}

struct User {
    uid_t uid = 0;
    gid_t gid = 0;
    bool set = false;
} user;

void childSetup(gpointer) {
    if (user.set) {
        if (setgroups(0, nullptr) != 0 || setgid(user.gid) != 0 || setuid(user.uid) != 0)
            _exit(126);
    }
    // After the change of user, which clears it: a mock that dies takes the program along.
    prctl(PR_SET_PDEATHSIG, SIGKILL);
}

void onChild(GPid, gint status, gpointer) {
    if (WIFEXITED(status))
        m.status = WEXITSTATUS(status);
    else if (WIFSIGNALED(status))
        m.status = 128 + WTERMSIG(status);
    m.child = 0;
    if (m.timedOut) m.status = 124;
    logLine("exit " + std::to_string(m.status));
    g_main_loop_quit(m.loop);
}

gboolean passSignal(gpointer signo) {
    if (m.child > 0) kill(m.child, GPOINTER_TO_INT(signo));
    return G_SOURCE_CONTINUE;
}

gboolean timedOut(gpointer) {
    logLine("timeout");
    std::fprintf(stderr, "mock_controller: the program still ran at the time limit\n");
    m.timedOut = true;
    if (m.child > 0) kill(m.child, SIGKILL);
    return G_SOURCE_REMOVE;
}

}  // namespace

int main(int argc, char** argv) {
    // The testbed itself resolves /sys paths through the preload library, as the program
    // does: start again under it.
    const char* preload = getenv("LD_PRELOAD");
    if (!preload || !std::strstr(preload, "libumockdev-preload")) {
        const std::string preloads = std::string("libumockdev-preload.so.0") +
                                     (preload && *preload ? std::string(":") + preload : "");
        setenv("LD_PRELOAD", preloads.c_str(), 1);
        execv("/proc/self/exe", argv);
        die(std::string("cannot start again under umockdev: ") + std::strerror(errno));
    }
    bool plugged = true;
    std::vector<std::pair<int, std::string>> schedule;
    std::string control;
    int timeoutS = 60;
    int i = 1;
    for (; i < argc; ++i) {
        const std::string a = argv[i];
        auto value = [&]() -> std::string {
            if (i + 1 >= argc) die(a + " needs a value");
            return argv[++i];
        };
        if (a == "--") {
            ++i;
            break;
        } else if (a == "--absent") {
            plugged = false;
        } else if (a == "--at") {
            const std::string v = value();
            const auto colon = v.find(':');
            if (colon == std::string::npos) die("--at MS:ACTION");
            schedule.emplace_back(std::atoi(v.c_str()), v.substr(colon + 1));
        } else if (a == "--control") {
            control = value();
        } else if (a == "--log") {
            const std::string path = value();
            m.log = std::fopen(path.c_str(), "a");
            if (!m.log) die("cannot open " + path);
        } else if (a == "--mute") {
            m.mute.insert(std::atoi(value().c_str()));
        } else if (a == "--ioctl") {
            m.ioctl = true;
        } else if (a == "--mode") {
            m.mode = static_cast<unsigned>(std::strtoul(value().c_str(), nullptr, 8));
        } else if (a == "--user") {
            unsigned uid = 0, gid = 0;
            if (std::sscanf(value().c_str(), "%u:%u", &uid, &gid) != 2) die("--user UID:GID");
            user = {uid, gid, true};
        } else if (a == "--timeout") {
            timeoutS = std::atoi(value().c_str());
        } else {
            die("unknown option " + a);
        }
    }
    if (i >= argc) die("no program to run (mock_controller [OPTIONS] -- PROGRAM [ARGS...])");

    m.start = g_get_monotonic_time();
    m.bed = umockdev_testbed_new();
    // Readable by a program that runs as another user.
    gchar* root = umockdev_testbed_get_root_dir(m.bed);
    chmod(root, 0755);
    // No uinput in this world: keystrokes of the program under test must not reach the
    // machine's real input devices, only the X server (XTest).
    mkdir((std::string(root) + "/dev").c_str(), 0755);
    mkdir((std::string(root) + "/dev/uinput").c_str(), 0);
    m.ioctls = umockdev_ioctl_base_new();
    g_signal_connect(m.ioctls, "handle-ioctl", G_CALLBACK(onIoctl), nullptr);
    if (plugged) plug();

    if (!control.empty()) {
        if (mkfifo(control.c_str(), 0600) != 0 && errno != EEXIST) die("cannot make " + control);
        // Opened for writing too, so that a writer that comes and goes never means the end.
        const int fd = open(control.c_str(), O_RDWR | O_NONBLOCK | O_CLOEXEC);
        if (fd < 0) die("cannot open " + control);
        g_unix_fd_add(fd, G_IO_IN, onControl, nullptr);
    }

    gchar** env = g_environ_setenv(g_get_environ(), "UMOCKDEV_DIR", root, TRUE);
    g_free(root);

    GError* error = nullptr;
    if (!g_spawn_async(nullptr, argv + i, env,
                       static_cast<GSpawnFlags>(G_SPAWN_DO_NOT_REAP_CHILD | G_SPAWN_SEARCH_PATH |
                                                G_SPAWN_CHILD_INHERITS_STDIN),
                       childSetup, nullptr, &m.child, &error))
        die(std::string("cannot start the program: ") + error->message);
    g_strfreev(env);
    logLine(std::string("start ") + argv[i]);

    m.loop = g_main_loop_new(nullptr, FALSE);
    g_child_watch_add(m.child, onChild, nullptr);
    g_unix_signal_add(SIGTERM, passSignal, GINT_TO_POINTER(SIGTERM));
    g_unix_signal_add(SIGINT, passSignal, GINT_TO_POINTER(SIGINT));
    g_unix_signal_add(SIGHUP, passSignal, GINT_TO_POINTER(SIGHUP));
    g_timeout_add_seconds(static_cast<guint>(timeoutS), timedOut, nullptr);
    for (auto& [ms, action] : schedule)
        g_timeout_add(static_cast<guint>(ms), scheduled, new std::string(action));
    g_main_loop_run(m.loop);

    for (int fd : m.quiet) close(fd);
    g_object_unref(m.ioctls);
    g_object_unref(m.bed);
    return m.status;
}
