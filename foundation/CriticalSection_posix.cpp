#include "CriticalSection.h"

#include <pthread.h>

CCriticalSectionClass::CCriticalSectionClass(bool reentryCheck)
    : section(new pthread_mutex_t), reentryCheck(reentryCheck), entered(false) {
    pthread_mutexattr_t attr;
    pthread_mutexattr_init(&attr);
    pthread_mutexattr_settype(&attr, PTHREAD_MUTEX_RECURSIVE);
    pthread_mutex_init(static_cast<pthread_mutex_t*>(section), &attr);
    pthread_mutexattr_destroy(&attr);
}

CCriticalSectionClass::~CCriticalSectionClass() {
    pthread_mutex_destroy(static_cast<pthread_mutex_t*>(section));
    delete static_cast<pthread_mutex_t*>(section);
    section = nullptr;
}

void CCriticalSectionClass::Enter() {
    pthread_mutex_lock(static_cast<pthread_mutex_t*>(section));
    entered = true;
}

void CCriticalSectionClass::Leave() {
    pthread_mutex_unlock(static_cast<pthread_mutex_t*>(section));
}
