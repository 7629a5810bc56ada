// The simulation build: the devices are those of the simulated HID bus linked into the program,
// plugged, pressed and unplugged by the commands a test sends to the dialog.
#include <cstdlib>
#include <sstream>
#include <vector>

#include "SimulationHooks.h"
#include "TovSimBus.h"

namespace devicecheck {

namespace {

// Output reports are at most 64 KiB - 1 bytes on the bus.
constexpr int kMaxReport = 65535;

bool ParseHexBytes(std::istringstream& words, std::vector<unsigned char>& bytes) {
    std::string word;
    while (words >> word) {
        char* end = nullptr;
        const unsigned long value = std::strtoul(word.c_str(), &end, 16);
        if (word.empty() || *end != '\0' || value > 0xFF || bytes.size() >= static_cast<size_t>(kMaxReport))
            return false;
        bytes.push_back(static_cast<unsigned char>(value));
    }
    return !bytes.empty();
}

}  // namespace

const char* CaptionSuffix() { return " (simulated devices)"; }

bool RunSimulationCommand(HWND dialog, HWND sender, const std::string& command, LRESULT& result) {
    std::istringstream words(command);
    std::string verb;
    words >> verb;
    if (verb == "plug") {
        std::string model;
        if (!(words >> model)) return false;
        result = TovSim_Plug(model.c_str());
        return true;
    }
    int id = 0;
    if (!(words >> id)) return false;
    if (verb == "unplug") {
        result = TovSim_Unplug(id);
        return true;
    }
    if (verb == "report") {
        std::vector<unsigned char> bytes;
        if (!ParseHexBytes(words, bytes)) return false;
        result = TovSim_SendInputReport(id, bytes.data(), static_cast<int>(bytes.size()));
        return true;
    }
    if (verb == "output") {
        std::vector<unsigned char> bytes(kMaxReport);
        const int length = TovSim_ReadOutputReport(id, bytes.data(), kMaxReport);
        result = length;
        if (length > 0 && sender) {
            COPYDATASTRUCT reply = {};
            reply.dwData = kSimulationCommandTag;
            reply.cbData = static_cast<DWORD>(length);
            reply.lpData = bytes.data();
            // The sender waits in its SendMessage to the dialog and takes this reply meanwhile.
            SendMessageA(sender, WM_COPYDATA, reinterpret_cast<WPARAM>(dialog), reinterpret_cast<LPARAM>(&reply));
        }
        return true;
    }
    return false;
}

}  // namespace devicecheck
