#include "LibraryManager.h"

namespace enginesim {

namespace {

constexpr int32_t kNotFound = 1;
constexpr int32_t kNotSupported = 2;

thread_local LibraryManager* t_active = nullptr;

// One stand-in table per subsystem: enough entries that a driver that looked into one would find
// non-null, harmless procedures rather than garbage.
int32_t TOV_ICA_CALL SubsystemEntry() { return kNotSupported; }
struct SubsystemTable {
    PLIBMGRPROC entries[64];
    SubsystemTable() {
        for (auto& e : entries) e = reinterpret_cast<PLIBMGRPROC>(&SubsystemEntry);
    }
};

}  // namespace

LibraryManager::LibraryManager() {
    for (auto& e : table) e = reinterpret_cast<PLIBMGRPROC>(&Other);
    table[ica::kLibMgrUse] = reinterpret_cast<PLIBMGRPROC>(&Use);
}

const std::vector<std::string>& LibraryManager::SubsystemNames() {
    static const std::vector<std::string> names = {
        "CTXMEM", "CTXMODULE", "CTXCLIB", "CTXMOUSE", "CTXTMR",        "CTXLOG",
        "CTXMEMINI", "CTXKBD", "CTXOS",   "CTXWND",   "CTXENG",        "VP.LIB.SUBLST",
        "CTXFILE", "CTXPATH",  "CTXGRAPH", "CTXSCA",  "CTXMMA",
    };
    return names;
}

std::vector<std::string> LibraryManager::RequestedNames() const {
    std::lock_guard<std::mutex> lock(mutex);
    return requested;
}

size_t LibraryManager::OtherCalls() const {
    std::lock_guard<std::mutex> lock(mutex);
    return otherCalls;
}

int32_t TOV_ICA_CALL LibraryManager::Use(const char* name, void*, void** subsystemTable) {
    static SubsystemTable tables[17];
    LibraryManager* const self = t_active;
    const std::string text = name ? name : "";
    if (self) {
        std::lock_guard<std::mutex> lock(self->mutex);
        self->requested.push_back(text);
    }
    const auto& names = SubsystemNames();
    for (size_t i = 0; i < names.size(); ++i) {
        if (names[i] == text) {
            if (subsystemTable) *subsystemTable = tables[i].entries;
            return 0;
        }
    }
    if (subsystemTable) *subsystemTable = nullptr;
    return kNotFound;
}

int32_t TOV_ICA_CALL LibraryManager::Other() {
    if (LibraryManager* const self = t_active) {
        std::lock_guard<std::mutex> lock(self->mutex);
        ++self->otherCalls;
    }
    return kNotSupported;
}

LibraryManager::ActiveScope::ActiveScope(LibraryManager* manager) : previous(t_active) { t_active = manager; }

LibraryManager::ActiveScope::~ActiveScope() { t_active = previous; }

}  // namespace enginesim
