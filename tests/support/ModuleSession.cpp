#include "ModuleSession.h"

#include <gtest/gtest.h>

#include "TraceLogReader.h"

namespace testsupport {

bool StartModule(const char* modulePath, std::unique_ptr<enginesim::EngineSimulator>& sim) {
    CreateFileIfMissing(kClientLog);
    enginesim::Options options;
    options.modulePath = modulePath;
    options.pollIntervalMs = 5;
    sim.reset(new enginesim::EngineSimulator(options));
    if (!sim->Start()) {
        ADD_FAILURE() << "the driver did not start: " << sim->LastError();
        return false;
    }
    return true;
}

}  // namespace testsupport
