// Fuzz target: the Linux setup's edit of the ICA Client's module.ini.
//
// Input: the file's bytes. Besides crashes it checks: a successful add leaves a file whose status
// is complete and that a second add does not change; a remove leaves no entry of the channel and
// a second remove changes nothing; on a file without any entry of the channel, add then remove
// gives back the bytes as they were; and add fails exactly when the file has no [ICA 3.0] section
// with a VirtualDriver key.
#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

#include "ModuleIniEdit.h"

using namespace linuxsetup;

namespace {

void Check(bool condition) {
    if (!condition) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size > 64 * 1024) return 0;
    const std::string original(reinterpret_cast<const char*>(data), size);
    const ModuleIniStatus before = InspectModuleIni(original);

    const ModuleIniEdit added = AddChannel(original);
    Check(added.ok == (before.icaSection && before.listKey));
    if (added.ok) {
        Check(added.changed == (added.text != original));
        Check(InspectModuleIni(added.text).Complete());
        const ModuleIniEdit again = AddChannel(added.text);
        Check(again.ok && !again.changed && again.text == added.text);
        if (!before.AnyEntry()) {
            const ModuleIniEdit back = RemoveChannel(added.text);
            Check(back.ok && back.text == original);
        }
    }

    const ModuleIniEdit removed = RemoveChannel(original);
    Check(removed.ok == before.icaSection);
    if (removed.ok) {
        Check(!InspectModuleIni(removed.text).AnyEntry());
        const ModuleIniEdit again = RemoveChannel(removed.text);
        Check(again.ok && !again.changed);
        if (!before.AnyEntry()) Check(!removed.changed && removed.text == original);
    }
    return 0;
}
