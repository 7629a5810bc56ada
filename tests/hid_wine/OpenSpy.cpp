#include "OpenSpy.h"

#include <mutex>

namespace winehid {

namespace {

using CreateFileAFunction = HANDLE(WINAPI*)(LPCSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);
using CreateFileWFunction = HANDLE(WINAPI*)(LPCWSTR, DWORD, DWORD, LPSECURITY_ATTRIBUTES, DWORD, DWORD, HANDLE);

// Guarded by spyMutex; the spied module may open from any thread.
std::mutex spyMutex;
std::vector<std::string> opens;
struct PatchedSlot {
    void** slot;
    void* original;
};
std::vector<PatchedSlot> patched;
CreateFileAFunction systemCreateFileA = nullptr;
CreateFileWFunction systemCreateFileW = nullptr;

void Note(const std::string& path) {
    std::lock_guard<std::mutex> lock(spyMutex);
    opens.push_back(path);
}

HANDLE WINAPI SpyCreateFileA(LPCSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                             DWORD flags, HANDLE templateFile) {
    Note(name ? name : "");
    return systemCreateFileA(name, access, share, security, creation, flags, templateFile);
}

HANDLE WINAPI SpyCreateFileW(LPCWSTR name, DWORD access, DWORD share, LPSECURITY_ATTRIBUTES security, DWORD creation,
                             DWORD flags, HANDLE templateFile) {
    std::string narrow;
    for (const wchar_t* c = name; c && *c; ++c) narrow.push_back(*c < 0x80 ? static_cast<char>(*c) : '?');
    Note(narrow);
    return systemCreateFileW(name, access, share, security, creation, flags, templateFile);
}

void Write(void** slot, void* value) {
    DWORD old = 0;
    VirtualProtect(slot, sizeof(void*), PAGE_READWRITE, &old);
    *slot = value;
    VirtualProtect(slot, sizeof(void*), old, &old);
}

}  // namespace

bool InstallOpenSpy(HMODULE module) {
    UninstallOpenSpy();
    HMODULE kernel32 = GetModuleHandleA("kernel32.dll");
    systemCreateFileA = reinterpret_cast<CreateFileAFunction>(GetProcAddress(kernel32, "CreateFileA"));
    systemCreateFileW = reinterpret_cast<CreateFileWFunction>(GetProcAddress(kernel32, "CreateFileW"));
    BYTE* base = reinterpret_cast<BYTE*>(module);
    const IMAGE_DOS_HEADER* dos = reinterpret_cast<const IMAGE_DOS_HEADER*>(base);
    const IMAGE_NT_HEADERS* nt = reinterpret_cast<const IMAGE_NT_HEADERS*>(base + dos->e_lfanew);
    const IMAGE_DATA_DIRECTORY& directory = nt->OptionalHeader.DataDirectory[IMAGE_DIRECTORY_ENTRY_IMPORT];
    if (directory.VirtualAddress == 0) return false;
    // Every import slot that holds the system's function, whichever DLL name it was bound through.
    for (const IMAGE_IMPORT_DESCRIPTOR* import =
             reinterpret_cast<const IMAGE_IMPORT_DESCRIPTOR*>(base + directory.VirtualAddress);
         import->Name != 0; ++import) {
        for (void** slot = reinterpret_cast<void**>(base + import->FirstThunk); *slot; ++slot) {
            void* replacement = nullptr;
            if (*slot == reinterpret_cast<void*>(systemCreateFileA)) replacement = reinterpret_cast<void*>(&SpyCreateFileA);
            if (*slot == reinterpret_cast<void*>(systemCreateFileW)) replacement = reinterpret_cast<void*>(&SpyCreateFileW);
            if (!replacement) continue;
            patched.push_back(PatchedSlot{slot, *slot});
            Write(slot, replacement);
        }
    }
    std::lock_guard<std::mutex> lock(spyMutex);
    opens.clear();
    return !patched.empty();
}

void UninstallOpenSpy() {
    for (const PatchedSlot& entry : patched) Write(entry.slot, entry.original);
    patched.clear();
}

std::vector<std::string> SpiedOpens() {
    std::lock_guard<std::mutex> lock(spyMutex);
    return opens;
}

}  // namespace winehid
