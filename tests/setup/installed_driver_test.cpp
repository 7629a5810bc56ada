// End to end: the real drivers, installed by the real setup program for each ICA Client, are the
// files that client's engine loads. The engine simulator of the client's bitness loads the
// installed "TovaroCitrixVC.dll" from the client's folder and opens the channel.
#include <gtest/gtest.h>

#include <string>

#include "setup_program.h"
#include "setup_sandbox.h"

namespace setuptest {
namespace {

// The size VdOpen reports is the VDOPEN record of the driver's own bitness, from the interface's
// record layout: 24 bytes for the 32-bit driver, 48 for the 64-bit one.
constexpr unsigned kVdOpenSize32 = 24, kVdOpenSize64 = 48;

std::string WindowsPath(std::string path) { return !path.empty() && path[0] == '/' ? "Z:" + path : path; }

class InstalledDriverTest : public SetupSandbox {
protected:
    static std::string Content(const std::string& path) {
        std::string content;
        EXPECT_TRUE(ReadFile(path, content)) << path;
        return content;
    }
};

TEST_F(InstalledDriverTest, EachClientsEngineLoadsTheDriverInstalledInItsFolder) {
    struct Engine {
        const char* name;
        std::string driver, engine, source, target;
        unsigned vdOpenSize;
    };
    std::vector<Engine> engines;
#if defined(TOV_DRIVER_32)
    InstallICAClient("Thinwire3.0");
    engines.push_back({"32-bit", WindowsPath(TOV_DRIVER_32), WindowsPath(TOV_ENGINE_SIM_32), driverSource(),
                       driverTarget(), kVdOpenSize32});
#endif
    InstallICAClient64("Thinwire3.0");
    engines.push_back({"64-bit", WindowsPath(TOV_DRIVER_64), WindowsPath(TOV_ENGINE_SIM_64), driverSource64(),
                       driverTarget64(), kVdOpenSize64});
    for (const Engine& e : engines) ASSERT_TRUE(CopyFileA(e.driver.c_str(), e.source.c_str(), FALSE)) << e.driver;

    ASSERT_EQ(0u, RunSetupProgram(programFolder, "/install /quiet"));
    for (const Engine& e : engines) {
        SCOPED_TRACE(e.name);
        EXPECT_EQ(Content(e.driver), Content(e.target));
        std::string output;
        EXPECT_EQ(0u, RunProgram(e.engine, "--driver \"" + e.target + "\" --run-ms 200", root, &output)) << output;
        EXPECT_NE(std::string::npos, output.find("loaded " + e.target)) << output;
        EXPECT_NE(std::string::npos, output.find("VdOpen returned 0 (size " + std::to_string(e.vdOpenSize) +
                                                 "); channel 'TovUSB'"))
            << output;
    }
    // Each engine refuses the other client's driver: the files really are of different machines.
    if (engines.size() == 2) {
        std::string output;
        EXPECT_NE(0u, RunProgram(engines[1].engine, "--driver \"" + engines[0].target + "\" --run-ms 0", root, &output));
    }
}

}  // namespace
}  // namespace setuptest
