// One value in the Windows registry: a predefined root, a key path and a value name. Each
// operation opens and closes the key on its own; every failure is a false result, without text.
// The registry view is the calling program's own unless a view is chosen: a 32-bit program on
// 64-bit Windows reaches the 64-bit programs' keys only through the 64-bit view.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "DateTime.h"
#include "FileName.h"

// The predefined key a CRegistry works under; any other number selects HKEY_LOCAL_MACHINE.
enum RegistryRoot : int32_t {
    kRegistryLocalMachine = 0,
    kRegistryCurrentUser = 1,
    kRegistryClassesRoot = 2,
};

// Which view of the registry an instance works in. On 64-bit Windows the 32-bit and the 64-bit
// programs keep separate copies of most of HKEY_LOCAL_MACHINE\SOFTWARE; on 32-bit Windows there is
// only one registry and both views name it.
enum class RegistryView : int32_t {
    kProgram = 0,  // the calling program's own view (no flag is passed)
    k32Bit = 1,    // KEY_WOW64_32KEY
    k64Bit = 2,    // KEY_WOW64_64KEY
};

class CRegistry {
public:
    // The key "Software\Korvesta" under the root, the default value.
    explicit CRegistry(int32_t root);
    CRegistry(int32_t root, const CFileName& key, const std::string& valueName,
              RegistryView view = RegistryView::kProgram);
    virtual ~CRegistry() = default;

    bool Set(int32_t root, const CFileName& key, const std::string& valueName);
    int32_t GetRoot() const { return root; }
    void SetRoot(int32_t value) { root = value; }
    const CFileName& GetKey() const { return key; }
    void SetKey(const CFileName& value) { key = value; }
    // The empty name is the key's default value.
    const std::string& GetValueName() const { return valueName; }
    void SetValueName(const std::string& value) { valueName = value; }
    // Every operation, also creating and deleting keys, works in this view.
    RegistryView GetView() const { return view; }
    void SetView(RegistryView value) { view = value; }

    // The key's full text without trailing and then leading separators; operations on an empty
    // key path fail before any registry call.
    std::string GetKeyPath() const;

    // The value's data up to its first zero byte (all of it when it has none), whatever its type.
    bool ReadString(std::string& text) const;
    // REG_SZ with one terminating zero byte; creates the key (and its parents) when missing.
    bool WriteString(const std::string& text);
    bool WriteString(const char* text);
    // `value` is true when the text is "TRUE" in any letter case, false for any other text.
    bool ReadBool(bool& value) const;
    bool WriteBool(bool value);  // "TRUE" or "FALSE"
    // Succeeds only when the value's data is exactly 4 bytes, whatever its type.
    bool ReadDWORD(uint32_t& value) const;
    bool WriteDWORD(uint32_t value);  // REG_DWORD
    // The text parsed as a Windows path.
    bool ReadFileName(CFileName& name) const;
    bool WriteFileName(const CFileName& name);
    // The text form of CDateTime::ToString.
    bool ReadDateTime(CDateTime& time) const;
    bool WriteDateTime(const CDateTime& time);
    // The names of all values of the key, in index order. Opens the key for writing, so a missing
    // key is created (empty).
    bool GetValueNames(std::vector<std::string>& names) const;
    // Opens the key for writing (creating a missing key) and deletes the named value.
    bool DeleteValue();
    // Deletes the key itself; a key with subkeys is refused by the platform.
    bool DeleteKey();

    // Reads allocate at most this many bytes; a longer value fails to read.
    static constexpr uint32_t kMaxValueBytes = 16u * 1024u * 1024u;

private:
    // Reads the raw data through a buffer of the key's longest value length (zero-filled).
    bool ReadData(std::vector<unsigned char>& data, uint32_t& dataLength) const;

    CFileName key;
    std::string valueName;
    int32_t root;
    RegistryView view = RegistryView::kProgram;
};

// Parses the text form of CDateTime::ToString ("2014/01/05 09:07:03, 042ms") into its fields.
// False for any other text or a field out of range.
bool ParseDateTimeText(const std::string& text, CDateTime& time);
