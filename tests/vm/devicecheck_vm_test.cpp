// The shipping tovusb-devicecheck in the VM against uhid devices of the catalogue models: it lists
// the supported hand-set and counts the rest as other HID devices, a button report played through
// uhid becomes its button line, an LED command reaches the device as the model's output report
// byte for byte, and a device plugged while it waits for commands is listed without one. The
// program runs as a child process with its commands on a pipe ($TOV_VM_DEVICECHECK, default
// /tov/tovusb-devicecheck). Expected lines and bytes come from the supported-device table, the
// SpeechMike III's decoding and its LED report layout.
#include <gtest/gtest.h>

#include <dirent.h>
#include <fcntl.h>
#include <linux/uhid.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdlib>
#include <memory>
#include <mutex>
#include <string>
#include <thread>

#include "UhidDevice.h"

extern char** environ;

using namespace uhidplayer;
using namespace std::chrono_literals;

namespace {

constexpr auto kWait = 20s;

// The device check as a child process; its output is collected by a reader thread.
class DeviceCheckProcess {
public:
    DeviceCheckProcess() {
        const char* configured = std::getenv("TOV_VM_DEVICECHECK");
        const std::string program = configured && configured[0] ? configured : "/tov/tovusb-devicecheck";
        int in[2], out[2];
        if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) return;
        posix_spawn_file_actions_t actions;
        posix_spawn_file_actions_init(&actions);
        posix_spawn_file_actions_adddup2(&actions, in[0], 0);
        posix_spawn_file_actions_adddup2(&actions, out[1], 1);
        posix_spawn_file_actions_adddup2(&actions, out[1], 2);
        // An ICA Client folder without module.ini: the registration says so, the devices are real.
        const char* argv[] = {program.c_str(), "--icaroot", "/tmp/no-ica-client", nullptr};
        started = posix_spawn(&pid, program.c_str(), &actions, nullptr, const_cast<char**>(argv), environ) == 0;
        posix_spawn_file_actions_destroy(&actions);
        close(in[0]);
        close(out[1]);
        commands = in[1];
        output = out[0];
        reader = std::thread([this] {
            char buffer[4096];
            ssize_t n;
            while ((n = read(output, buffer, sizeof buffer)) > 0) {
                std::lock_guard<std::mutex> lock(mutex);
                text.append(buffer, static_cast<size_t>(n));
                changed.notify_all();
            }
        });
    }
    ~DeviceCheckProcess() {
        if (commands >= 0) close(commands);
        if (started && !ended) waitpid(pid, nullptr, 0);
        if (reader.joinable()) reader.join();
        if (output >= 0) close(output);
    }
    bool Started() const { return started; }
    void Send(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(static_cast<ssize_t>(text.size()), write(commands, text.data(), text.size()));
    }
    bool WaitFor(const std::string& wanted) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kWait, [&] { return text.find(wanted) != std::string::npos; });
    }
    std::string Output() {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }
    // Closes the input and returns the exit status (-1 when it did not exit normally).
    int Finish() {
        close(commands);
        commands = -1;
        int status = 0;
        if (waitpid(pid, &status, 0) != pid) return -1;
        ended = true;
        reader.join();
        return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    }

private:
    bool started = false, ended = false;
    pid_t pid = -1;
    int commands = -1, output = -1;
    std::thread reader;
    std::mutex mutex;
    std::condition_variable changed;
    std::string text;
};

int HidrawNodes() {
    int n = 0;
    if (DIR* dir = opendir("/sys/class/hidraw")) {
        while (dirent* entry = readdir(dir)) {
            if (std::string(entry->d_name).rfind("hidraw", 0) == 0) ++n;
        }
        closedir(dir);
    }
    return n;
}

struct Played {
    std::unique_ptr<UhidDevice> device;
    std::string node;
};
Played Play(const std::string& key, size_t index = 0) {
    Played p;
    p.device = std::make_unique<UhidDevice>(*FindUhidModel(key), index);
    p.node = p.device->WaitForNode(10s);
    EXPECT_FALSE(p.node.empty()) << key;
    return p;
}

TEST(DeviceCheckVm, ListsButtonsLEDsAndArrivalsOnTheKernelsHIDStack) {
    const int before = HidrawNodes();
    Played mouse = Play("PlainMouse");
    Played handset = Play("SpeechMikeIII", 0);
    Played keyboard = Play("SpeechMikeIII", 1);
    Played handsetMouse = Play("SpeechMikeIII", 2);
    ASSERT_FALSE(handset.node.empty());

    DeviceCheckProcess check;
    ASSERT_TRUE(check.Started());
    // The hand-set's first interface is listed; its keyboard and mouse and the plain mouse are
    // other HID devices, with whatever the VM had before.
    ASSERT_TRUE(check.WaitFor("Supported devices: 1\n  1  Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  " +
                              handset.node + "\n  " + std::to_string(before + 3) + " other HID devices\n"))
        << check.Output();
    EXPECT_NE(std::string::npos, check.Output().find("  No Citrix ICA Client in /tmp/no-ica-client"));

    check.Send("select 1");
    ASSERT_TRUE(check.WaitFor("  Connected Philips SpeechMike III: press its buttons\n")) << check.Output();
    ASSERT_TRUE(handset.device->WaitOpens(1, kWait));

    // Byte 1 bit 0x80 marks a button report, byte 9 = 0x01 is button 3 (no button map: reported 3).
    handset.device->SendReport({0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x01});
    check.Send("wait-event 20000");
    ASSERT_TRUE(check.WaitFor("  pressed   hardware 3  reported 3\n")) << check.Output();
    handset.device->SendReport({0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x00});
    check.Send("wait-event 20000");
    ASSERT_TRUE(check.WaitFor("  released  hardware 3  reported 3\n")) << check.Output();

    // Group B: byte 1 = 0x02; LED 0 on sets byte 7 bit 0x40.
    check.Send("led 0 on");
    OutputReport out;
    ASSERT_TRUE(handset.device->TakeOutput(out, kWait)) << check.Output();
    EXPECT_EQ((std::vector<uint8_t>{0x00, 0x02, 0, 0, 0, 0, 0, 0x40, 0x00, 0x00}), out.bytes);
    EXPECT_EQ(UHID_OUTPUT_REPORT, out.reportType);
    ASSERT_TRUE(check.WaitFor("  LED 0 on\n")) << check.Output();

    // Plugged while the program sleeps waiting for a command: udev's event lists it again.
    Played foot = Play("Footswitch");
    ASSERT_TRUE(check.WaitFor(" Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)  " + foot.node + "\n"))
        << check.Output();

    check.Send("quit");
    EXPECT_EQ(0, check.Finish()) << check.Output();
    EXPECT_EQ(std::string::npos, check.Output().find("Error:")) << check.Output();
}

}  // namespace
