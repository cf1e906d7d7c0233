#pragma once
// A name list handed to an MFX host: a title, an exclusive upper bound for the indices,
// and names for some of them in index order. The host owns it once handed out; it
// deletes itself when its last reference goes, whatever became of the filter.

#include "platform/DirectShow.h"
#include "platform/dshow/Unknown.h"

#include <atomic>
#include <map>
#include <string>

class StringMap final : public CBaseObject, public IMfxNameList2 {
public:
    // Starts without references: the creator adds the first one when handing it out.
    StringMap(std::string title, LONG maxIndex);

    // Throws std::bad_alloc when the name cannot be stored.
    void Add(LONG index, std::string name);

    STDMETHODIMP QueryInterface(REFIID riid, void** ppv) override;
    STDMETHODIMP_(ULONG) AddRef() override;
    STDMETHODIMP_(ULONG) Release() override;

    // Texts are cut to the buffer, whose last character is always set to 0.
    STDMETHODIMP GetTitle(LPSTR buffer, LONG size) override;
    STDMETHODIMP GetMaxIndex(LONG* maxIndex) override;
    // An index in range without a name gives an empty text.
    STDMETHODIMP GetName(LONG index, LPSTR buffer, LONG size) override;
    STDMETHODIMP GetCount(LONG* count) override;
    // Positions walk the names in index order; null is past the last one.
    STDMETHODIMP GetFirstPosition(void** position) override;
    STDMETHODIMP GetNext(void** position, LONG* index, LPSTR buffer, LONG size) override;
    // S_FALSE for an index without a name.
    STDMETHODIMP FindName(LONG index, LPSTR buffer, LONG size) override;

private:
    std::atomic<ULONG> references{0};
    std::string title;
    LONG maxIndex;
    std::map<LONG, std::string> names;
};
