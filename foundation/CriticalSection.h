// The system's one mutual-exclusion primitive and its scoped locker.
#pragma once

// A recursive lock (a Windows critical section, or a recursive pthread mutex natively).
// With the re-entry check off (the only way the system constructs it) Enter and Leave are plain
// lock operations, recursive within one thread.
class CCriticalSectionClass {
public:
    explicit CCriticalSectionClass(bool reentryCheck = false);
    virtual ~CCriticalSectionClass();
    CCriticalSectionClass(const CCriticalSectionClass&) = delete;
    CCriticalSectionClass& operator=(const CCriticalSectionClass&) = delete;

    void Enter();
    void Leave();

private:
    void* section;       // the platform lock object; owned
    bool reentryCheck;   // recorded only: every lock of the system is built with it off
    bool entered;        // set on Enter; written under section
};

// Holds a CCriticalSectionClass for its own lifetime; the only way the system takes a lock.
class CCriticalSectionLocker {
public:
    explicit CCriticalSectionLocker(CCriticalSectionClass& lock) : lock(lock) { lock.Enter(); }
    ~CCriticalSectionLocker() { lock.Leave(); }
    CCriticalSectionLocker(const CCriticalSectionLocker&) = delete;
    CCriticalSectionLocker& operator=(const CCriticalSectionLocker&) = delete;

private:
    CCriticalSectionClass& lock;
};
