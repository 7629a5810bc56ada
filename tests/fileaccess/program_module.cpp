// An otherwise empty module: only its name and its folder matter to the program-folder test.
#ifdef _WIN32
extern "C" __declspec(dllexport) int TovaroDeviceConsoleVersion() { return 1; }
#else
extern "C" int TovaroDeviceConsoleVersion() { return 1; }
#endif
