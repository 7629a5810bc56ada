// The simulation module exports the bus's C interface: a program that loaded it drives the bus
// through the exported functions alone.
#include <gtest/gtest.h>

#include <fstream>
#include <regex>
#include <set>
#include <string>

#include "TovSimBus.h"

#ifdef _WIN32
#include <windows.h>
using ModuleHandle = HMODULE;
ModuleHandle LoadModule() { return LoadLibraryA("TovaroCitrixVCSim.dll"); }
void* Lookup(ModuleHandle module, const char* name) {
    return reinterpret_cast<void*>(GetProcAddress(module, name));
}
#else
#include <dlfcn.h>
using ModuleHandle = void*;
ModuleHandle LoadModule() { return dlopen(TOV_SIM_MODULE_PATH, RTLD_NOW | RTLD_LOCAL); }
void* Lookup(ModuleHandle module, const char* name) { return dlsym(module, name); }
#endif

namespace {

template <typename F>
F Get(ModuleHandle module, const char* name) {
    return reinterpret_cast<F>(Lookup(module, name));
}

// Every function TovSimBus.h declares, read from the header itself: a declaration line starts in
// the first column (comment lines start with "/*" or " *") and names the function before its "(".
std::set<std::string> DeclaredFunctions() {
    std::ifstream header(TOV_SIM_HEADER_PATH);
    EXPECT_TRUE(header.good()) << TOV_SIM_HEADER_PATH;
    const std::regex declaration(R"(^[A-Za-z].*[ *]((TovSim|TovPlatform)_[A-Za-z0-9]+)\()");
    std::set<std::string> names;
    std::string line;
    std::smatch match;
    while (std::getline(header, line)) {
        if (std::regex_search(line, match, declaration)) names.insert(match[1]);
    }
    return names;
}

TEST(SimulationModule, ExportsEveryFunctionTheHeaderDeclares) {
    ModuleHandle module = LoadModule();
    ASSERT_NE(module, nullptr);
    const std::set<std::string> declared = DeclaredFunctions();
    // At least the functions the header declared when this was written, so that a parse that
    // finds nothing cannot pass.
    EXPECT_GE(declared.size(), 24u);
    EXPECT_EQ(declared.count("TovPlatform_PumpMessages"), 1u);
    for (const std::string& name : declared) EXPECT_NE(Lookup(module, name.c_str()), nullptr) << name;
    EXPECT_NE(Lookup(module, "Load"), nullptr);
}

TEST(SimulationModule, ExportsTheBusAndThePump) {
    ModuleHandle module = LoadModule();
    ASSERT_NE(module, nullptr);
    for (const char* name : {"Load", "TovSim_Plug", "TovSim_PlugCustom", "TovSim_Unplug", "TovSim_SendInputReport",
                             "TovSim_ReadOutputReport", "TovSim_FailNextOpen", "TovSim_BreakPendingRead",
                             "TovSim_CatalogueEntry", "TovSim_RecordMessageBoxes", "TovPlatform_PumpMessages"}) {
        EXPECT_NE(Lookup(module, name), nullptr) << name;
    }
    auto plug = Get<decltype(&TovSim_Plug)>(module, "TovSim_Plug");
    auto path = Get<decltype(&TovSim_DevicePath)>(module, "TovSim_DevicePath");
    auto count = Get<decltype(&TovSim_CatalogueCount)>(module, "TovSim_CatalogueCount");
    auto unplug = Get<decltype(&TovSim_Unplug)>(module, "TovSim_Unplug");
    auto pump = Get<decltype(&TovPlatform_PumpMessages)>(module, "TovPlatform_PumpMessages");
    ASSERT_TRUE(plug && path && count && unplug && pump);
    EXPECT_EQ(count(), 12);
    const int id = plug("SpeechMikeIII");
    ASSERT_GT(id, 0);
    char text[256] = {0};
    ASSERT_GT(path(id, text, sizeof(text)), 0);
    EXPECT_EQ(std::string(text).rfind("\\\\?\\hid#vid_0911&pid_0c1c&mi_00#sim&", 0), 0u) << text;
    EXPECT_EQ(plug("NoSuchModel"), 0);
    EXPECT_EQ(unplug(id), 1);
    EXPECT_GE(pump(), 0);
}

}  // namespace
