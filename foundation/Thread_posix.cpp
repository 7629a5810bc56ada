#include "ThreadPlatform.h"

#include <pthread.h>

namespace threadplatform {

namespace {

struct StartRecord {
    ThreadProcedure procedure;
    void* argument;
};

void* Trampoline(void* parameter) {
    StartRecord record = *static_cast<StartRecord*>(parameter);
    delete static_cast<StartRecord*>(parameter);
    record.procedure(record.argument);
    return nullptr;
}

}  // namespace

void* StartThread(ThreadProcedure procedure, void* argument) {
    StartRecord* record = new StartRecord{procedure, argument};
    pthread_t* thread = new pthread_t;
    if (pthread_create(thread, nullptr, &Trampoline, record) != 0) {
        delete record;
        delete thread;
        return nullptr;
    }
    return thread;
}

void JoinThread(void* thread) { pthread_join(*static_cast<pthread_t*>(thread), nullptr); }

void ReleaseThread(void* thread) { delete static_cast<pthread_t*>(thread); }

}  // namespace threadplatform
