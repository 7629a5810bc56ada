// The type of a registry value as stored, and the expansion of environment references in a
// REG_EXPAND_SZ text. The foundation's registry class reads every value as bytes up to its first
// zero, whatever its type; the installer must know the type before it edits a value, so that a
// list stored as REG_MULTI_SZ is neither cut at its first entry nor written back as REG_SZ.
#pragma once

#include <cstdint>
#include <string>

#include "Registry.h"

namespace installer {

constexpr uint32_t kRegNone = 0, kRegString = 1, kRegExpandString = 2, kRegMultiString = 7;

// The stored type of the value under the root (RegistryRoot) in `view`; false when the key or the
// value is missing (or cannot be read).
bool QueryValueType(int32_t root, RegistryView view, const std::string& key, const std::string& value, uint32_t& type);

// True when the key exists under the root in `view` (whatever values it holds).
bool KeyExists(int32_t root, RegistryView view, const std::string& key);

// "REG_SZ", "REG_MULTI_SZ", ...; "type <n>" for a number Windows does not name.
std::string RegistryTypeName(uint32_t type);

// `text` with every %NAME% reference replaced by the variable's value (ExpandEnvironmentStrings);
// `text` itself when it cannot be expanded.
std::string ExpandEnvironmentReferences(const std::string& text);

}  // namespace installer
