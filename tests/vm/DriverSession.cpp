#include "DriverSession.h"

#include <dirent.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <thread>

#include "MessageDecoder.h"
#include "MessageEncoder.h"

namespace vmtest {

namespace {

DriverSession* g_session = nullptr;

class SessionEnvironment : public ::testing::Environment {
public:
    // The module stays loaded; only the engine thread ends.
    void TearDown() override {
        if (g_session && g_session->Started()) g_session->Sim().Shutdown();
    }
};

::testing::Environment* const g_environment = ::testing::AddGlobalTestEnvironment(new SessionEnvironment);

int CountEntries(const char* dir) {
    DIR* d = opendir(dir);
    if (!d) return -1;
    int n = 0;
    while (dirent* e = readdir(d)) {
        if (e->d_name[0] != '.') ++n;
    }
    closedir(d);
    return n - (std::string(dir) == "/proc/self/fd" ? 1 : 0);  // the listing's own descriptor
}

void PutU32(Bytes& out, uint32_t v) {
    for (int i = 0; i < 4; ++i) out.push_back(static_cast<uint8_t>(v >> (8 * i)));
}

void PutString(Bytes& out, const std::string& s) {
    PutU32(out, static_cast<uint32_t>(s.size()));
    out.insert(out.end(), s.begin(), s.end());
}

}  // namespace

std::string DriverPath() {
    const char* path = std::getenv("TOV_VM_DRIVER");
    return path && *path ? path : "/tov/VDTOVUSB.DLL";
}

DriverSession::DriverSession() {
    // The trace log is written only when it exists: make it, so that a failure can be read there.
    const char* home = std::getenv("HOME");
    const std::string dir = std::string(home ? home : "/root") + "/.ICAClient";
    mkdir(dir.c_str(), 0755);
    std::ofstream(dir + "/CitrixClient.log", std::ios::app);

    enginesim::Options options;
    options.modulePath = DriverPath();
    options.pollIntervalMs = 5;
    sim.reset(new enginesim::EngineSimulator(options));
    started = sim->Start();
    if (!started) ADD_FAILURE() << "the driver did not start: " << sim->LastError();
}

DriverSession& DriverSession::Get() {
    if (!g_session) g_session = new DriverSession();
    return *g_session;
}

std::unique_ptr<DriverSession> DriverSession::OpenOwn() { return std::unique_ptr<DriverSession>(new DriverSession()); }

bool DriverSession::Unload() {
    const bool closed = started && sim->CloseLibrary();
    sim.reset();
    started = false;
    return closed;
}

size_t DriverSession::SentCount() { return sim->Wd().SentBlockCount(); }

std::vector<Bytes> DriverSession::BlocksFrom(size_t from) {
    std::vector<enginesim::SentBlock> all = sim->SentBlocks();
    std::vector<Bytes> blocks;
    for (size_t i = from; i < all.size(); ++i) blocks.push_back(all[i].data);
    return blocks;
}

std::vector<ChannelMessage> DriverSession::SentFrom(size_t from) {
    std::vector<ChannelMessage> messages;
    size_t i = from;
    for (const Bytes& block : BlocksFrom(from)) {
        ChannelMessage message;
        std::string error;
        if (!ServerProxy::DecodeClientMessage(block, message, error)) {
            ADD_FAILURE() << "block " << i << " is not a valid client message: " << error;
        } else {
            messages.push_back(message);
        }
        ++i;
    }
    return messages;
}

bool DriverSession::WaitForMessage(size_t from, const std::function<bool(const ChannelMessage&)>& match,
                                   std::chrono::milliseconds timeout, size_t* index) {
    return WaitUntil(
        [&] {
            const std::vector<ChannelMessage> messages = SentFrom(from);
            for (size_t i = 0; i < messages.size(); ++i) {
                if (match(messages[i])) {
                    if (index) *index = from + i;
                    return true;
                }
            }
            return false;
        },
        timeout);
}

bool DriverSession::Command(const Bytes& block, std::chrono::milliseconds timeout) {
    const size_t from = SentCount();
    ChannelMessage command;
    std::string error;
    EXPECT_TRUE(ServerProxy::DecodeServerMessage(block, command, error)) << error;
    EXPECT_TRUE(sim->QueueServerBlock(block));
    return WaitForMessage(
        from, [&](const ChannelMessage& m) { return m.code == command.code + 1 && m.handle == command.handle; },
        timeout);
}

std::vector<USBButtonDeviceDescriptor> DriverSession::List(ObjectHandle manager) {
    const size_t from = SentCount();
    EXPECT_TRUE(Command(ServerProxy::EncodeGetConnectedDevices(manager)));
    for (const ChannelMessage& m : SentFrom(from)) {
        if (m.code == static_cast<uint32_t>(MessageType::GetConnectedDevicesReply) && m.handle == manager) {
            return m.devices;
        }
    }
    ADD_FAILURE() << "no GetConnectedDevicesReply";
    return {};
}

int Threads() { return CountEntries("/proc/self/task"); }
int Descriptors() { return CountEntries("/proc/self/fd"); }

int MappingsOf(const std::string& suffix) {
    std::ifstream maps("/proc/self/maps");
    int count = 0;
    for (std::string line; std::getline(maps, line);) {
        if (line.size() >= suffix.size() && line.compare(line.size() - suffix.size(), suffix.size(), suffix) == 0) {
            ++count;
        }
    }
    return count;
}

int OpenOn(const std::string& node) {
    int n = 0;
    for (int fd = 0; fd < 1024; ++fd) {
        char link[256];
        const ssize_t len = readlink(("/proc/self/fd/" + std::to_string(fd)).c_str(), link, sizeof(link) - 1);
        if (len > 0 && std::string(link, static_cast<size_t>(len)) == node) ++n;
    }
    return n;
}

bool WaitUntil(const std::function<bool()>& condition, std::chrono::milliseconds timeout) {
    const auto end = std::chrono::steady_clock::now() + timeout;
    while (!condition()) {
        if (std::chrono::steady_clock::now() > end) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(5));
    }
    return true;
}

Bytes DescriptorBytes(int32_t id, const std::string& name, const std::string& path, int32_t usageType,
                      int32_t vendorID, int32_t productID, int32_t version, const std::string& productString,
                      int32_t inputLength, int32_t outputLength) {
    Bytes b;
    PutU32(b, static_cast<uint32_t>(id));
    PutString(b, name);
    PutString(b, path);
    PutU32(b, static_cast<uint32_t>(usageType));
    PutU32(b, static_cast<uint32_t>(vendorID));
    PutU32(b, static_cast<uint32_t>(productID));
    PutU32(b, static_cast<uint32_t>(version));
    PutString(b, productString);
    PutU32(b, static_cast<uint32_t>(inputLength));
    PutU32(b, static_cast<uint32_t>(outputLength));
    return b;
}

Bytes ButtonEventBytes(ObjectHandle device, int32_t button, int32_t pressed) {
    Bytes b;
    PutU32(b, 21);
    PutU32(b, device);
    PutU32(b, static_cast<uint32_t>(button));
    PutU32(b, static_cast<uint32_t>(pressed));
    return b;
}

Bytes ConnectEventBytes(uint32_t code, ObjectHandle manager, const Bytes& descriptor) {
    Bytes b;
    PutU32(b, code);
    PutU32(b, manager);
    b.insert(b.end(), descriptor.begin(), descriptor.end());
    return b;
}

}  // namespace vmtest
