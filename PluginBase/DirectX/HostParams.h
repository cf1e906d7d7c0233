#pragma once
// The host's view of the automatable parameters: one table, built once, that maps each
// host index to a (component, family, index) of the component model, and the media-
// parameter operations over it. Values cross as MP_DATA floats; bools are 0 or 1.

#include "core/ParamRecords.h"
#include "core/Plugin.h"
#include "platform/DirectShow.h"

#include <cstdint>
#include <optional>
#include <vector>

namespace DSP {
class Component;
}

namespace DX {

struct HostParam {
    DSP::ParamFamily family;
    DSP::Component* component;
    std::uint32_t index;
};

class HostParamTable {
public:
    // Takes every automatable float, then bool, then unsigned parameter of each component
    // in list order, and binds each to its position in the table.
    explicit HostParamTable(const std::vector<DSP::Component*>& components);

    DWORD Count() const { return DWORD(entries.size()); }

    // E_INVALIDARG for indices beyond the table or the host labels.
    HRESULT Describe(DWORD hostIndex, MP_PARAMINFO& info) const;
    // A task-memory block: label, units and, for enumerations, each value's label, every
    // one terminated, then one more terminator.
    HRESULT Text(DWORD hostIndex, WCHAR** text) const;
    HRESULT Get(DWORD hostIndex, MP_DATA& value) const;
    // Bools switch on from 0.5; unsigned values round half away from zero.
    HRESULT Set(DWORD hostIndex, MP_DATA value) const;
    // Both recolour the parameter's highlight to `colour` and say whether it changed.
    HRESULT AddEnvelope(DWORD hostIndex, DWORD count, const MP_ENVELOPE_SEGMENT* segments,
                        std::int32_t colour, bool& highlightChanged) const;
    // A parameter left without envelope loses its highlight, unless `colour` is none.
    HRESULT FlushEnvelope(DWORD hostIndex, REFERENCE_TIME start, REFERENCE_TIME end,
                          std::int32_t colour, bool& highlightChanged) const;

private:
    const HostParam* Find(DWORD hostIndex) const;
    const HostParam* FindLabelled(DWORD hostIndex) const;

    std::vector<HostParam> entries;
};

// The host index of a parameter the table bound; none for the others.
std::optional<DWORD> BoundHostIndex(const DSP::Component& component, DSP::ParamFamily family,
                                    std::uint32_t index);
// A user holds the parameter's control: its changes are inside a capture already.
bool IsCaptureHeld(const DSP::Component& component, DSP::ParamFamily family, std::uint32_t index);
MP_DATA ToHostValue(const ParamValue& value);

} // namespace DX
