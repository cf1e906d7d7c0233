#include "Util/NamedLock.h"

NamedLock::NamedLock(const SharedString& name) : name(name) { InitializeCriticalSection(&section); }

NamedLock::~NamedLock() { DeleteCriticalSection(&section); }

void NamedLock::Enter() { EnterCriticalSection(&section); }

void NamedLock::Leave() { LeaveCriticalSection(&section); }
