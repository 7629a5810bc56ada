#include "SessionScript.h"

#include <cctype>
#include <cerrno>
#include <cstdlib>
#include <sstream>

namespace demosession {

namespace {

struct VerbRule {
    const char* verb;
    int minWords;
    int maxWords;  // -1: any number
};

const VerbRule kVerbs[] = {
    {"say", 0, -1},           {"plug", 2, 2},          {"unplug", 1, 1},         {"report", 2, -1},
    {"create-manager", 1, 1}, {"delete-manager", 1, 1}, {"list", 1, 1},           {"create-device", 1, 1},
    {"delete-device", 1, 1},  {"assign", 2, 2},         {"init", 2, 2},           {"connect", 1, 1},
    {"disconnect", 1, 1},     {"leds", 1, -1},          {"send", 1, -1},          {"wait", 1, 1},
    {"log", 0, 0},
};

const VerbRule* FindVerb(const std::string& verb) {
    for (const VerbRule& rule : kVerbs) {
        if (verb == rule.verb) return &rule;
    }
    return nullptr;
}

std::string Lower(std::string text) {
    for (char& c : text) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
    return text;
}

bool ParseNumber(const std::string& word, long long min, long long max, long long& value) {
    if (word.empty()) return false;
    const bool hex = word.size() > 2 && word[0] == '0' && (word[1] == 'x' || word[1] == 'X');
    const char* begin = word.c_str() + (hex ? 2 : 0);
    if (*begin == '\0' || std::isspace(static_cast<unsigned char>(*begin))) return false;
    char* end = nullptr;
    errno = 0;
    const long long v = std::strtoll(begin, &end, hex ? 16 : 10);
    if (errno != 0 || *end != '\0' || v < min || v > max) return false;
    value = v;
    return true;
}

}  // namespace

bool ParseHandle(const std::string& word, uint32_t& handle) {
    long long v = 0;
    if (!ParseNumber(word, 0, 0xFFFFFFFFLL, v)) return false;
    handle = static_cast<uint32_t>(v);
    return true;
}

bool ParseInt32(const std::string& word, int32_t& value) {
    long long v = 0;
    if (!ParseNumber(word, -2147483648LL, 2147483647LL, v)) return false;
    value = static_cast<int32_t>(v);
    return true;
}

bool ParseScript(const std::string& text, std::vector<ScriptStep>& steps, std::string& error) {
    std::vector<ScriptStep> parsed;
    std::istringstream in(text);
    std::string raw;
    int number = 0;
    while (std::getline(in, raw)) {
        ++number;
        if (!raw.empty() && raw.back() == '\r') raw.pop_back();
        // A comment starts at a '#' that begins the line or follows white space.
        std::string line;
        for (size_t i = 0; i < raw.size(); ++i) {
            if (raw[i] == '#' && (i == 0 || std::isspace(static_cast<unsigned char>(raw[i - 1])))) break;
            line += raw[i];
        }
        std::istringstream words(line);
        ScriptStep step;
        step.line = number;
        if (!(words >> step.verb)) continue;
        step.verb = Lower(step.verb);
        const size_t start = line.find_first_not_of(" \t");
        const size_t afterVerb = line.find_first_of(" \t", start);
        if (afterVerb != std::string::npos) {
            const size_t restStart = line.find_first_not_of(" \t", afterVerb);
            if (restStart != std::string::npos) {
                step.rest = line.substr(restStart);
                while (!step.rest.empty() && std::isspace(static_cast<unsigned char>(step.rest.back()))) {
                    step.rest.pop_back();
                }
            }
        }
        std::string word;
        while (words >> word) step.words.push_back(word);
        const VerbRule* rule = FindVerb(step.verb);
        if (!rule) {
            error = "line " + std::to_string(number) + ": unknown command '" + step.verb + "'";
            return false;
        }
        const int count = static_cast<int>(step.words.size());
        if (count < rule->minWords || (rule->maxWords >= 0 && count > rule->maxWords)) {
            error = "line " + std::to_string(number) + ": wrong number of arguments for '" + step.verb + "'";
            return false;
        }
        parsed.push_back(step);
    }
    steps.swap(parsed);
    return true;
}

const char* ScriptHelp() {
    return "  say TEXT                 print a narration line\n"
           "  plug NAME MODEL          plug a catalogue model of the simulated bus, e.g. plug mike SpeechMikeIII\n"
           "  unplug NAME              unplug it again\n"
           "  report NAME HEX...       the device sends an input report, e.g. report mike 00 80 00 00 00 00 00 00 00 01\n"
           "  create-manager H         CreateManager for handle H (decimal or 0x...)\n"
           "  delete-manager H         DeleteManager\n"
           "  list H                   GetConnectedDevices\n"
           "  create-device H          CreateDevice\n"
           "  delete-device H          DeleteDevice\n"
           "  assign TARGET SOURCE     AssignDevice: SOURCE is assigned to TARGET\n"
           "  init H NAME              InitDevice with the descriptor listed or announced for device NAME\n"
           "  connect H / disconnect H ConnectDevice with flag 1 / 0\n"
           "  leds H LED=VALUE...      SetLEDs, e.g. leds 0x2000 0=1 11=0\n"
           "  send HEX...              any block of bytes from the server\n"
           "  wait MS                  let the session run for MS milliseconds\n"
           "  log                      print the driver's trace lines of this session\n";
}

}  // namespace demosession
