// The Linux driver's message box: one syslog line and one trace line.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>

#include <cstdlib>
#include <cstring>
#include <fstream>
#include <sstream>

#include "SystemLog.h"
#include "TraceFile.h"
#include "TraceLog.h"

namespace {

std::string TempFolder() {
    char pattern[] = "/tmp/tovusb-syslog-XXXXXX";
    return mkdtemp(pattern) ? pattern : "";
}

std::string ReadAll(const std::string& path) {
    std::ifstream in(path);
    std::stringstream text;
    text << in.rdbuf();
    return text.str();
}

}  // namespace

TEST(SystemLog, LineCarriesIdentityCaptionAndText) {
    setenv("TZ", "UTC", 1);
    tzset();
    // 2014-01-05 09:07:03 UTC.
    EXPECT_EQ("<11>Jan  5 09:07:03 TovUSB[4242]: USBHIDManager: Reading from USB deviced failed: No such device",
              SystemLogLine("USBHIDManager", "Reading from USB deviced failed: No such device", 4242, 1388912823));
    // Line ends in the text would start a second line in the log.
    EXPECT_EQ("<11>Nov 14 22:13:20 TovUSB[1]: A: two  lines",
              SystemLogLine("A", "two\r\nlines", 1, 1700000000));
}

TEST(SystemLog, LongTextsAreCut) {
    const std::string line = SystemLogLine("USBHIDManager", std::string(5000, 'x'), 1, 0);
    EXPECT_EQ(2048u, line.size());
    EXPECT_EQ(0u, line.find("<11>"));
}

TEST(SystemLog, LineReachesTheSocket) {
    const std::string folder = TempFolder();
    const std::string path = folder + "/log";
    const int fd = socket(AF_UNIX, SOCK_DGRAM, 0);
    sockaddr_un address = {};
    address.sun_family = AF_UNIX;
    std::strcpy(address.sun_path, path.c_str());
    ASSERT_EQ(0, bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof address));
    ASSERT_TRUE(SendSystemLogLine("<11>Jan  5 09:07:03 TovUSB[7]: X: y", path));
    char buffer[256] = {};
    const ssize_t n = recv(fd, buffer, sizeof buffer, 0);
    EXPECT_EQ("<11>Jan  5 09:07:03 TovUSB[7]: X: y", std::string(buffer, n > 0 ? n : 0));
    close(fd);
    unlink(path.c_str());
    // Nobody listening any more: false, and nothing waits.
    EXPECT_FALSE(SendSystemLogLine("<11>lost", path));
    rmdir(folder.c_str());
}

TEST(SystemLog, TheBoxIsAnErrorLineOfTheTraceLog) {
    const std::string folder = TempFolder();
    { std::ofstream create(folder + "/CitrixClient.log"); }
    tracefile::SetLogFolder(folder);
    EXPECT_EQ(1, SystemLogMessageBox("Reading from USB deviced failed: Input/output error", "USBHIDManager", 0x10));
    const std::string log = ReadAll(folder + "/CitrixClient.log");
    EXPECT_EQ(0u, log.find("ERROR\t")) << log;
    EXPECT_NE(std::string::npos, log.find("\tUSBHIDManager\tUSBHIDManager: Reading from USB deviced failed: "
                                          "Input/output error\n"))
        << log;
    tracefile::SetLogFolder("");
    std::system(("rm -rf '" + folder + "'").c_str());
}

TEST(TraceLogFolder, DriveRootLogsMoveIntoTheFolder) {
    tracefile::SetLogFolder("/home/nurse/.ICAClient");
    EXPECT_EQ("/home/nurse/.ICAClient/CitrixClient.log", tracefile::SystemLogFilePath(kClientLogPath));
    EXPECT_EQ("/home/nurse/.ICAClient/CitrixServer.log", tracefile::SystemLogFilePath(kServerLogPath));
    // Anything else stands as it is.
    EXPECT_EQ("c:\\logs\\x.log", tracefile::SystemLogFilePath("c:\\logs\\x.log"));
    EXPECT_EQ("c:\\", tracefile::SystemLogFilePath("c:\\"));
    EXPECT_EQ("/tmp/trace.log", tracefile::SystemLogFilePath("/tmp/trace.log"));
    EXPECT_EQ("1:\\x.log", tracefile::SystemLogFilePath("1:\\x.log"));
    tracefile::SetLogFolder("");
    EXPECT_EQ("c:\\CitrixClient.log", tracefile::SystemLogFilePath(kClientLogPath));
}

TEST(TraceLogFolder, ALogMissingFromTheFolderIsNotWritten) {
    // The folder has no CitrixClient.log, the current folder has the Windows-named file: neither
    // gets a line. Then a second log that exists in the folder does (the mapping is in use).
    const std::string folder = TempFolder();
    ASSERT_EQ(0, chdir(folder.c_str()));
    { std::ofstream create("c:\\CitrixClient.log"); }
    { std::ofstream create(folder + "/CitrixServer.log"); }
    tracefile::SetLogFolder(folder);
    WriteLogLine("client line", kClientLogPath, "CitrixClient", false);
    WriteLogLine("server line", kServerLogPath, "CitrixClient", true);
    EXPECT_EQ("", ReadAll(folder + "/c:\\CitrixClient.log"));
    EXPECT_NE(std::string::npos, ReadAll(folder + "/CitrixServer.log").find("\tCitrixClient\tserver line\n"));
    EXPECT_FALSE(tracefile::IsExistingFile(kClientLogPath));
    tracefile::SetLogFolder("");
    std::system(("rm -rf '" + folder + "'").c_str());
}
