// The engine's library manager as the driver sees it: a call table of six entries (load, unload,
// use, release, query table, update table). "Use" answers the engine's subsystem names with a table
// of that subsystem; the other entries answer "not supported".
#pragma once

#include <mutex>
#include <string>
#include <vector>

#include "IcaRecords.h"

namespace enginesim {

class LibraryManager {
public:
    LibraryManager();
    LibraryManager(const LibraryManager&) = delete;
    LibraryManager& operator=(const LibraryManager&) = delete;

    // The call table for DLLLINK.pLibMgrCallTable.
    void* CallTable() { return table; }

    // The names the driver asked "use" for, in order, and how many other entries it called.
    std::vector<std::string> RequestedNames() const;
    size_t OtherCalls() const;

    // The engine's subsystems.
    static const std::vector<std::string>& SubsystemNames();

private:
    // The library manager's entries reach no context argument; the manager the driver was given is
    // found through the current engine thread (see ActiveScope).
    static int32_t TOV_ICA_CALL Use(const char* name, void* version, void** subsystemTable);
    static int32_t TOV_ICA_CALL Other();

    PLIBMGRPROC table[ica::kLibMgrEntryCount];
    mutable std::mutex mutex;  // guards the records
    std::vector<std::string> requested;
    size_t otherCalls = 0;

public:
    // Makes `manager` the one that answers calls made on this thread while the scope lives. The
    // engine thread holds one around every driver call.
    class ActiveScope {
    public:
        explicit ActiveScope(LibraryManager* manager);
        ~ActiveScope();
        ActiveScope(const ActiveScope&) = delete;
        ActiveScope& operator=(const ActiveScope&) = delete;

    private:
        LibraryManager* previous;
    };
};

}  // namespace enginesim
