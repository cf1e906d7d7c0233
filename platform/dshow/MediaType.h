#pragma once
// Media types: the owning CMediaType and the helpers for the task-memory records that
// pins and enumerators hand across COM, which the receiver frees.

#include "platform/DirectShow.h"

// Frees the format block and the pUnk reference of a record and empties them.
void FreeMediaType(AM_MEDIA_TYPE& type);
// FreeMediaType, then frees the record itself (task memory).
void DeleteMediaType(AM_MEDIA_TYPE* type);
// A deep copy in task memory, or null when memory runs out.
AM_MEDIA_TYPE* CreateMediaType(const AM_MEDIA_TYPE* source);
// Deep-copies into a record that owns nothing yet; E_OUTOFMEMORY leaves it without format.
HRESULT CopyMediaType(AM_MEDIA_TYPE* target, const AM_MEDIA_TYPE* source);

// A media type that owns its format block (task memory) and its pUnk reference.
// A new one is empty: null types, fixed-size samples of 1 byte, no format.
class CMediaType : public AM_MEDIA_TYPE {
public:
    CMediaType();
    explicit CMediaType(const AM_MEDIA_TYPE& type);
    CMediaType(const CMediaType& other);
    CMediaType& operator=(const CMediaType& other);
    CMediaType& operator=(const AM_MEDIA_TYPE& type);
    ~CMediaType();

    // Same major type, subtype, format type and format bytes.
    bool operator==(const CMediaType& other) const;

    // Replaces this type with a copy; E_OUTOFMEMORY leaves it without format.
    HRESULT Set(const AM_MEDIA_TYPE& type);
    // Empties the type again.
    void InitMediaType();
    BOOL IsValid() const { return !(majortype == GUID_NULL); }

    const GUID* Type() const { return &majortype; }
    void SetType(const GUID* type) { majortype = *type; }
    const GUID* Subtype() const { return &subtype; }
    void SetSubtype(const GUID* type) { subtype = *type; }
    const GUID* FormatType() const { return &formattype; }
    void SetFormatType(const GUID* type) { formattype = *type; }

    BYTE* Format() const { return pbFormat; }
    ULONG FormatLength() const { return cbFormat; }
    // Copies the block in; FALSE when memory runs out.
    BOOL SetFormat(const BYTE* format, ULONG length);
    // A new, uninitialised format block of `length` bytes, or null.
    BYTE* AllocFormatBuffer(ULONG length);
    void ResetFormatBuffer();

    void SetTemporalCompression(BOOL compressed) { bTemporalCompression = compressed; }
    BOOL IsTemporalCompressed() const { return bTemporalCompression; }
    // 0 means samples of variable size.
    void SetSampleSize(ULONG size);
    ULONG GetSampleSize() const { return bFixedSizeSamples ? lSampleSize : 0; }
    BOOL IsFixedSize() const { return bFixedSizeSamples; }

    // The major type or the format type is left open.
    BOOL IsPartiallySpecified() const;
    // Every part that `partial` specifies is the same here.
    BOOL MatchesPartial(const CMediaType* partial) const;
};
