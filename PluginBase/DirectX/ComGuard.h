#pragma once
// Nothing thrown inside the filter may cross the COM boundary: every interface method
// that can reach code which throws runs its work through Guarded.

#include "Util/Exception.h"
#include "platform/DirectShow.h"

#include <new>

namespace DX {

// The work's own result, or the failure that stopped it as a result code.
template <class Work> HRESULT Guarded(Work&& work) noexcept {
    try {
        return work();
    } catch (const Exception::Delivery& failure) {
        return HRESULT(failure.Code());
    } catch (const std::bad_alloc&) {
        return E_OUTOFMEMORY;
    } catch (...) {
        return E_FAIL;
    }
}

} // namespace DX
