// Starting a driver module in the simulated ICA Client, as the test programs that keep one module
// running for their whole run do it.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "EngineSimulator.h"

namespace testsupport {

// Makes sure the client log exists (tracing is decided at the module's first line), then starts
// the module at `modulePath` in a new simulator that polls every 5 ms. The simulator is kept in
// `sim` either way; false, with a test failure added, when the driver did not start.
bool StartModule(const char* modulePath, std::unique_ptr<enginesim::EngineSimulator>& sim);

// Looks up the module's export `name` into the function pointer `slot`; a missing export is a
// test failure that names it (the slot stays null, and the users' SetUp checks fail every test).
template <class T>
void Resolve(enginesim::EngineSimulator& sim, T& slot, const char* name) {
    slot = reinterpret_cast<T>(sim.ModuleExport(name));
    if (!slot) ADD_FAILURE() << "the module does not export " << name;
}

}  // namespace testsupport
