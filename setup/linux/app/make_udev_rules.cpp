// Build-time program: writes the udev rules file that the package and the thin-client archive
// ship, from the driver's own supported-device table (the same text tovusb-setup installs
// without --group).
#include <cstdio>
#include <string>

#include "DeviceModels.h"
#include "UdevRules.h"

int main(int argc, char** argv) {
    if (argc != 2) {
        std::fprintf(stderr, "usage: make_udev_rules OUTPUT\n");
        return 2;
    }
    const std::string text = linuxsetup::UdevRulesText(linuxsetup::SupportedModels(), "");
    std::FILE* out = std::fopen(argv[1], "wb");
    if (!out || std::fwrite(text.data(), 1, text.size(), out) != text.size() || std::fclose(out) != 0) {
        std::fprintf(stderr, "make_udev_rules: cannot write %s\n", argv[1]);
        return 1;
    }
    return 0;
}
