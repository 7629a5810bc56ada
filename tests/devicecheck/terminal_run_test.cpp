// A whole run of tovusb-devicecheck's terminal on the simulated HID bus: the commands go into a
// pipe that is its input, its output is read back from another pipe; or both are a pseudo-terminal,
// as when a user types at its prompt. Expected lines and output
// reports are written out from the supported-device table, the SpeechMike III's decoding and LED
// report, and the button map file the test writes.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <pty.h>
#include <poll.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <fstream>
#include <mutex>
#include <regex>
#include <sstream>
#include <string>
#include <thread>
#include <vector>

#include "DeviceCheckTerminal.h"
#include "ProfileFile.h"
#include "TovSimBus.h"

using namespace devicecheck;

namespace {

constexpr auto kWait = std::chrono::seconds(10);

// A folder of this process with HardwareButtonMap.ini sending button 3 to code 20, set as the
// button map's only folder before the first lookup of the process.
std::string ButtonMapFolder() {
    static const std::string folder = [] {
        char name[] = "/tmp/tovusb-dcterm.XXXXXX";
        const std::string made = mkdtemp(name) ? name : "";
        std::ofstream(made + "/HardwareButtonMap.ini") << "[HardwareButtonMap]\n3=20\n";
        SetProfileSearchFolders({made});
        return made;
    }();
    return folder;
}

// The terminal on a thread of its own, as the program runs it on its main thread.
class RunningTerminal {
public:
    // With atTerminal the terminal's input and output are the same pseudo-terminal (its line
    // discipline echoes, ends lines with \r\n and turns ^D into the end of the input), and it prompts.
    explicit RunningTerminal(const std::string& icaRoot, bool atTerminal = false) : atTerminal(atTerminal) {
        int in[2], out[2];
        if (atTerminal) {
            int master = -1, slave = -1;
            if (openpty(&master, &slave, nullptr, nullptr, nullptr) != 0) return;
            in[0] = out[1] = slave;
            in[1] = master;
            out[0] = dup(master);
            settings.interactive = true;
        } else if (pipe2(in, O_CLOEXEC) != 0 || pipe2(out, O_CLOEXEC) != 0) {
            return;
        }
        commands = in[1];
        output = out[0];
        settings.input = in[0];
        settings.output = out[1];
        settings.paths.icaRoot = icaRoot;
        settings.paths.root = icaRoot;  // no udev rules there
        settings.files.traceLog = icaRoot + "/CitrixClient.log";
        settings.files.buttonMapFolders = {ButtonMapFolder()};
        settings.notifications.deliver = [] { TovPlatform_PumpMessages(); };
        runner = std::thread([this, in0 = in[0], out1 = out[1]] {
            exitCode = RunDeviceCheckTerminal(settings);
            close(in0);
            if (out1 != in0) close(out1);
        });
        // Ends when the terminal's end of the output is closed (a pipe's end of file, a pseudo-
        // terminal's EIO once its last slave descriptor is closed).
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
    ~RunningTerminal() {
        EndInput();
        if (runner.joinable()) runner.join();
        if (reader.joinable()) reader.join();
        if (output >= 0) close(output);
        if (atTerminal && commands >= 0) close(commands);
    }
    void Send(const std::string& line) {
        const std::string text = line + "\n";
        ASSERT_EQ(static_cast<ssize_t>(text.size()), write(commands, text.data(), text.size()));
    }
    // Typed at a terminal, the characters as they are (no line end added).
    void Type(const std::string& keys) {
        ASSERT_EQ(static_cast<ssize_t>(keys.size()), write(commands, keys.data(), keys.size()));
    }
    void EndInput() {
        if (commands < 0) return;
        if (atTerminal) {
            // ^D at the start of a line; the master stays open until the terminal has ended.
            if (!ended) Type("\x04");
            ended = true;
            return;
        }
        close(commands);
        commands = -1;
    }
    // Waits (bounded) until the output holds `wanted`.
    bool WaitFor(const std::string& wanted) {
        std::unique_lock<std::mutex> lock(mutex);
        return changed.wait_for(lock, kWait, [&] { return text.find(wanted) != std::string::npos; });
    }
    // Ends the input and waits for the run's end; its exit code.
    int Finish() {
        EndInput();
        runner.join();
        reader.join();
        return exitCode;
    }
    std::string Output() {
        std::lock_guard<std::mutex> lock(mutex);
        return text;
    }
    // The output from the first `from` on (all of it when it is not there).
    std::string OutputFrom(const std::string& from) {
        const std::string all = Output();
        const size_t at = all.find(from);
        return at == std::string::npos ? all : all.substr(at);
    }

private:
    const bool atTerminal;
    bool ended = false;
    TerminalSettings settings;
    int commands = -1, output = -1;
    int exitCode = -1;
    std::thread runner, reader;
    std::mutex mutex;
    std::condition_variable changed;
    std::string text;
};

std::string PathOf(int id) {
    char path[512];
    TovSim_DevicePath(id, path, sizeof path);
    return path;
}

std::vector<unsigned char> Output(int id) {
    std::vector<unsigned char> bytes(128);
    const int length = TovSim_ReadOutputReport(id, bytes.data(), static_cast<int>(bytes.size()));
    bytes.resize(length > 0 ? static_cast<size_t>(length) : 0);
    return bytes;
}

std::string ScratchICARoot() {
    char name[] = "/tmp/tovusb-dcica.XXXXXX";
    return mkdtemp(name) ? name : "/nonexistent";
}

class TerminalRun : public ::testing::Test {
protected:
    void SetUp() override { TovSim_Reset(); }
    void TearDown() override { TovSim_Reset(); }
};

TEST_F(TerminalRun, ListsSelectsShowsButtonsSetsLEDsAndReports) {
    TovSim_Plug("PlainMouse");
    const int mike = TovSim_Plug("SpeechMikeIII");
    const std::string ica = ScratchICARoot();
    RunningTerminal t(ica);
    const std::string listed = "  1  Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  " + PathOf(mike) + "\n";
    ASSERT_TRUE(t.WaitFor("Supported devices: 1\n" + listed + "  3 other HID devices\n")) << t.Output();
    EXPECT_NE(std::string::npos, t.Output().find("  No Citrix ICA Client in " + ica + " (no " + ica + "/config/module.ini)\n"));
    EXPECT_NE(std::string::npos, t.Output().find("  TovUSB is NOT registered with the ICA Client\n"));

    t.Send("select 1");
    ASSERT_TRUE(t.WaitFor("  Connected Philips SpeechMike III: press its buttons\n")) << t.Output();
    ASSERT_TRUE(t.WaitFor("LEDs of Philips SpeechMike III: 0 1 2 3 4 5 6 7 8 9 (led N on|off, leds off)\n"));

    // Byte 1 bit 0x80: a button report; byte 9 = 0x01: button 3, which the map sends as 20.
    const unsigned char press[] = {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x01};
    const unsigned char release[] = {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x00};
    ASSERT_EQ(1, TovSim_SendInputReport(mike, press, sizeof press));
    t.Send("wait-event 10000");
    ASSERT_TRUE(t.WaitFor("  pressed   hardware 3  reported 20\n")) << t.Output();
    ASSERT_EQ(1, TovSim_SendInputReport(mike, release, sizeof release));
    ASSERT_TRUE(t.WaitFor("  released  hardware 3  reported 20\n")) << t.Output();

    // Group B: byte 1 = 0x02; LED 3 on sets byte 7 bit 0x01; all off clears it.
    t.Send("led 3 on");
    ASSERT_TRUE(t.WaitFor("  LED 3 on\n")) << t.Output();
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00, 0x00}), Output(mike));
    t.Send("leds off");
    ASSERT_TRUE(t.WaitFor("  All LEDs off\n")) << t.Output();
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), Output(mike));

    const std::string file = ica + "/ticket.txt";
    t.Send("report " + file);
    ASSERT_TRUE(t.WaitFor("Report written to " + file + "\n")) << t.Output();
    t.Send("quit");
    EXPECT_EQ(0, t.Finish()) << t.Output();

    std::ifstream in(file);
    std::stringstream report;
    report << in.rdbuf();
    const std::string r = report.str();
    EXPECT_EQ(0u, r.find("TovUSB device check, "));
    for (const std::string& part :
         {"\n\nICA Client registration\n  No Citrix ICA Client in " + ica + " (no " + ica + "/config/module.ini)\n",
          "\n\nSupported devices: 1\n  1* Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)  " +
              PathOf(mike) + "\n  3 other HID devices\n\n",
          "\nHardwareButtonMap.ini: " + ButtonMapFolder() + "/HardwareButtonMap.ini\n  [HardwareButtonMap] 3=20\n",
          "\nTrace log " + ica + "/CitrixClient.log: absent (the driver does not trace)\n",
          std::string("\n\nEvents (Philips SpeechMike III selected)\n"), std::string("  pressed   hardware 3  reported 20\n"),
          std::string("  released  hardware 3  reported 20\n"), std::string("  LED 3 on\n"),
          std::string("  All LEDs off\n")}) {
        EXPECT_NE(std::string::npos, r.find(part)) << part << "\n---\n" << r;
    }
    unlink(file.c_str());
    rmdir(ica.c_str());
}

TEST_F(TerminalRun, ArrivalsAreListedAndFailedCommandsFailTheRun) {
    const std::string ica = ScratchICARoot();
    RunningTerminal t(ica);
    ASSERT_TRUE(t.WaitFor("Supported devices: 0\n  No other HID devices\n")) << t.Output();
    const int foot = TovSim_Plug("Footswitch");
    t.Send("list");
    ASSERT_TRUE(t.WaitFor("  1  Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)  " + PathOf(foot) + "\n"))
        << t.Output();
    t.Send("select 2");
    ASSERT_TRUE(t.WaitFor("Error: there is no device 2 (the list has 1; list shows it again)\n")) << t.Output();
    t.Send("select 1");
    ASSERT_TRUE(t.WaitFor("Philips Footswitch has no LEDs that the driver sets\n")) << t.Output();
    t.Send("led 2 on");
    ASSERT_TRUE(t.WaitFor("Error: Philips Footswitch has no LED 2 (leds shows its LEDs)\n")) << t.Output();
    // No button comes: the wait ends at its bound and fails.
    t.Send("wait-event 50");
    ASSERT_TRUE(t.WaitFor("Error: no button event within 50 ms\n")) << t.Output();
    // A line beyond the bound is refused whole; the next line runs.
    t.Send(std::string(5000, 'x') + "\nstatus");
    ASSERT_TRUE(t.WaitFor("Error: a line longer than 4096 characters was ignored\nICA Client registration\n"))
        << t.Output();
    // Unplugged while selected: the session says so and lists again.
    TovSim_Unplug(foot);
    t.Send("list");
    ASSERT_TRUE(t.WaitFor("Philips Footswitch is gone: disconnected\n")) << t.Output();
    EXPECT_EQ(1, t.Finish());
    rmdir(ica.c_str());
}

// An administrator's usb.conf rule lets the hand-set go before any line of ours: the check names
// the rule for each of the hand-set's three interfaces and gives the line to add; with that line
// added first (as tovusb-setup install does), list finds the hand-set kept local, and the report
// carries the same verdict.
TEST_F(TerminalRun, AUsbConfRuleThatWouldRedirectTheHandSetIsNamedWithTheDenyLineToAdd) {
    const std::string ica = ScratchICARoot();
    const std::string conf = ica + "/usb.conf";
    std::ofstream(conf) << "# site rules\nALLOW: vid=0911 # dictation devices go to the session\nDENY: class=03\n";
    TovSim_Plug("PlainMouse");
    TovSim_Plug("SpeechMikeIII");
    RunningTerminal t(ica);
    const std::string allowed =
        "USB redirection rules (" + conf + "): 2 rules; where none matches, the ICA Client's defaults apply\n"
        "Philips SpeechMike III (vendor 0x0911, product 0x0C1C, release 0x0300): the rules allow redirecting it as "
        "a whole USB device, away from TovUSB\n"
        "  interface 1 (class 03, subclass 00, protocol 00): allowed by rule 1 \"ALLOW: vid=0911\"\n"
        "  interface 2 (class 03, subclass 00, protocol 01): allowed by rule 1 \"ALLOW: vid=0911\"\n"
        "  interface 3 (class 03, subclass 00, protocol 02): allowed by rule 1 \"ALLOW: vid=0911\"\n"
        "  to keep it for TovUSB, add as the first rule of usb.conf (tovusb-setup install puts it there): "
        "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III\n"
        "The rules only say whether a device may be redirected: auto-connect (or the user connecting it from the "
        "toolbar) and the server's own USB rules decide the rest\n";
    ASSERT_TRUE(t.WaitFor(allowed)) << t.Output();

    std::ofstream(conf) << "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III\n"
                           "# site rules\nALLOW: vid=0911 # dictation devices go to the session\nDENY: class=03\n";
    t.Send("list");
    const std::string kept =
        "USB redirection rules (" + conf + "): 3 rules; where none matches, the ICA Client's defaults apply\n"
        "Philips SpeechMike III (vendor 0x0911, product 0x0C1C, release 0x0300): the rules keep it local (rule 1 "
        "\"DENY: vid=0911 pid=0c1c\")\n"
        "  interface 1 (class 03, subclass 00, protocol 00): denied by rule 1 \"DENY: vid=0911 pid=0c1c\"\n"
        "  interface 2 (class 03, subclass 00, protocol 01): denied by rule 1 \"DENY: vid=0911 pid=0c1c\"\n"
        "  interface 3 (class 03, subclass 00, protocol 02): denied by rule 1 \"DENY: vid=0911 pid=0c1c\"\n"
        "The rules only say";
    ASSERT_TRUE(t.WaitFor(kept)) << t.Output();
    const std::string report = ica + "/report.txt";
    t.Send("report " + report);
    ASSERT_TRUE(t.WaitFor("Report written to " + report + "\n")) << t.Output();
    EXPECT_EQ(0, t.Finish()) << t.Output();
    std::stringstream written;
    written << std::ifstream(report).rdbuf();
    EXPECT_NE(std::string::npos, written.str().find(kept)) << written.str();
    unlink(report.c_str());
    unlink(conf.c_str());
    rmdir(ica.c_str());
}

TEST_F(TerminalRun, CommandsThatSucceedEndWithZeroAtTheEndOfTheInput) {
    const std::string ica = ScratchICARoot();
    RunningTerminal t(ica);
    t.Send("help");
    t.Send("# a comment");
    t.Send("list");
    EXPECT_EQ(0, t.Finish()) << t.Output();
    EXPECT_NE(std::string::npos, t.Output().find("  wait-event [MS]"));
    rmdir(ica.c_str());
}

// At a terminal: the prompt, the typed line echoed, a button line coming while the prompt waits
// takes the prompt's place (erased with \r and ESC [K) and the prompt is drawn again below it;
// ^D ends the run.
TEST_F(TerminalRun, AtATerminalTheLinesThatComeReplaceThePromptWhichFollowsThem) {
    const int mike = TovSim_Plug("SpeechMikeIII");
    const std::string ica = ScratchICARoot();
    RunningTerminal t(ica, true);
    ASSERT_TRUE(t.WaitFor("Supported devices: 1\r\n")) << t.Output();
    ASSERT_TRUE(t.WaitFor("tovusb> ")) << t.Output();

    t.Type("select 1\n");
    ASSERT_TRUE(t.WaitFor("tovusb> select 1\r\n")) << t.Output();
    const std::string connected = "  Connected Philips SpeechMike III: press its buttons\r\n";
    ASSERT_TRUE(t.WaitFor(connected)) << t.Output();
    const std::string afterSelect = "LEDs of Philips SpeechMike III: 0 1 2 3 4 5 6 7 8 9 (led N on|off, leds off)\r\ntovusb> ";
    ASSERT_TRUE(t.WaitFor(afterSelect)) << t.Output();

    // No command running: the press arrives while the prompt waits.
    const unsigned char press[] = {0x00, 0x80, 0, 0, 0, 0, 0, 0, 0x00, 0x01};
    ASSERT_EQ(1, TovSim_SendInputReport(mike, press, sizeof press));
    ASSERT_TRUE(t.WaitFor("  pressed   hardware 3  reported 20\r\ntovusb> ")) << t.Output();
    // The event line carries its time (hh:mm:ss.mmm).
    const std::regex pressed("tovusb> \r\033\\[K[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3}  pressed   hardware 3  reported 20\r\ntovusb> ");
    const std::string sincePrompt = t.OutputFrom(afterSelect).substr(afterSelect.size() - 8);
    EXPECT_TRUE(std::regex_match(sincePrompt, pressed)) << sincePrompt;

    t.Type("leds off\n");
    ASSERT_TRUE(t.WaitFor("tovusb> leds off\r\n")) << t.Output();
    ASSERT_TRUE(t.WaitFor("  All LEDs off\r\ntovusb> ")) << t.Output();
    EXPECT_EQ((std::vector<unsigned char>{0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), Output(mike));
    EXPECT_EQ(0, t.Finish()) << t.Output();
    // After ^D no prompt is drawn again.
    const std::string tail = t.OutputFrom("  All LEDs off\r\n");
    EXPECT_EQ("  All LEDs off\r\ntovusb> ", tail);
    rmdir(ica.c_str());
}

// Piped in (not a terminal), the same commands show no prompt.
TEST_F(TerminalRun, WithoutATerminalThereIsNoPrompt) {
    TovSim_Plug("SpeechMikeIII");
    const std::string ica = ScratchICARoot();
    RunningTerminal t(ica);
    t.Send("select 1");
    t.Send("leds off");
    EXPECT_EQ(0, t.Finish()) << t.Output();
    EXPECT_NE(std::string::npos, t.Output().find("  All LEDs off\n")) << t.Output();
    EXPECT_EQ(std::string::npos, t.Output().find("tovusb>")) << t.Output();
    rmdir(ica.c_str());
}

// The shipping program decides by its standard input: started at a pseudo-terminal it prompts and
// takes what is typed there.
TEST(DeviceCheckProgram, PromptsAtATerminal) {
    const std::string ica = ScratchICARoot();
    int master = -1;
    const pid_t pid = forkpty(&master, nullptr, nullptr, nullptr);
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        execl(TOV_DEVICECHECK_PROGRAM, TOV_DEVICECHECK_PROGRAM, "--icaroot", ica.c_str(), "--root", ica.c_str(),
              static_cast<char*>(nullptr));
        _exit(127);
    }
    std::string text;
    // Reads until `wanted` is in the output, bounded by kWait.
    auto readUntil = [&](const std::string& wanted) {
        const auto end = std::chrono::steady_clock::now() + kWait;
        while (text.find(wanted) == std::string::npos && std::chrono::steady_clock::now() < end) {
            pollfd p{master, POLLIN, 0};
            if (poll(&p, 1, 100) != 1) continue;
            char buffer[4096];
            const ssize_t n = read(master, buffer, sizeof buffer);
            if (n <= 0) break;
            text.append(buffer, static_cast<size_t>(n));
        }
        return text.find(wanted) != std::string::npos;
    };
    EXPECT_TRUE(readUntil("\r\ntovusb> ")) << text;
    ASSERT_EQ(5, write(master, "help\n", 5));
    EXPECT_TRUE(readUntil("tovusb> help\r\n")) << text;
    EXPECT_TRUE(readUntil("  quit             end (so does the end of the input)\r\ntovusb> ")) << text;
    ASSERT_EQ(5, write(master, "quit\n", 5));
    int status = -1;
    ASSERT_EQ(pid, waitpid(pid, &status, 0));
    close(master);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << text;
    rmdir(ica.c_str());
}

}  // namespace
