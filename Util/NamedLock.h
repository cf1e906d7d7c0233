#pragma once
// The system's only lock: a re-entrant critical section with a readable name.

#include "Util/SharedString.h"
#include "platform/Win32.h"

class NamedLock {
public:
    explicit NamedLock(const SharedString& name);
    NamedLock(const NamedLock&) = delete;
    NamedLock& operator=(const NamedLock&) = delete;
    ~NamedLock();

    void Enter();
    void Leave();
    const SharedString& Name() const { return name; }

private:
    SharedString name;
    CRITICAL_SECTION section;
};

// Holds a NamedLock for the lifetime of a scope.
class LockHolder {
public:
    explicit LockHolder(NamedLock& lock) : lock(lock) { lock.Enter(); }
    LockHolder(const LockHolder&) = delete;
    LockHolder& operator=(const LockHolder&) = delete;
    ~LockHolder() { lock.Leave(); }

private:
    NamedLock& lock;
};
