#pragma once
// The filter between the platform tests' source and sink, as a host connects it, and an
// in-memory stream for persistence.

#include "PluginBase/DirectX/DXPlugin.h"
#include "tests/platform/GraphTestSupport.h"

#include <algorithm>
#include <cstring>
#include <vector>

namespace FilterTest {

using GraphTest::AudioType;
using GraphTest::BytesOf;
using GraphTest::Com;
using GraphTest::Make;
using FilterGraph = GraphTest::Graph<DXPlugin>;

// A stream in memory that counts its reads; writes stop at `limit` bytes.
class MemoryStream final : public IStream {
public:
    explicit MemoryStream(std::vector<BYTE> bytes = {}) : bytes(std::move(bytes)) {}

    STDMETHODIMP QueryInterface(REFIID, void**) override { return E_NOINTERFACE; }
    STDMETHODIMP_(ULONG) AddRef() override { return 1; }
    STDMETHODIMP_(ULONG) Release() override { return 1; }
    STDMETHODIMP Read(void* into, ULONG size, ULONG* read) override {
        ++reads;
        *read = ULONG(std::min<std::size_t>(size, bytes.size() - position));
        if (*read != 0) std::memcpy(into, bytes.data() + position, *read);
        position += *read;
        return *read == size ? S_OK : S_FALSE;
    }
    STDMETHODIMP Write(const void* from, ULONG size, ULONG* written) override {
        *written = ULONG(std::min<std::size_t>(size, limit - position));
        bytes.resize(std::max(bytes.size(), position + *written));
        std::memcpy(bytes.data() + position, from, *written);
        position += *written;
        return S_OK;
    }
    STDMETHODIMP Seek(LARGE_INTEGER, DWORD, ULARGE_INTEGER*) override { return E_NOTIMPL; }
    STDMETHODIMP SetSize(ULARGE_INTEGER) override { return E_NOTIMPL; }
    STDMETHODIMP CopyTo(IStream*, ULARGE_INTEGER, ULARGE_INTEGER*, ULARGE_INTEGER*) override {
        return E_NOTIMPL;
    }
    STDMETHODIMP Commit(DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Revert() override { return E_NOTIMPL; }
    STDMETHODIMP LockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP UnlockRegion(ULARGE_INTEGER, ULARGE_INTEGER, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Stat(STATSTG*, DWORD) override { return E_NOTIMPL; }
    STDMETHODIMP Clone(IStream**) override { return E_NOTIMPL; }

    std::vector<BYTE> bytes;
    std::size_t position = 0;
    std::size_t limit = SIZE_MAX;
    int reads = 0;
};

} // namespace FilterTest
