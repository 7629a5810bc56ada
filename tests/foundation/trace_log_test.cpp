#include "TraceLog.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <regex>
#include <sstream>
#include <thread>
#include <vector>

#include "DateTime.h"
#include "TraceFile.h"

#ifdef _WIN32
#include <windows.h>
#endif

namespace {

std::string ReadAll(const std::string& path) {
    std::ifstream in(path, std::ios::binary);
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void CreateEmpty(const std::string& path) { std::ofstream(path, std::ios::binary | std::ios::trunc); }

#ifdef _WIN32
const char* kLineEnd = "\r\n";
#else
const char* kLineEnd = "\n";
#endif

}  // namespace

TEST(TraceLog, SourceBaseName) {
    EXPECT_EQ(SourceBaseName(".\\CitrixClient.cpp"), "CitrixClient");
    EXPECT_EQ(SourceBaseName(".\\CitrixUSBButtonDeviceManagerClient"), "CitrixUSBButtonDeviceManagerClient");
    EXPECT_EQ(SourceBaseName("plainname"), "plainname");
    EXPECT_EQ(SourceBaseName("a.b\\c.d.e"), "c.d");
}

TEST(TraceLog, MissingFileAtFirstLineDisablesThePathForTheProcess) {
    const std::string path = "trace_missing_test.log";
    std::remove(path.c_str());
    WriteLogLine("dropped", path, ".\\CitrixClient", false);
    CreateEmpty(path);
    WriteLogLine("still dropped", path, ".\\CitrixClient", false);
    EXPECT_EQ(ReadAll(path), "");
    std::remove(path.c_str());
}

TEST(TraceLog, LineFormatWithAndWithoutErrorFlag) {
    const std::string path = "trace_format_test.log";
    CreateEmpty(path);
    WriteLogLine("DriverOpen entered", path, ".\\CitrixClient.cpp", false);
    WriteLogLine("Could not open", path, ".\\CitrixClient.cpp", true);
    const std::string text = ReadAll(path);
    const std::string pid = std::to_string(tracefile::CurrentProcessId());
    const std::string stamp = R"(\d{4}/\d{2}/\d{2} \d{2}:\d{2}:\d{2}, \d{3}ms)";
    const std::regex expected("^" + stamp + "\t" + pid + "\tCitrixClient\tDriverOpen entered" + kLineEnd +
                              "ERROR\t" + stamp + "\t" + pid + "\tCitrixClient\tCould not open" + kLineEnd + "$");
    EXPECT_TRUE(std::regex_match(text, expected)) << text;
    std::remove(path.c_str());
}

TEST(TraceLog, RemovedAfterFirstUseIsCreatedAgain) {
    const std::string path = "trace_recreate_test.log";
    CreateEmpty(path);
    WriteLogLine("one", path, "x", false);
    std::remove(path.c_str());
    WriteLogLine("two", path, "x", false);
    EXPECT_NE(ReadAll(path).find("\tx\ttwo"), std::string::npos);
    std::remove(path.c_str());
}

TEST(TraceLog, ConcurrentWritersProduceWholeLines) {
    const std::string path = "trace_threads_test.log";
    CreateEmpty(path);
    const std::string a(300, 'a'), b(300, 'b');
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < 50; ++i) WriteLogLine(t % 2 ? a : b, path, "src", false);
        });
    }
    for (auto& t : threads) t.join();
    std::istringstream lines(ReadAll(path));
    std::string line;
    int count = 0;
    while (std::getline(lines, line)) {
        if (!line.empty() && line.back() == '\r') line.pop_back();
        const std::string tail = line.substr(line.rfind('\t') + 1);
        EXPECT_TRUE(tail == a || tail == b) << line;
        ++count;
    }
    EXPECT_EQ(count, 200);
    std::remove(path.c_str());
}

#ifdef _WIN32
// Two processes trace into one log at the same time (two sessions' clients, the device check): each
// line arrives whole and none is lost. Appending by seeking to the end and then writing lost about
// three lines in a hundred here, another process's line landing on the same offset.
TEST(TraceLog, TwoProcessesTracingAtOnceLoseNoLine) {
    const std::string path = "trace_processes_test.log", go = "trace_processes_test.go";
    const char* const tags[] = {"first", "second"};
    constexpr int kLines = 5000;
    const auto readyFile = [](const char* tag) { return std::string("trace_processes_test.") + tag; };
    CreateEmpty(path);
    std::remove(go.c_str());
    PROCESS_INFORMATION writers[2] = {};
    for (int w = 0; w < 2; ++w) {
        const std::string ready = readyFile(tags[w]);
        std::remove(ready.c_str());
        std::string command = std::string("\"") + TOV_TRACE_APPEND_WRITER + "\" " + path + " " + tags[w] + " " +
                              std::to_string(kLines) + " " + ready + " " + go;
        STARTUPINFOA startup = {};
        startup.cb = sizeof startup;
        ASSERT_TRUE(CreateProcessA(nullptr, &command[0], nullptr, nullptr, FALSE, 0, nullptr, nullptr, &startup,
                                   &writers[w]))
            << command << ": error " << GetLastError();
        CloseHandle(writers[w].hThread);
    }
    // Both wait at the start line; then both write at once.
    const ULONGLONG giveUp = GetTickCount64() + 60000;
    for (const char* tag : tags) {
        while (GetFileAttributesA(readyFile(tag).c_str()) == INVALID_FILE_ATTRIBUTES) {
            ASSERT_LT(GetTickCount64(), giveUp) << tag << " writer never got ready";
            Sleep(1);
        }
    }
    CreateEmpty(go);
    for (PROCESS_INFORMATION& writer : writers) {
        ASSERT_EQ(WaitForSingleObject(writer.hProcess, 120000), WAIT_OBJECT_0);
        DWORD code = 1;
        GetExitCodeProcess(writer.hProcess, &code);
        EXPECT_EQ(code, 0u);
        CloseHandle(writer.hProcess);
    }
    std::istringstream lines(ReadAll(path));
    std::string line;
    int count[2] = {0, 0};
    int whole = 0, broken = 0;
    const std::regex wholeLine("^[^\t]+\t[0-9]+\tWriter\t(first|second) line [0-9]+ of a trace about as long as the "
                               "driver's lines$");
    while (std::getline(lines, line)) {
        if (line.empty() || line.back() != '\r') {
            ++broken;  // a line cut by, or run into, another process's
            continue;
        }
        line.pop_back();
        const std::string tail = line.substr(line.rfind('\t') + 1);
        for (int w = 0; w < 2; ++w) {
            if (tail.rfind(std::string(tags[w]) + " line ", 0) == 0) ++count[w];
        }
        if (std::regex_match(line, wholeLine)) ++whole;
    }
    EXPECT_EQ(count[0], kLines);
    EXPECT_EQ(count[1], kLines);
    EXPECT_EQ(whole, 2 * kLines);
    EXPECT_EQ(broken, 0);
    std::remove(path.c_str());
    std::remove(go.c_str());
    for (const char* tag : tags) std::remove(readyFile(tag).c_str());
}
#endif

#ifndef _WIN32
namespace {

const char* const kExitLog = "trace_exit_test.log";
const char* const kAbsentExitLog = "trace_exit_absent_test.log";
bool traceAtExit = false;

// Writes to both logs from an exit handler that runs after every ordinary static of the program has
// been destroyed: it is registered before any of them is built (init priority 101 comes before the
// default), and exit handlers run in the reverse order of their registration.
struct ExitTracer {
    ExitTracer() { std::atexit(&TraceAtExit); }
    static void TraceAtExit() {
        if (!traceAtExit) return;
        WriteLogLine("at exit", kExitLog, "ExitTest", false);
        WriteLogLine("at exit", kAbsentExitLog, "ExitTest", false);
    }
};
ExitTracer exitTracer __attribute__((init_priority(101)));

}  // namespace

// Reader threads may still trace while the process exits. The process-wide sets of known log paths
// must then still exist (AddressSanitizer reports the use of a destroyed one).
TEST(TraceLogDeathTest, LinesWrittenAfterStaticDestructionAtExit) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    std::remove(kAbsentExitLog);
    CreateEmpty(kExitLog);
    EXPECT_EXIT(
        {
            // Both paths are now in the sets, one present and one absent.
            WriteLogLine("before exit", kExitLog, "ExitTest", false);
            WriteLogLine("dropped", kAbsentExitLog, "ExitTest", false);
            traceAtExit = true;
            std::exit(0);
        },
        ::testing::ExitedWithCode(0), "");
    const std::string text = ReadAll(kExitLog);
    const std::regex lines("\\tExitTest\\tbefore exit\n[^\\n]*\\tExitTest\\tat exit\n$");
    EXPECT_TRUE(std::regex_search(text, lines)) << text;
    std::FILE* absent = std::fopen(kAbsentExitLog, "r");
    EXPECT_EQ(absent, nullptr) << "the absent log stays unused";
    if (absent) std::fclose(absent);
    std::remove(kExitLog);
}
#endif

TEST(DateTime, DifferenceAndFormat) {
    CDateTime earlier;
    earlier.ticks = 1000;
    CDateTime later;
    later.ticks = 1059;
    uint32_t ms = 0;
    EXPECT_TRUE(later.MillisecondsSince(earlier, ms));
    EXPECT_EQ(ms, 59u);
    EXPECT_FALSE(earlier.MillisecondsSince(later, ms));  // clock set back
    CDateTime t;
    t.year = 2014; t.month = 1; t.day = 5; t.hour = 9; t.minute = 7; t.second = 3; t.millisecond = 42;
    EXPECT_EQ(t.ToString(), "2014/01/05 09:07:03, 042ms");
}
