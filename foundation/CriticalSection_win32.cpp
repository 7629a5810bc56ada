#include "CriticalSection.h"

#include <windows.h>

CCriticalSectionClass::CCriticalSectionClass(bool reentryCheck)
    : section(new CRITICAL_SECTION), reentryCheck(reentryCheck), entered(false) {
    InitializeCriticalSection(static_cast<CRITICAL_SECTION*>(section));
}

CCriticalSectionClass::~CCriticalSectionClass() {
    DeleteCriticalSection(static_cast<CRITICAL_SECTION*>(section));
    delete static_cast<CRITICAL_SECTION*>(section);
    section = nullptr;
}

void CCriticalSectionClass::Enter() {
    EnterCriticalSection(static_cast<CRITICAL_SECTION*>(section));
    entered = true;
}

void CCriticalSectionClass::Leave() {
    LeaveCriticalSection(static_cast<CRITICAL_SECTION*>(section));
}
