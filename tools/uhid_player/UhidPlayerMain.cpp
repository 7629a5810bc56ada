// uhid_player: plays catalogue devices through /dev/uhid (root, or a user allowed to open it), so
// that the kernel's HID core and hidraw serve them as real devices. For tests in the VM
// (scripts/vm/run.sh) and for trying the driver or the device check by hand.
//
//   uhid_player --list                  the models: key, ids, interfaces
//   uhid_player [MODEL...]              creates every interface of each MODEL, then reads commands
//
// Commands on stdin, one a line; each is answered with one line on stdout:
//   create MODEL [INDEX]     -> "device N MODEL INDEX /dev/hidrawX" (N numbers the player's devices;
//                               without INDEX every interface, one line each)
//   input N HEX              -> "ok N": an input report in the Windows layout (byte 0 the report id,
//                               00 for an unnumbered interface), e.g. "input 1 00 00 00 00 00 00 00 00 00 81"
//   output N [MS]            -> "output N HEX" (the oldest output report, report number first) or
//                               "none N" after MS milliseconds (default 2000)
//   wait-open N [MS]         -> "open N" once a program has the node open, or "timeout N"
//   destroy N                -> "destroyed N"
//   quit (or end of input)   -> destroys every device and exits 0
// A failure answers "error TEXT"; a device that cannot be created makes the program exit 1 when it
// was named on the command line.
#include <cstdio>
#include <iostream>
#include <map>
#include <memory>
#include <sstream>
#include <string>

#include "UhidDevice.h"

using namespace uhidplayer;

namespace {

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char buf[4];
    for (size_t i = 0; i < bytes.size(); ++i) {
        std::snprintf(buf, sizeof(buf), i ? " %02x" : "%02x", bytes[i]);
        out += buf;
    }
    return out;
}

bool ParseHexWords(std::istringstream& in, std::vector<uint8_t>& bytes) {
    std::string word;
    while (in >> word) {
        if (word.size() % 2) return false;
        for (size_t i = 0; i < word.size(); i += 2) {
            char* end = nullptr;
            const std::string pair = word.substr(i, 2);
            const unsigned long v = std::strtoul(pair.c_str(), &end, 16);
            if (*end) return false;
            bytes.push_back(static_cast<uint8_t>(v));
        }
    }
    return true;
}

class Player {
public:
    bool Create(const std::string& key, int index) {
        const UhidModel* model = FindUhidModel(key);
        if (!model) return Say("error unknown model " + key);
        if (index >= static_cast<int>(model->interfaces.size())) return Say("error no interface " + std::to_string(index));
        for (size_t i = 0; i < model->interfaces.size(); ++i) {
            if (index >= 0 && static_cast<int>(i) != index) continue;
            try {
                auto device = std::make_unique<UhidDevice>(*model, i);
                const std::string node = device->WaitForNode(std::chrono::seconds(10));
                if (node.empty()) return Say("error no hidraw node for " + key);
                devices[++last] = std::move(device);
                Say("device " + std::to_string(last) + " " + key + " " + std::to_string(i) + " " + node);
            } catch (const std::exception& e) {
                return Say(std::string("error ") + e.what());
            }
        }
        return true;
    }

    bool Command(const std::string& line) {
        std::istringstream in(line);
        std::string verb;
        in >> verb;
        if (verb.empty()) return true;
        if (verb == "create") {
            std::string key;
            int index = -1;
            in >> key;
            if (!(in >> index)) index = -1;
            return Create(key, index);
        }
        int n = 0;
        in >> n;
        auto it = devices.find(n);
        if (it == devices.end()) return Say("error no device " + std::to_string(n));
        UhidDevice& device = *it->second;
        long ms = 2000;
        try {
            if (verb == "input") {
                std::vector<uint8_t> bytes;
                if (!ParseHexWords(in, bytes) || bytes.empty()) return Say("error not hex bytes");
                device.SendReport(bytes);
                return Say("ok " + std::to_string(n));
            }
            if (verb == "output") {
                in >> ms;
                OutputReport report;
                if (device.TakeOutput(report, std::chrono::milliseconds(ms)))
                    return Say("output " + std::to_string(n) + " " + Hex(report.bytes));
                return Say("none " + std::to_string(n));
            }
            if (verb == "wait-open") {
                in >> ms;
                return Say((device.WaitOpens(1, std::chrono::milliseconds(ms)) ? "open " : "timeout ") +
                           std::to_string(n));
            }
            if (verb == "destroy") {
                devices.erase(it);
                return Say("destroyed " + std::to_string(n));
            }
        } catch (const std::exception& e) {
            return Say(std::string("error ") + e.what());
        }
        return Say("error unknown command " + verb);
    }

private:
    static bool Say(const std::string& text) {
        std::printf("%s\n", text.c_str());
        std::fflush(stdout);
        return text.rfind("error", 0) != 0;
    }

    std::map<int, std::unique_ptr<UhidDevice>> devices;
    int last = 0;
};

void List() {
    for (const UhidModel& model : UhidModels()) {
        std::printf("%-22s %04x:%04x version %04x %s\n", model.key, model.vendorID, model.productID, model.version,
                    model.supported ? "supported" : "not supported");
        for (size_t i = 0; i < model.interfaces.size(); ++i) {
            const UhidInterface& iface = model.interfaces[i];
            std::printf("  interface %zu: usage %04x:%04x, report id %u, input %u, output %u bytes\n", i,
                        iface.usagePage, iface.usage, iface.reportId, iface.inputLength, iface.outputLength);
        }
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (argc == 2 && std::string(argv[1]) == "--list") {
        List();
        return 0;
    }
    Player player;
    for (int i = 1; i < argc; ++i) {
        if (argv[i][0] == '-') {
            std::fprintf(stderr, "usage: uhid_player --list | uhid_player [MODEL...] (commands on stdin)\n");
            return 2;
        }
        if (!player.Create(argv[i], -1)) return 1;
    }
    std::string line;
    while (std::getline(std::cin, line)) {
        if (line == "quit") break;
        player.Command(line);
    }
    return 0;
}
