// The ICA Client may unload the driver (VdClose, VdUnload, dlclose) while its process lives on, and
// load it again. After the unload no thread, descriptor or mapping of the module may remain, and a
// second load starts clean: no block of the first session is sent, no object of it is found. A
// reader still in its failure box keeps the module mapped; the next load then says so in the trace
// log and still starts clean, and so does a write of an LED report still under way. Native only:
// the checks read /proc/self.
#include <dirent.h>
#include <dlfcn.h>
#include <limits.h>
#include <stdlib.h>
#include <unistd.h>

#include <chrono>
#include <fstream>
#include <map>
#include <set>
#include <string>
#include <thread>

#include "ProcessStats.h"
#include "SimModuleSession.h"
#include "TraceLogReader.h"

// No leak report for this program: the module's never-destroyed singletons (the trace log's state,
// the simulated bus), kept on purpose for threads that still run at process exit, are left behind
// by every mapping that dlclose removes (under 1 KB each). The other programs' leak checks cover
// the driver's allocations.
extern "C" const char* __asan_default_options() { return "detect_leaks=0"; }

namespace {

using namespace ServerProxy;

constexpr ObjectHandle kManager = 0x1000;
constexpr ObjectHandle kQueuedManager = 0x1001;
constexpr ObjectHandle kDevice = 0x2000;

std::set<std::string> Threads() {
    std::set<std::string> tids;
    if (DIR* dir = opendir("/proc/self/task")) {
        while (dirent* entry = readdir(dir)) {
            if (entry->d_name[0] != '.') tids.insert(entry->d_name);
        }
        closedir(dir);
    }
    return tids;
}

// Descriptor number -> what it names; the listing's own descriptor is left out.
std::map<std::string, std::string> Descriptors() {
    std::map<std::string, std::string> fds;
    DIR* dir = opendir("/proc/self/fd");
    if (!dir) return fds;
    const std::string own = std::to_string(dirfd(dir));
    while (dirent* entry = readdir(dir)) {
        const std::string name = entry->d_name;
        if (name[0] == '.' || name == own) continue;
        char target[PATH_MAX] = {0};
        const ssize_t n = readlink(("/proc/self/fd/" + name).c_str(), target, sizeof(target) - 1);
        fds[name] = n > 0 ? std::string(target, static_cast<size_t>(n)) : std::string();
    }
    closedir(dir);
    return fds;
}

std::string ModuleFile() {
    char resolved[PATH_MAX] = {0};
    return realpath(TOV_SIM_MODULE_PATH, resolved) ? resolved : TOV_SIM_MODULE_PATH;
}

// Lines of /proc/self/maps that map the module's file.
int ModuleMappings() {
    std::ifstream maps("/proc/self/maps");
    const std::string file = ModuleFile();
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= file.size() && line.compare(line.size() - file.size(), file.size(), file) == 0) ++count;
    }
    return count;
}

template <class T>
std::set<T> Minus(const std::set<T>& now, const std::set<T>& before) {
    std::set<T> extra;
    for (const T& item : now) {
        if (!before.count(item)) extra.insert(item);
    }
    return extra;
}

std::set<std::string> ExtraDescriptors(const std::map<std::string, std::string>& before) {
    std::set<std::string> extra;
    for (const auto& fd : Descriptors()) {
        auto it = before.find(fd.first);
        if (it == before.end() || it->second != fd.second) extra.insert(fd.first + " -> " + fd.second);
    }
    return extra;
}

std::string Joined(const std::set<std::string>& items) {
    std::string text;
    for (const std::string& item : items) text += item + "; ";
    return text;
}

// Waits until none of the threads is listed any more.
bool WaitUntilGone(const std::set<std::string>& threads) {
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::seconds(20);
    while (Minus(threads, Threads()).size() < threads.size()) {
        if (std::chrono::steady_clock::now() > deadline) return false;
        std::this_thread::yield();
    }
    return true;
}

class UnloadSession : public SimModuleSession {
protected:
    void SetUp() override {
        ASSERT_TRUE(RunOneThreadToItsEnd());  // what the runtime starts with a first thread is counted in
        threadsBefore = Threads();
        descriptorsBefore = Descriptors();
        ASSERT_EQ(ModuleMappings(), 0) << "the module is mapped before the test loads it";
        SimModuleSession::SetUp();
        ASSERT_GT(ModuleMappings(), 0);
    }
    void TearDown() override {
        if (bus.Reset) SimModuleSession::TearDown();
    }

    // The server's view of a working session: a manager, and a connected device whose reader runs.
    void OpenSessionWithReader(int& id) {
        id = bus.Plug("SpeechMikeIII");  // before the manager: no arrival event among the replies
        ASSERT_TRUE(Exchange(EncodeCreateManager(kManager)));
        ASSERT_TRUE(Exchange(EncodeGetConnectedDevices(kManager)));
        ASSERT_TRUE(Exchange(EncodeCreateDevice(kDevice)));
        ASSERT_TRUE(Exchange(EncodeInitDevice(kDevice, DescriptorOf("SpeechMikeIII", id))));
        ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, true)));
        ASSERT_EQ(bus.ReaderCount(id), 1);
        // The reader's thread and descriptor exist: the checks after the unload can see them go.
        ASSERT_FALSE(Minus(Threads(), threadsBefore).empty());
        ASSERT_FALSE(ExtraDescriptors(descriptorsBefore).empty());
    }

    // With polling off, a command whose reply stays queued when the session ends.
    void LeaveReplyQueued() {
        sim->StopPolling();
        sim->QueueServerBlock(EncodeCreateManager(kQueuedManager));
        sim->WaitForDelivery();
        ASSERT_EQ(sim->SentBlocks().size(), repliesSeen) << "the reply was sent";
    }

    // VdClose, VdUnload, the bus's own devices unplugged, dlclose.
    void UnloadAndClose() {
        sim->Shutdown();
        bus.Reset();
        EXPECT_TRUE(sim->CloseLibrary());
        bus = SimBusExports{};
        sim.reset();
    }

    // A new load: its first sent block is the reply to its first command, and the objects of the
    // last session are unknown to it.
    void ExpectFreshSession() {
        repliesSeen = 0;
        SimModuleSession::SetUp();
        ASSERT_FALSE(HasFatalFailure());
        const testsupport::LogReader log(testsupport::kClientLog);
        ASSERT_TRUE(Exchange(EncodeConnectDevice(kDevice, true)));
        ASSERT_TRUE(Exchange(EncodeDeleteManager(kManager)));
        EXPECT_EQ(sim->SentBlocks().size(), 2u) << "a block of the last session was sent";
        EXPECT_EQ(log.Count("Could not find device for 0x2000"), 1u);
        EXPECT_EQ(log.Count("Could not find/delete manager for 0x1000"), 1u);
    }

    std::set<std::string> threadsBefore;
    std::map<std::string, std::string> descriptorsBefore;
};

TEST_F(UnloadSession, UnloadLeavesNothingOfOursAndTheNextLoadStartsClean) {
    int id = 0;
    OpenSessionWithReader(id);
    const std::set<std::string> reader = Minus(Threads(), threadsBefore);
    LeaveReplyQueued();
    UnloadAndClose();

    // The unload waited for the reader; its exit, and its drop of its hold on the module, may still
    // be under way for a moment.
    EXPECT_TRUE(WaitUntilGone(reader)) << Joined(reader);
    EXPECT_EQ(ModuleMappings(), 0) << "the module stays mapped after dlclose";
    EXPECT_EQ(Minus(Threads(), threadsBefore), std::set<std::string>{}) << "threads of ours remain";
    EXPECT_EQ(ExtraDescriptors(descriptorsBefore), std::set<std::string>{}) << "descriptors of ours remain";

    const testsupport::LogReader log(testsupport::kClientLog);
    ExpectFreshSession();
    for (const std::string& line : log.Messages()) {
        EXPECT_EQ(line.find("Load after an unload"), std::string::npos) << "a freshly mapped module: " << line;
    }
    UnloadAndClose();
    EXPECT_EQ(ModuleMappings(), 0);
}

TEST_F(UnloadSession, AReaderInItsBoxKeepsTheModuleAndTheNextLoadSaysSo) {
    int id = 0;
    const testsupport::LogReader unloadLog(testsupport::kClientLog);
    bus.HoldMessageBoxes(1);
    OpenSessionWithReader(id);
    ASSERT_EQ(bus.BreakReaderWait(id), 1);
    ASSERT_EQ(bus.WaitForOpenMessageBox(1, 20000), 1);
    LeaveReplyQueued();
    auto dismiss = bus.DismissMessageBoxes;  // the module stays mapped: its exports stay valid
    UnloadAndClose();
    EXPECT_GT(ModuleMappings(), 0) << "the reader in its box holds the module";
    EXPECT_EQ(unloadLog.Count("VdUnload: 1 thread(s) still running keep the module loaded"), 1u);
    const std::set<std::string> readerInBox = Minus(Threads(), threadsBefore);
    EXPECT_EQ(readerInBox.size(), 1u) << "only the reader in its box is left";

    const testsupport::LogReader log(testsupport::kClientLog);
    ExpectFreshSession();
    EXPECT_EQ(log.Count("Load after an unload that left the module loaded: 1 thread(s) of the earlier session "
                        "still running; the new session starts empty"),
              1u);

    // Once the box is answered the reader ends and drops its hold; the host's unload of the second
    // session then unmaps the module. (The reader is waited for first, so that the last reference
    // and the module's destructors are the host's, on this thread.)
    dismiss();
    EXPECT_TRUE(WaitUntilGone(readerInBox)) << Joined(readerInBox);
    UnloadAndClose();
    EXPECT_TRUE(WaitUntilGone(Minus(Threads(), threadsBefore))) << Joined(Minus(Threads(), threadsBefore));
    EXPECT_EQ(ModuleMappings(), 0) << "the module stays mapped after its last thread ended";
    EXPECT_EQ(ExtraDescriptors(descriptorsBefore), std::set<std::string>{});
}

// An LED report that the device does not take and that a stop cannot cancel (a hidraw write, which
// only the kernel's own bound ends) when the host unloads: the unload does not wait for it, the writer
// keeps the module mapped, and a session loaded meanwhile sees nothing of the old one, also when the
// write then completes; once the writer has ended, the module goes.
TEST_F(UnloadSession, AWriteUnderWayKeepsTheModuleAndNothingOfItReachesTheNextLoad) {
    int id = 0;
    const testsupport::LogReader unloadLog(testsupport::kClientLog);
    OpenSessionWithReader(id);
    const std::set<std::string> reader = Minus(Threads(), threadsBefore);
    ASSERT_EQ(bus.HoldWrites(id, 2), 1);
    sim->QueueServerBlock(EncodeSetLEDs(kDevice, {{0, 1}}));
    ASSERT_EQ(bus.WaitForHeldWrites(1, 20000), 1);
    const std::set<std::string> writer = Minus(Minus(Threads(), threadsBefore), reader);
    ASSERT_EQ(writer.size(), 1u) << "the write runs on a thread of its own";
    // Unloaded by the host alone: the bus is left as it is, so the write stays held.
    auto release = bus.HoldWrites;  // the module stays mapped: its exports stay valid
    sim->Shutdown();
    EXPECT_TRUE(sim->CloseLibrary());
    sim.reset();
    EXPECT_GT(ModuleMappings(), 0) << "the write under way holds the module";
    EXPECT_EQ(unloadLog.Count("VdUnload: 1 thread(s) still running keep the module loaded"), 1u);
    EXPECT_TRUE(WaitUntilGone(reader)) << Joined(reader);
    EXPECT_EQ(Minus(Threads(), threadsBefore), writer) << "only the writer is left";

    // The next load, on the same bus: its first block answers its first command, before and after
    // the old write completes.
    repliesSeen = 0;
    ASSERT_TRUE(testsupport::StartModule(TOV_SIM_MODULE_PATH, sim));
    ASSERT_TRUE(Exchange(EncodeCreateManager(kManager)));
    release(id, 0);
    EXPECT_TRUE(WaitUntilGone(writer)) << Joined(writer);
    ASSERT_TRUE(Exchange(EncodeDeleteManager(kManager)));
    EXPECT_EQ(sim->SentBlocks().size(), 2u) << "a block of the last load was sent";

    UnloadAndClose();  // the bus's exports of the first load are still the module's
    EXPECT_TRUE(WaitUntilGone(Minus(Threads(), threadsBefore))) << Joined(Minus(Threads(), threadsBefore));
    EXPECT_EQ(ModuleMappings(), 0) << "the module stays mapped after its last thread ended";
    EXPECT_EQ(ExtraDescriptors(descriptorsBefore), std::set<std::string>{});
}

}  // namespace
