// Stands in for VDTOVUSB.DLL in the setup tests: an ELF shared object of this machine with the
// driver's one export. It is never loaded.
extern "C" __attribute__((visibility("default"))) int Load(void*) { return 0; }
