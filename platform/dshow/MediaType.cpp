#include "platform/dshow/MediaType.h"

#include <cstring>

namespace {

AM_MEDIA_TYPE EmptyType() {
    AM_MEDIA_TYPE type{};
    type.bFixedSizeSamples = TRUE;
    type.lSampleSize = 1;
    return type;
}

bool SameFormat(const AM_MEDIA_TYPE& a, const AM_MEDIA_TYPE& b) {
    return a.formattype == b.formattype && a.cbFormat == b.cbFormat &&
           (a.cbFormat == 0 || std::memcmp(a.pbFormat, b.pbFormat, a.cbFormat) == 0);
}

} // namespace

void FreeMediaType(AM_MEDIA_TYPE& type) {
    CoTaskMemFree(type.pbFormat);
    type.pbFormat = nullptr;
    type.cbFormat = 0;
    if (type.pUnk != nullptr) type.pUnk->Release();
    type.pUnk = nullptr;
}

void DeleteMediaType(AM_MEDIA_TYPE* type) {
    if (type == nullptr) return;
    FreeMediaType(*type);
    CoTaskMemFree(type);
}

AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source) {
    auto* copy = static_cast<AM_MEDIA_TYPE*>(CoTaskMemAlloc(sizeof(AM_MEDIA_TYPE)));
    if (copy != nullptr && FAILED(CopyMediaType(copy, source))) {
        CoTaskMemFree(copy);
        return nullptr;
    }
    return copy;
}

HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source) {
    *target = *source;
    if (target->pUnk != nullptr) target->pUnk->AddRef();
    if (source->cbFormat == 0) {
        target->pbFormat = nullptr;
        return S_OK;
    }
    target->pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(source->cbFormat));
    if (target->pbFormat == nullptr) {
        target->cbFormat = 0;
        return E_OUTOFMEMORY;
    }
    std::memcpy(target->pbFormat, source->pbFormat, source->cbFormat);
    return S_OK;
}

CMediaType::CMediaType() : AM_MEDIA_TYPE(EmptyType()) {}

CMediaType::CMediaType(const AM_MEDIA_TYPE& type) : AM_MEDIA_TYPE(EmptyType()) {
    Set(type);
}

CMediaType::CMediaType(const CMediaType& other) : AM_MEDIA_TYPE(EmptyType()) {
    Set(other);
}

CMediaType& CMediaType::operator=(const CMediaType& other) {
    Set(other);
    return *this;
}

CMediaType& CMediaType::operator=(const AM_MEDIA_TYPE& type) {
    Set(type);
    return *this;
}

CMediaType::~CMediaType() {
    FreeMediaType(*this);
}

bool CMediaType::operator==(const CMediaType& other) const {
    return majortype == other.majortype && subtype == other.subtype && SameFormat(*this, other);
}

HRESULT CMediaType::Set(const AM_MEDIA_TYPE& type) {
    if (&type == this) return S_OK;
    FreeMediaType(*this);
    return CopyMediaType(this, &type);
}

void CMediaType::InitMediaType() {
    FreeMediaType(*this);
    static_cast<AM_MEDIA_TYPE&>(*this) = EmptyType();
}

BOOL CMediaType::SetFormat(const BYTE* format, ULONG length) {
    BYTE* block = AllocFormatBuffer(length);
    if (block == nullptr && length != 0) return FALSE;
    if (length != 0) std::memcpy(block, format, length);
    return TRUE;
}

BYTE* CMediaType::AllocFormatBuffer(ULONG length) {
    ResetFormatBuffer();
    if (length == 0) return nullptr;
    pbFormat = static_cast<BYTE*>(CoTaskMemAlloc(length));
    if (pbFormat != nullptr) cbFormat = length;
    return pbFormat;
}

void CMediaType::ResetFormatBuffer() {
    CoTaskMemFree(pbFormat);
    pbFormat = nullptr;
    cbFormat = 0;
}

void CMediaType::SetSampleSize(ULONG size) {
    bFixedSizeSamples = size != 0;
    if (size != 0) lSampleSize = size;
}

BOOL CMediaType::IsPartiallySpecified() const {
    return majortype == GUID_NULL || formattype == GUID_NULL;
}

BOOL CMediaType::MatchesPartial(const CMediaType* partial) const {
    auto matches = [](const GUID& wanted, const GUID& have) {
        return wanted == GUID_NULL || wanted == have;
    };
    return matches(partial->majortype, majortype) && matches(partial->subtype, subtype) &&
           (partial->formattype == GUID_NULL || SameFormat(*partial, *this));
}
