// Test helper: holds a file the way a running ICA Client holds its loaded driver, in a process of
// its own, until the test lets it go.
//   dll_holder load PATH READY RELEASE   LoadLibrary(PATH): Windows then refuses to delete or
//                                        overwrite the file but lets it be renamed
//   dll_holder open PATH READY RELEASE   opens PATH without FILE_SHARE_DELETE: then the file can
//                                        be neither deleted nor renamed
// READY and RELEASE name two events: READY is set once the file is held, and the program exits
// once RELEASE is set. Exit code 0 after holding the file, 1 when it could not be held.
#include <windows.h>

#include <string>

int main(int argc, char** argv) {
    if (argc != 5) return 2;
    const std::string mode = argv[1];
    HANDLE ready = OpenEventA(EVENT_MODIFY_STATE, FALSE, argv[3]);
    HANDLE release = OpenEventA(SYNCHRONIZE, FALSE, argv[4]);
    if (!ready || !release) return 2;
    HMODULE module = nullptr;
    HANDLE file = INVALID_HANDLE_VALUE;
    if (mode == "load")
        module = LoadLibraryA(argv[2]);
    else if (mode == "open")
        file = CreateFileA(argv[2], GENERIC_READ, FILE_SHARE_READ, nullptr, OPEN_EXISTING, 0, nullptr);
    if (!module && file == INVALID_HANDLE_VALUE) return 1;
    SetEvent(ready);
    WaitForSingleObject(release, INFINITE);
    if (module) FreeLibrary(module);
    if (file != INVALID_HANDLE_VALUE) CloseHandle(file);
    return 0;
}
