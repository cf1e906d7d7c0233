#pragma once
// The filter locks: re-entrant for the thread that holds them, like Win32 critical
// sections, and held for a scope with CAutoLock.

#include <mutex>

class CCritSec {
public:
    void Lock() { mutex.lock(); }
    void Unlock() { mutex.unlock(); }

private:
    std::recursive_mutex mutex;
};

class CAutoLock {
public:
    explicit CAutoLock(CCritSec* lock) : lock(lock) { lock->Lock(); }
    CAutoLock(const CAutoLock&) = delete;
    CAutoLock& operator=(const CAutoLock&) = delete;
    ~CAutoLock() { lock->Unlock(); }

private:
    CCritSec* lock;
};
