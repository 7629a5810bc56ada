// The command line of tovusb-devicecheck:
//   tovusb-devicecheck [--icaroot DIR] [--root DIR] [--help]
// The folders mean what they mean to tovusb-setup. Options may also be written --name=value.
#pragma once

#include <string>
#include <vector>

namespace devicecheck {

struct DeviceCheckCommandLine {
    bool help = false;
    std::string icaRoot;  // "" when not given
    std::string root = "/";
};

// False with a message on a bad command line.
bool ParseDeviceCheckCommandLine(const std::vector<std::string>& arguments, DeviceCheckCommandLine& line,
                                 std::string& error);

// The usage text, the commands included.
std::string DeviceCheckUsage();

}  // namespace devicecheck
