#include "DeviceCheckTerminal.h"

#include <fcntl.h>
#include <poll.h>
#include <sys/eventfd.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <memory>
#include <vector>

#include "ButtonMapStatus.h"
#include "DateTime.h"
#include "DeviceCheckSession.h"
#include "FormatString.h"
#include "HardwareButtonMap.h"
#include "InstallationStatus.h"
#include "LinuxUsbRules.h"
#include "NodeAccess.h"
#include "TerminalCommand.h"
#include "TerminalReport.h"

namespace devicecheck {

namespace {

using Clock = std::chrono::steady_clock;

constexpr char kPrompt[] = "tovusb> ";
constexpr size_t kReadChunk = 4096;

void WriteAll(int fd, const std::string& text) {
    size_t done = 0;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return;  // the reader went away: nothing more to show
        done += static_cast<size_t>(n);
    }
}

bool IsRegularFile(const std::string& path) {
    struct stat status;
    return !path.empty() && stat(path.c_str(), &status) == 0 && S_ISREG(status.st_mode);
}

class Terminal : public CDeviceCheckListener {
public:
    explicit Terminal(const TerminalSettings& settings) : settings(settings) {
        wake = eventfd(0, EFD_NONBLOCK | EFD_CLOEXEC);
    }
    ~Terminal() override {
        session.reset();  // its reader threads end before the wake-up descriptor goes
        if (wake >= 0) close(wake);
    }

    int Run();

    // Session thread.
    void OnDevicesChanged() override { devicesChanged = true; }
    // Any thread (a reader thread for button lines): only wakes the loop.
    void OnLinesAdded() override {
        const uint64_t one = 1;
        ssize_t ignored = write(wake, &one, sizeof one);
        (void)ignored;
    }

private:
    void Deliver() {
        if (settings.notifications.deliver) settings.notifications.deliver();
    }
    int NotificationDescriptor() const {
        return settings.notifications.descriptor ? settings.notifications.descriptor() : -1;
    }

    // Output, always on the loop thread.
    void Show(const std::string& text);
    void ShowLines(const std::vector<std::string>& lines, const std::string& indent = "");
    void ShowNew();
    void Prompt();
    void Fail(const std::string& message) {
        failed = true;
        Show("Error: " + message + "\n");
    }

    void ReadInput();
    void ProcessBufferedLines();
    void Execute(const std::string& line);
    void CheckWait();

    void ShowStatus();
    void ShowDevices();
    void ShowUsbRules();
    void SelectDevice(int32_t number);
    void ShowLEDs();
    void SwitchLED(int32_t led, bool on);
    void AllLEDsOff();
    void StartWait(uint32_t ms);
    void WriteReport(const std::string& file);

    const TerminalSettings& settings;
    int wake = -1;
    std::unique_ptr<CDeviceCheckSession> session;

    bool devicesChanged = false;
    bool failed = false;
    bool quit = false;
    bool inputEnded = false;
    bool promptShown = false;
    struct InputLine {
        std::string text;
        bool tooLong;  // refused: longer than kMaxCommandLine
    };
    std::deque<InputLine> lines;  // whole lines read, not yet run
    std::string partial;          // the line being read
    bool discarding = false;      // dropping the rest of an overlong line

    // wait-event: the button events the earlier waits took, and the current wait.
    size_t takenButtonEvents = 0;
    bool waiting = false;
    uint32_t waitMs = 0;
    Clock::time_point deadline;
};

void Terminal::Show(const std::string& text) {
    if (promptShown) {
        // Back to the start of the prompt's line, which the text replaces.
        WriteAll(settings.output, "\r\033[K");
        promptShown = false;
    }
    WriteAll(settings.output, text);
}

void Terminal::ShowLines(const std::vector<std::string>& lines, const std::string& indent) {
    std::string text;
    for (const std::string& line : lines) text += indent + line + "\n";
    if (!text.empty()) Show(text);
}

void Terminal::ShowNew() {
    ShowLines(session->TakeNewLines());
    if (devicesChanged) {
        devicesChanged = false;
        ShowDevices();
    }
}

void Terminal::Prompt() {
    if (settings.interactive && !promptShown && !waiting && !quit && !inputEnded) {
        WriteAll(settings.output, kPrompt);
        promptShown = true;
    }
}

int Terminal::Run() {
    if (wake < 0) {
        WriteAll(settings.output, std::string("Error: no wake-up descriptor: ") + std::strerror(errno) + "\n");
        return 1;
    }
    session.reset(new CDeviceCheckSession(*this));
    Show("TovUSB device check (help lists the commands)\n");
    ShowStatus();
    session->Refresh();
    devicesChanged = false;
    ShowDevices();
    ShowUsbRules();
    ShowNew();

    while (!quit && !(inputEnded && !waiting)) {
        Prompt();
        pollfd fds[3];
        nfds_t count = 0;
        fds[count++] = {wake, POLLIN, 0};
        const int notifications = NotificationDescriptor();
        if (notifications >= 0) fds[count++] = {notifications, POLLIN, 0};
        const bool reading = !waiting && !inputEnded;
        if (reading) fds[count++] = {settings.input, POLLIN, 0};
        int timeout = -1;
        if (waiting) {
            const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(deadline - Clock::now()).count();
            timeout = static_cast<int>(std::max<long long>(0, left + 1));
        }
        const int ready = poll(fds, count, timeout);
        if (ready < 0 && errno != EINTR) {
            Fail(std::string("poll failed: ") + std::strerror(errno));
            break;
        }
        uint64_t counter = 0;
        while (read(wake, &counter, sizeof counter) > 0) {
        }
        Deliver();
        ShowNew();
        if (waiting) CheckWait();
        if (reading && ready > 0 && (fds[count - 1].revents & (POLLIN | POLLHUP | POLLERR))) ReadInput();
        if (!waiting) ProcessBufferedLines();
    }
    // What came during the last command is still shown; the session (and its reader) ends here.
    Deliver();
    ShowNew();
    session.reset();
    return failed ? 1 : 0;
}

void Terminal::ReadInput() {
    char buffer[kReadChunk];
    const ssize_t n = read(settings.input, buffer, sizeof buffer);
    if (n < 0) {
        if (errno == EINTR || errno == EAGAIN) return;
        Fail(std::string("reading the commands failed: ") + std::strerror(errno));
        inputEnded = true;
        return;
    }
    promptShown = false;  // the terminal moved on to the next line with the typed line
    if (n == 0) {
        inputEnded = true;
        // A last line without its line end is still a command.
        if (!partial.empty() && !discarding) lines.push_back(InputLine{partial, false});
        partial.clear();
        return;
    }
    for (ssize_t i = 0; i < n; ++i) {
        const char c = buffer[i];
        if (c == '\n') {
            if (!discarding) lines.push_back(InputLine{partial, false});
            partial.clear();
            discarding = false;
        } else if (!discarding) {
            partial += c;
            // An overlong line is refused whole, and never held beyond the bound.
            if (partial.size() > kMaxCommandLine) {
                partial.clear();
                lines.push_back(InputLine{std::string(), true});
                discarding = true;
            }
        }
    }
}

void Terminal::ProcessBufferedLines() {
    while (!waiting && !quit && !lines.empty()) {
        const InputLine line = lines.front();
        lines.pop_front();
        if (line.tooLong) {
            Fail("a line longer than " + std::to_string(kMaxCommandLine) + " characters was ignored");
            continue;
        }
        Execute(line.text);
    }
}

void Terminal::Execute(const std::string& line) {
    Deliver();
    ShowNew();
    TerminalCommand command;
    std::string error;
    if (!ParseTerminalCommand(line, command, error)) {
        Fail(error);
        return;
    }
    switch (command.kind) {
        case CommandKind::kNothing: break;
        case CommandKind::kHelp: Show(TerminalCommandHelp()); break;
        case CommandKind::kStatus: ShowStatus(); break;
        case CommandKind::kList:
            session->Refresh();
            devicesChanged = false;
            ShowNew();
            ShowDevices();
            ShowUsbRules();
            break;
        case CommandKind::kSelect: SelectDevice(command.number); break;
        case CommandKind::kDeselect:
            if (!session->Selected())
                Show("No device is selected\n");
            else
                session->Select("");
            break;
        case CommandKind::kShowLEDs: ShowLEDs(); break;
        case CommandKind::kLED: SwitchLED(command.number, command.on); break;
        case CommandKind::kAllLEDsOff: AllLEDsOff(); break;
        case CommandKind::kWaitEvent: StartWait(command.waitMs); break;
        case CommandKind::kReport: WriteReport(command.file); break;
        case CommandKind::kQuit: quit = true; break;
    }
    ShowNew();
}

void Terminal::ShowStatus() {
    const linuxsetup::InstallationStatus status = linuxsetup::InspectInstallation(settings.paths);
    Show("ICA Client registration\n");
    ShowLines(linuxsetup::StatusLines(status), "  ");
}

void Terminal::ShowDevices() {
    const USBButtonDeviceDescriptor* selected = session->Selected();
    ShowLines(DeviceListLines(session->Devices(), session->OtherHIDDevices(), session->ListError(),
                              selected ? selected->hidInfo.devicePath : std::string(),
                              NodesThisUserCannotOpen(session->Devices())));
}

void Terminal::ShowUsbRules() {
    ShowLines(UsbRulesLines(LinuxUsbRules(settings.paths, session->Devices())));
}

void Terminal::SelectDevice(int32_t number) {
    const std::list<USBButtonDeviceDescriptor>& devices = session->Devices();
    if (number < 1 || static_cast<size_t>(number) > devices.size()) {
        Fail(FormatString("there is no device %i (the list has %i; list shows it again)", number,
                          static_cast<int>(devices.size())));
        return;
    }
    auto it = devices.begin();
    std::advance(it, number - 1);
    const std::string path = it->hidInfo.devicePath;
    if (!session->Select(path)) {
        failed = true;  // the session's line says why
        return;
    }
    ShowNew();
    ShowLEDs();
}

void Terminal::ShowLEDs() {
    const USBButtonDeviceDescriptor* selected = session->Selected();
    if (!selected) {
        Fail("no device is selected (select N)");
        return;
    }
    const LEDChoices choices = session->SelectedLEDs();
    if (choices.leds.empty()) {
        Show(selected->name + " has no LEDs that the driver sets\n");
        return;
    }
    std::string text = "LEDs of " + selected->name + ":";
    for (int32_t led : choices.leds) text += FormatString(" %i", led);
    Show(text + " (led N on|off, leds off)\n");
}

void Terminal::SwitchLED(int32_t led, bool on) {
    const USBButtonDeviceDescriptor* selected = session->Selected();
    if (!selected) {
        Fail("no device is selected (select N)");
        return;
    }
    const LEDChoices choices = session->SelectedLEDs();
    if (std::find(choices.leds.begin(), choices.leds.end(), led) == choices.leds.end()) {
        Fail(FormatString("%s has no LED %i (leds shows its LEDs)", selected->name.c_str(), led));
        return;
    }
    if (!session->SetLED(led, on)) failed = true;  // the session's line says why
}

void Terminal::AllLEDsOff() {
    const USBButtonDeviceDescriptor* selected = session->Selected();
    if (!selected) {
        Fail("no device is selected (select N)");
        return;
    }
    if (session->SelectedLEDs().leds.empty()) {
        Fail(selected->name + " has no LEDs that the driver sets");
        return;
    }
    if (!session->AllLEDsOff()) failed = true;
}

void Terminal::StartWait(uint32_t ms) {
    waiting = true;
    waitMs = ms;
    deadline = Clock::now() + std::chrono::milliseconds(ms);
    CheckWait();
}

void Terminal::CheckWait() {
    if (session->ButtonEvents() > takenButtonEvents) {
        ++takenButtonEvents;
        waiting = false;
    } else if (Clock::now() >= deadline) {
        waiting = false;
        Fail(FormatString("no button event within %u ms", waitMs));
    }
}

void Terminal::WriteReport(const std::string& file) {
    // The button map as the session's lookups read it (loaded once by the first lookup).
    MapHardwareButton(0);
    TerminalReportContent content;
    content.created = CDateTime::Now();
    content.registration = linuxsetup::StatusLines(linuxsetup::InspectInstallation(settings.paths));
    content.devices = session->Devices();
    content.otherHIDDevices = session->OtherHIDDevices();
    content.listError = session->ListError();
    content.cannotOpen = NodesThisUserCannotOpen(content.devices);
    content.usbRules = UsbRulesLines(LinuxUsbRules(settings.paths, session->Devices()));
    content.buttonMapFolders = settings.files.buttonMapFolders;
    content.buttonMap = InspectHardwareButtonMap();
    content.traceLog = settings.files.traceLog;
    content.traceLogPresent = IsRegularFile(settings.files.traceLog);
    if (const USBButtonDeviceDescriptor* selected = session->Selected()) {
        content.selectedDevice = selected->name;
        content.selectedPath = selected->hidInfo.devicePath;
    }
    content.lines = session->AllLines();
    const std::string text = BuildTerminalReport(content);
    if (file.empty()) {
        Show(text);
        return;
    }
    const int fd = open(file.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC | O_NOCTTY, 0644);
    if (fd < 0) {
        Fail("cannot write the report to " + file + ": " + std::strerror(errno));
        return;
    }
    size_t done = 0;
    bool ok = true;
    while (done < text.size()) {
        const ssize_t n = write(fd, text.data() + done, text.size() - done);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ok = false;
            break;
        }
        done += static_cast<size_t>(n);
    }
    const int writeError = errno;
    if (close(fd) != 0) ok = false;
    if (!ok) {
        Fail("writing the report to " + file + " failed: " + std::strerror(writeError));
        return;
    }
    Show("Report written to " + file + "\n");
}

}  // namespace

int RunDeviceCheckTerminal(const TerminalSettings& settings) {
    Terminal terminal(settings);
    return terminal.Run();
}

}  // namespace devicecheck
