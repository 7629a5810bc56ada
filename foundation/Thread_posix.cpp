#include <dlfcn.h>
#include <pthread.h>
#include <signal.h>

#include <mutex>

#include "ThreadPlatform.h"

namespace threadplatform {

namespace {

struct StartRecord {
    ThreadProcedure procedure;
    void* argument;
    void* module;  // the dlopen reference the thread drops as it exits; null when none was taken
};

// A thread-specific key whose destructor is the C library's dlclose itself: the C library calls it
// with the thread's module reference after the thread's procedure has returned, from its own
// thread-exit code, so no instruction of this module runs after the reference is dropped (the
// native counterpart of FreeLibraryAndExitThread). The call through a pointer of the destructor's
// type is what the C library does with every key destructor; dlclose's int result is ignored.
pthread_key_t moduleKey;
bool moduleKeyCreated = false;
std::once_flag moduleKeyOnce;

void CreateModuleKey() {
    using Destructor = void (*)(void*);
    const Destructor closeModule =
        reinterpret_cast<Destructor>(reinterpret_cast<void (*)()>(&dlclose));
    moduleKeyCreated = pthread_key_create(&moduleKey, closeModule) == 0;
}

// The module holding this code, with one more reference on it; null when this code is part of
// the program itself (which is never unloaded) or the key is missing.
void* ReferenceOwnModule() {
    std::call_once(moduleKeyOnce, &CreateModuleKey);
    if (!moduleKeyCreated) return nullptr;
    Dl_info info;
    if (!dladdr(reinterpret_cast<void*>(&ReferenceOwnModule), &info) || !info.dli_fname) return nullptr;
    return dlopen(info.dli_fname, RTLD_NOW | RTLD_NOLOAD);
}

// The key outlives nothing that uses it: the module is unloaded only when no thread holds a
// reference, so no thread has a value under the key then.
struct ModuleKeyRelease {
    ~ModuleKeyRelease() {
        if (moduleKeyCreated) pthread_key_delete(moduleKey);
    }
} moduleKeyRelease;

void* Trampoline(void* parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    if (record.module && pthread_setspecific(moduleKey, record.module) != 0) {
        // Without the key the reference stays: the module is then never unloaded, which is safe.
    }
    record.procedure(record.argument);
    return nullptr;
}

// The signals a thread of ours keeps unblocked: those the kernel raises on the thread that caused
// them (a fault of its own), which cannot wait for another thread.
const int kSynchronousSignals[] = {SIGSEGV, SIGBUS, SIGFPE, SIGILL, SIGTRAP, SIGSYS};

}  // namespace

// Our threads leave the host's asynchronous signals (SIGINT, SIGTERM, SIGCHLD, SIGALRM, the
// real-time ones...) to the host's own threads. A new thread inherits the mask of the thread that
// creates it, so the mask is set on the creating thread around pthread_create and restored right
// after: the new thread has it from its first instruction, with no moment in which a signal could
// reach it. The C library keeps its own two real-time signals unblockable whatever is asked.
void* StartThread(ThreadProcedure procedure, void* argument) {
    StartRecord* record = new StartRecord{procedure, argument, ReferenceOwnModule()};
    pthread_t* thread = new pthread_t;
    sigset_t blocked;
    sigfillset(&blocked);
    for (int signal : kSynchronousSignals) sigdelset(&blocked, signal);
    sigset_t previous;
    const bool masked = pthread_sigmask(SIG_SETMASK, &blocked, &previous) == 0;
    const int created = pthread_create(thread, nullptr, &Trampoline, record);
    if (masked) pthread_sigmask(SIG_SETMASK, &previous, nullptr);
    if (created != 0) {
        if (record->module) dlclose(record->module);
        delete record;
        delete thread;
        return nullptr;
    }
    return thread;
}

void JoinThread(void* thread) { pthread_join(*static_cast<pthread_t*>(thread), nullptr); }

void ReleaseThread(void* thread) { delete static_cast<pthread_t*>(thread); }

void DetachThread(void* thread) {
    pthread_detach(*static_cast<pthread_t*>(thread));
    delete static_cast<pthread_t*>(thread);
}

bool IsCurrentThread(void* thread) { return pthread_equal(*static_cast<pthread_t*>(thread), pthread_self()) != 0; }

}  // namespace threadplatform
