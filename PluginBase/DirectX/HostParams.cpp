#include "PluginBase/DirectX/HostParams.h"

#include "core/Component.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <iterator>
#include <string>
#include <string_view>
#include <variant>

namespace DX {

namespace {

using DSP::Component;
using DSP::EnvelopeHandler;
using DSP::HostBinding;
using DSP::ParamFamily;

// What hosts show; the component's own names are for the editor.
constexpr std::array<const char*, 7> hostLabels{"Reduction Amount",
                                                "Reduction Sensitivity",
                                                "Declick Sensitivity",
                                                "Enable Reduction",
                                                "Enable Declicking",
                                                "Enable declipping",
                                                "Train"};

constexpr MP_CAPS floatCurves =
    MP_CAPS_CURVE_JUMP | MP_CAPS_CURVE_LINEAR | MP_CAPS_CURVE_SQUARE | MP_CAPS_CURVE_INVSQUARE;

// The operations that differ between the three exposed families only by name.
struct FamilyOps {
    std::uint32_t (Component::*count)() const;
    bool (Component::*automatable)(std::uint32_t) const;
    void (Component::*bind)(std::uint32_t, HostBinding);
    HostBinding (Component::*binding)(std::uint32_t) const;
    bool (Component::*hold)(std::uint32_t) const;
    std::int32_t (Component::*highlight)(std::uint32_t) const;
    void (Component::*setHighlight)(std::uint32_t, std::int32_t);
    void (EnvelopeHandler::*add)(std::uint32_t, std::uint32_t, const MP_ENVELOPE_SEGMENT*);
    void (EnvelopeHandler::*flush)(std::uint32_t, std::int64_t, std::int64_t);
    bool (EnvelopeHandler::*has)(std::uint32_t, bool);
};

constexpr std::array<FamilyOps, 3> familyOps{{
    {&Component::GetNumFloatParams, &Component::IsFloatParamAutomatable,
     &Component::SetFloatParamHostBinding, &Component::GetFloatParamHostBinding,
     &Component::GetFloatParamEnvelopeHold, &Component::GetFloatParamHighlight,
     &Component::SetFloatParamHighlight, &EnvelopeHandler::AddFloatSegments,
     &EnvelopeHandler::FlushFloatSegments, &EnvelopeHandler::HasFloatEnvelope},
    {&Component::GetNumBoolParams, &Component::IsBoolParamAutomatable,
     &Component::SetBoolParamHostBinding, &Component::GetBoolParamHostBinding,
     &Component::GetBoolParamEnvelopeHold, &Component::GetBoolParamHighlight,
     &Component::SetBoolParamHighlight, &EnvelopeHandler::AddBoolSegments,
     &EnvelopeHandler::FlushBoolSegments, &EnvelopeHandler::HasBoolEnvelope},
    {&Component::GetNumUIntParams, &Component::IsUIntParamAutomatable,
     &Component::SetUIntParamHostBinding, &Component::GetUIntParamHostBinding,
     &Component::GetUIntParamEnvelopeHold, &Component::GetUIntParamHighlight,
     &Component::SetUIntParamHighlight, &EnvelopeHandler::AddUIntSegments,
     &EnvelopeHandler::FlushUIntSegments, &EnvelopeHandler::HasUIntEnvelope},
}};

// Null for the int family, which hosts never see.
const FamilyOps* OpsOf(ParamFamily family) {
    auto code = std::size_t(family);
    return code < familyOps.size() ? &familyOps[code] : nullptr;
}

// Cut to the 31 characters a record field holds, and terminated.
void CopyField(std::string_view text, WCHAR (&field)[32]) {
    std::size_t length = std::min(text.size(), std::size(field) - 1);
    for (std::size_t i = 0; i < length; ++i)
        field[i] = WCHAR(static_cast<unsigned char>(text[i]));
    field[length] = 0;
}

void AppendTerminated(std::wstring& block, std::string_view text) {
    for (char c : text)
        block += WCHAR(static_cast<unsigned char>(c));
    block += WCHAR(0);
}

void DescribeFloat(const Component& c, std::uint32_t i, MP_PARAMINFO& info) {
    info.mpType = MPT_FLOAT;
    info.mopCaps = floatCurves;
    info.mpdMinValue = c.GetFloatParamRange(i).minimum;
    info.mpdMaxValue = c.GetFloatParamRange(i).maximum;
    info.mpdNeutralValue = c.GetFloatParamDefault(i);
    CopyField(c.GetFloatParamUnits(i).Text(), info.szUnitText);
}

void DescribeBool(const Component& c, std::uint32_t i, MP_PARAMINFO& info) {
    info.mpType = MPT_BOOL;
    info.mopCaps = MP_CAPS_CURVE_JUMP;
    info.mpdMinValue = 0.0f;
    info.mpdMaxValue = 1.0f;
    info.mpdNeutralValue = c.GetBoolParamDefault(i) ? 1.0f : 0.0f;
    CopyField(c.GetBoolParamUnits(i).Text(), info.szUnitText);
}

void DescribeUInt(const Component& c, std::uint32_t i, MP_PARAMINFO& info) {
    info.mpType = MPT_ENUM;
    info.mopCaps = MP_CAPS_CURVE_JUMP;
    info.mpdMinValue = MP_DATA(c.GetUIntParamRange(i).minimum);
    info.mpdMaxValue = MP_DATA(c.GetUIntParamRange(i).maximum);
    info.mpdNeutralValue = MP_DATA(c.GetUIntParamDefault(i));
    CopyField(c.GetUIntParamUnits(i).Text(), info.szUnitText);
}

} // namespace

HostParamTable::HostParamTable(const std::vector<DSP::Component*>& components) {
    for (Component* component : components) {
        for (ParamFamily family : {ParamFamily::Float, ParamFamily::Bool, ParamFamily::UInt}) {
            const FamilyOps& ops = *OpsOf(family);
            for (std::uint32_t i = 0; i < (component->*ops.count)(); ++i) {
                if (!(component->*ops.automatable)(i)) continue;
                (component->*ops.bind)(i, HostBinding{DWORD(entries.size()), true});
                entries.push_back({family, component, i});
            }
        }
    }
}

const HostParam* HostParamTable::Find(DWORD hostIndex) const {
    return hostIndex < entries.size() ? &entries[hostIndex] : nullptr;
}

const HostParam* HostParamTable::FindLabelled(DWORD hostIndex) const {
    return hostIndex < hostLabels.size() ? Find(hostIndex) : nullptr;
}

HRESULT HostParamTable::Describe(DWORD hostIndex, MP_PARAMINFO& info) const {
    const HostParam* param = FindLabelled(hostIndex);
    if (param == nullptr) return E_INVALIDARG;
    switch (param->family) {
    case ParamFamily::Float:
        DescribeFloat(*param->component, param->index, info);
        break;
    case ParamFamily::Bool:
        DescribeBool(*param->component, param->index, info);
        break;
    case ParamFamily::UInt:
        DescribeUInt(*param->component, param->index, info);
        break;
    default:
        return E_INVALIDARG;
    }
    CopyField(hostLabels[hostIndex], info.szLabel);
    return S_OK;
}

HRESULT HostParamTable::Text(DWORD hostIndex, WCHAR** text) const {
    if (text == nullptr) return E_POINTER;
    const HostParam* param = FindLabelled(hostIndex);
    if (param == nullptr) return E_INVALIDARG;
    const Component& c = *param->component;
    std::wstring block;
    AppendTerminated(block, hostLabels[hostIndex]);
    if (param->family == ParamFamily::Float) {
        AppendTerminated(block, c.GetFloatParamUnits(param->index).Text());
    } else if (param->family == ParamFamily::Bool) {
        AppendTerminated(block, c.GetBoolParamUnits(param->index).Text());
    } else {
        if (!c.IsUIntParamEnumerated(param->index)) return E_INVALIDARG;
        AppendTerminated(block, c.GetUIntParamUnits(param->index).Text());
        for (const SharedString& label : c.GetUIntParamLabels(param->index))
            AppendTerminated(block, label.Text());
    }
    block += WCHAR(0);
    auto* copy = static_cast<WCHAR*>(CoTaskMemAlloc(block.size() * sizeof(WCHAR)));
    if (copy == nullptr) return E_OUTOFMEMORY;
    std::copy(block.begin(), block.end(), copy);
    *text = copy;
    return S_OK;
}

HRESULT HostParamTable::Get(DWORD hostIndex, MP_DATA& value) const {
    const HostParam* param = Find(hostIndex);
    if (param == nullptr) return E_INVALIDARG;
    const Component& c = *param->component;
    switch (param->family) {
    case ParamFamily::Float:
        value = c.GetFloatParam(param->index);
        return S_OK;
    case ParamFamily::Bool:
        value = c.GetBoolParam(param->index) ? 1.0f : 0.0f;
        return S_OK;
    case ParamFamily::UInt:
        value = MP_DATA(c.GetUIntParam(param->index));
        return S_OK;
    default:
        return E_UNEXPECTED;
    }
}

HRESULT HostParamTable::Set(DWORD hostIndex, MP_DATA value) const {
    const HostParam* param = Find(hostIndex);
    if (param == nullptr) return E_INVALIDARG;
    Component& c = *param->component;
    switch (param->family) {
    case ParamFamily::Float:
        c.SetFloatParam(param->index, value);
        return S_OK;
    case ParamFamily::Bool:
        c.SetBoolParam(param->index, value >= 0.5f);
        return S_OK;
    case ParamFamily::UInt:
        c.SetUIntParam(param->index, std::uint32_t(std::lround(value)));
        return S_OK;
    default:
        return E_UNEXPECTED;
    }
}

HRESULT HostParamTable::AddEnvelope(DWORD hostIndex, DWORD count,
                                    const MP_ENVELOPE_SEGMENT* segments, std::int32_t colour,
                                    bool& highlightChanged) const {
    const HostParam* param = Find(hostIndex);
    if (param == nullptr) return E_INVALIDARG;
    const FamilyOps* ops = OpsOf(param->family);
    if (ops == nullptr) return E_UNEXPECTED;
    Component& c = *param->component;
    (c.Envelopes().*ops->add)(param->index, count, segments);
    if ((c.*ops->highlight)(param->index) != colour) highlightChanged = true;
    (c.*ops->setHighlight)(param->index, colour);
    c.SetHasEnvelopesCache(c.HasEnvelopes());
    return S_OK;
}

HRESULT HostParamTable::FlushEnvelope(DWORD hostIndex, REFERENCE_TIME start, REFERENCE_TIME end,
                                      std::int32_t colour, bool& highlightChanged) const {
    const HostParam* param = Find(hostIndex);
    if (param == nullptr) return E_INVALIDARG;
    const FamilyOps* ops = OpsOf(param->family);
    if (ops == nullptr) return E_UNEXPECTED;
    Component& c = *param->component;
    (c.Envelopes().*ops->flush)(param->index, start, end);
    if (colour != DSP::noHighlight && !(c.Envelopes().*ops->has)(param->index, true)) {
        if ((c.*ops->highlight)(param->index) != DSP::noHighlight) highlightChanged = true;
        (c.*ops->setHighlight)(param->index, DSP::noHighlight);
    }
    c.SetHasEnvelopesCache(c.HasEnvelopes());
    return S_OK;
}

std::optional<DWORD> BoundHostIndex(const DSP::Component& component, DSP::ParamFamily family,
                                    std::uint32_t index) {
    const FamilyOps* ops = OpsOf(family);
    if (ops == nullptr) return std::nullopt;
    HostBinding binding = (component.*ops->binding)(index);
    return binding.bound ? std::optional<DWORD>(binding.hostIndex) : std::nullopt;
}

bool IsCaptureHeld(const DSP::Component& component, DSP::ParamFamily family, std::uint32_t index) {
    const FamilyOps* ops = OpsOf(family);
    return ops != nullptr && (component.*ops->hold)(index);
}

MP_DATA ToHostValue(const ParamValue& value) {
    if (const auto* f = std::get_if<float>(&value)) return *f;
    if (const auto* b = std::get_if<bool>(&value)) return *b ? 1.0f : 0.0f;
    if (const auto* u = std::get_if<std::uint32_t>(&value)) return MP_DATA(*u);
    return MP_DATA(std::get<std::int32_t>(value));
}

} // namespace DX
