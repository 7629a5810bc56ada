#include "TerminalCommand.h"

#include <vector>

namespace devicecheck {

namespace {

bool IsSpace(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n' || c == '\v' || c == '\f'; }

std::vector<std::string> Words(const std::string& text) {
    std::vector<std::string> words;
    size_t i = 0;
    while (i < text.size()) {
        while (i < text.size() && IsSpace(text[i])) ++i;
        const size_t start = i;
        while (i < text.size() && !IsSpace(text[i])) ++i;
        if (i > start) words.push_back(text.substr(start, i - start));
    }
    return words;
}

std::string Trimmed(const std::string& text) {
    size_t begin = 0, end = text.size();
    while (begin < end && IsSpace(text[begin])) ++begin;
    while (end > begin && IsSpace(text[end - 1])) --end;
    return text.substr(begin, end - begin);
}

// A decimal number of at most `limit`, digits only (no sign, no spaces, no overflow).
bool ParseNumber(const std::string& text, uint32_t limit, uint32_t& value) {
    if (text.empty() || text.size() > 10) return false;
    uint64_t result = 0;
    for (char c : text) {
        if (c < '0' || c > '9') return false;
        result = result * 10 + static_cast<uint64_t>(c - '0');
    }
    if (result > limit) return false;
    value = static_cast<uint32_t>(result);
    return true;
}

bool Fail(std::string& error, const std::string& message) {
    error = message;
    return false;
}

}  // namespace

bool ParseTerminalCommand(const std::string& line, TerminalCommand& command, std::string& error) {
    command = TerminalCommand();
    if (line.size() > kMaxCommandLine) {
        return Fail(error, "the line is longer than " + std::to_string(kMaxCommandLine) + " characters");
    }
    // A '#' at the start of a word starts a comment (a file name may hold '#' inside).
    std::string text = line;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '#' && (i == 0 || IsSpace(text[i - 1]))) {
            text.resize(i);
            break;
        }
    }
    const std::vector<std::string> words = Words(text);
    if (words.empty()) return true;
    const std::string& name = words[0];
    const size_t arguments = words.size() - 1;

    auto noArguments = [&](CommandKind kind) {
        if (arguments != 0) return Fail(error, name + " takes no argument");
        command.kind = kind;
        return true;
    };
    if (name == "help" || name == "?") return noArguments(CommandKind::kHelp);
    if (name == "status") return noArguments(CommandKind::kStatus);
    if (name == "list") return noArguments(CommandKind::kList);
    if (name == "deselect") return noArguments(CommandKind::kDeselect);
    if (name == "quit" || name == "exit") return noArguments(CommandKind::kQuit);
    if (name == "select") {
        uint32_t number = 0;
        if (arguments != 1 || !ParseNumber(words[1], kMaxDeviceNumber, number) || number == 0) {
            return Fail(error, "use: select N (N the device's number in the list, from 1)");
        }
        command.kind = CommandKind::kSelect;
        command.number = static_cast<int32_t>(number);
        return true;
    }
    if (name == "leds") {
        if (arguments == 0) {
            command.kind = CommandKind::kShowLEDs;
            return true;
        }
        if (arguments == 1 && words[1] == "off") {
            command.kind = CommandKind::kAllLEDsOff;
            return true;
        }
        return Fail(error, "use: leds, or leds off");
    }
    if (name == "led") {
        uint32_t number = 0;
        if (arguments != 2 || !ParseNumber(words[1], kMaxLEDNumber, number) || (words[2] != "on" && words[2] != "off")) {
            return Fail(error, "use: led N on|off (N one of the numbers leds shows)");
        }
        command.kind = CommandKind::kLED;
        command.number = static_cast<int32_t>(number);
        command.on = words[2] == "on";
        return true;
    }
    if (name == "wait-event") {
        uint32_t ms = kDefaultWaitMs;
        if (arguments > 1 || (arguments == 1 && !ParseNumber(words[1], kMaxWaitMs, ms))) {
            return Fail(error, "use: wait-event [MS] (MS from 0 to " + std::to_string(kMaxWaitMs) + ")");
        }
        command.kind = CommandKind::kWaitEvent;
        command.waitMs = ms;
        return true;
    }
    if (name == "report") {
        command.kind = CommandKind::kReport;
        // The rest of the line is the file name, so that it may hold spaces.
        const size_t at = text.find("report") + 6;
        command.file = Trimmed(text.substr(at));
        return true;
    }
    return Fail(error, "unknown command " + name + " (help lists the commands)");
}

std::string TerminalCommandHelp() {
    return "Commands:\n"
           "  list             the supported devices (numbered), the count of other HID devices, and\n"
           "                   what the ICA Client's USB rules (usb.conf) would do to each device\n"
           "  select N         connect device N of the list; its button presses and releases appear\n"
           "                   as lines with the hardware code and the code the driver reports\n"
           "  deselect         disconnect the selected device\n"
           "  leds             the LEDs of the selected device\n"
           "  led N on|off     switch LED N of the selected device on or off\n"
           "  leds off         switch all its LEDs off\n"
           "  wait-event [MS]  wait up to MS milliseconds (default 10000) for the next button event that\n"
           "                   no earlier wait-event took; fails when none comes\n"
           "  status           the registration with the ICA Client\n"
           "  report [FILE]    the plain-text report for a support ticket, or write it into FILE\n"
           "  help             this list\n"
           "  quit             end (so does the end of the input)\n";
}

}  // namespace devicecheck
