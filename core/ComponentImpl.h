#pragma once
// The parameter operations of Component, implemented once over the records of the
// concrete component T. T derives from ComponentImpl<T>, builds its records in its
// constructor and hands them to RegisterParams at the end of it.

#include <cstdint>
#include <vector>

#include "core/Component.h"
#include "core/ParamRecords.h"

namespace DSP {

template <class T> class ComponentImpl : public Component {
public:
    using Component::Component;

    std::uint32_t GetNumFloatParams() const override { return Count(floatParams); }
    float GetFloatParam(std::uint32_t i) const override { return Get(floatParams[i]); }
    void SetFloatParam(std::uint32_t i, float value) override { Set(floatParams[i], value); }
    const SharedString& GetFloatParamName(std::uint32_t i) const override {
        return floatParams[i].name;
    }
    const SharedString& GetFloatParamUnits(std::uint32_t i) const override {
        return floatParams[i].units;
    }
    ParamRange<float> GetFloatParamRange(std::uint32_t i) const override {
        return floatParams[i].range;
    }
    float GetFloatParamDefault(std::uint32_t i) const override {
        return floatParams[i].defaultValue;
    }
    std::uint32_t GetFloatParamDisplayCode(std::uint32_t i) const override {
        return floatParams[i].displayCode;
    }
    bool IsFloatParamAutomatable(std::uint32_t i) const override {
        return floatParams[i].automatable;
    }
    std::uint32_t GetFloatParamStorage(std::uint32_t i) const override {
        return floatParams[i].storage;
    }
    std::uint32_t GetFloatParamAuxCode(std::uint32_t i) const override {
        return floatParams[i].auxCode;
    }
    bool GetFloatParamAuxFlag(std::uint32_t i) const override { return floatParams[i].auxFlag; }
    void SetFloatParamAuxFlag(std::uint32_t i, bool flag) override {
        floatParams[i].auxFlag = flag;
    }
    std::int32_t GetFloatParamHighlight(std::uint32_t i) const override {
        return floatParams[i].highlight;
    }
    void SetFloatParamHighlight(std::uint32_t i, std::int32_t colour) override {
        SetHighlight(floatParams[i], colour);
    }
    void SetFloatParamHostBinding(std::uint32_t i, HostBinding binding) override {
        floatParams[i].hostBinding = binding;
    }
    HostBinding GetFloatParamHostBinding(std::uint32_t i) const override {
        return floatParams[i].hostBinding;
    }
    void SetFloatParamEnvelopeHold(std::uint32_t i, bool hold) override {
        floatParams[i].envelopeHold = hold;
    }
    bool GetFloatParamEnvelopeHold(std::uint32_t i) const override {
        return floatParams[i].envelopeHold;
    }

    std::uint32_t GetNumBoolParams() const override { return Count(boolParams); }
    bool GetBoolParam(std::uint32_t i) const override { return Get(boolParams[i]); }
    void SetBoolParam(std::uint32_t i, bool value) override { Set(boolParams[i], value); }
    const SharedString& GetBoolParamName(std::uint32_t i) const override {
        return boolParams[i].name;
    }
    const SharedString& GetBoolParamUnits(std::uint32_t i) const override {
        return boolParams[i].units;
    }
    bool GetBoolParamDefault(std::uint32_t i) const override { return boolParams[i].defaultValue; }
    std::uint32_t GetBoolParamDisplayCode(std::uint32_t i) const override {
        return boolParams[i].displayCode;
    }
    bool IsBoolParamAutomatable(std::uint32_t i) const override {
        return boolParams[i].automatable;
    }
    std::uint32_t GetBoolParamStorage(std::uint32_t i) const override {
        return boolParams[i].storage;
    }
    std::uint32_t GetBoolParamAuxCode(std::uint32_t i) const override {
        return boolParams[i].auxCode;
    }
    std::int32_t GetBoolParamHighlight(std::uint32_t i) const override {
        return boolParams[i].highlight;
    }
    void SetBoolParamHighlight(std::uint32_t i, std::int32_t colour) override {
        SetHighlight(boolParams[i], colour);
    }
    void SetBoolParamHostBinding(std::uint32_t i, HostBinding binding) override {
        boolParams[i].hostBinding = binding;
    }
    HostBinding GetBoolParamHostBinding(std::uint32_t i) const override {
        return boolParams[i].hostBinding;
    }
    bool HasBoolParamLabels(std::uint32_t i) const override {
        return boolParams[i].labels.size() == 2;
    }
    const std::vector<SharedString>& GetBoolParamLabels(std::uint32_t i) const override {
        return boolParams[i].labels;
    }
    void SetBoolParamEnvelopeHold(std::uint32_t i, bool hold) override {
        boolParams[i].envelopeHold = hold;
    }
    bool GetBoolParamEnvelopeHold(std::uint32_t i) const override {
        return boolParams[i].envelopeHold;
    }

    std::uint32_t GetNumUIntParams() const override { return Count(uintParams); }
    std::uint32_t GetUIntParam(std::uint32_t i) const override { return Get(uintParams[i]); }
    void SetUIntParam(std::uint32_t i, std::uint32_t value) override { Set(uintParams[i], value); }
    const SharedString& GetUIntParamName(std::uint32_t i) const override {
        return uintParams[i].name;
    }
    const SharedString& GetUIntParamUnits(std::uint32_t i) const override {
        return uintParams[i].units;
    }
    ParamRange<std::uint32_t> GetUIntParamRange(std::uint32_t i) const override {
        return uintParams[i].range;
    }
    std::uint32_t GetUIntParamDefault(std::uint32_t i) const override {
        return uintParams[i].defaultValue;
    }
    std::uint32_t GetUIntParamDisplayCode(std::uint32_t i) const override {
        return uintParams[i].displayCode;
    }
    bool IsUIntParamAutomatable(std::uint32_t i) const override {
        return uintParams[i].automatable;
    }
    std::uint32_t GetUIntParamStorage(std::uint32_t i) const override {
        return uintParams[i].storage;
    }
    std::uint32_t GetUIntParamAuxCode(std::uint32_t i) const override {
        return uintParams[i].auxCode;
    }
    bool IsUIntParamEnumerated(std::uint32_t i) const override {
        const auto& record = uintParams[i];
        return record.labels.size() == std::size_t(record.range.maximum - record.range.minimum) + 1;
    }
    const std::vector<SharedString>& GetUIntParamLabels(std::uint32_t i) const override {
        return uintParams[i].labels;
    }
    std::int32_t GetUIntParamHighlight(std::uint32_t i) const override {
        return uintParams[i].highlight;
    }
    void SetUIntParamHighlight(std::uint32_t i, std::int32_t colour) override {
        SetHighlight(uintParams[i], colour);
    }
    void SetUIntParamHostBinding(std::uint32_t i, HostBinding binding) override {
        uintParams[i].hostBinding = binding;
    }
    HostBinding GetUIntParamHostBinding(std::uint32_t i) const override {
        return uintParams[i].hostBinding;
    }
    void SetUIntParamEnvelopeHold(std::uint32_t i, bool hold) override {
        uintParams[i].envelopeHold = hold;
    }
    bool GetUIntParamEnvelopeHold(std::uint32_t i) const override {
        return uintParams[i].envelopeHold;
    }

    std::uint32_t GetNumIntParams() const override { return Count(intParams); }
    std::int32_t GetIntParam(std::uint32_t i) const override { return Get(intParams[i]); }
    void SetIntParam(std::uint32_t i, std::int32_t value) override { Set(intParams[i], value); }
    const SharedString& GetIntParamName(std::uint32_t i) const override {
        return intParams[i].name;
    }
    const SharedString& GetIntParamUnits(std::uint32_t i) const override {
        return intParams[i].units;
    }
    ParamRange<std::int32_t> GetIntParamRange(std::uint32_t i) const override {
        return intParams[i].range;
    }
    std::int32_t GetIntParamDefault(std::uint32_t i) const override {
        return intParams[i].defaultValue;
    }
    std::uint32_t GetIntParamDisplayCode(std::uint32_t i) const override {
        return intParams[i].displayCode;
    }
    bool IsIntParamAutomatable(std::uint32_t i) const override { return intParams[i].automatable; }
    std::uint32_t GetIntParamStorage(std::uint32_t i) const override {
        return intParams[i].storage;
    }
    std::uint32_t GetIntParamAuxCode(std::uint32_t i) const override {
        return intParams[i].auxCode;
    }
    std::int32_t GetIntParamHighlight(std::uint32_t i) const override {
        return intParams[i].highlight;
    }
    void SetIntParamHighlight(std::uint32_t i, std::int32_t colour) override {
        SetHighlight(intParams[i], colour);
    }
    void SetIntParamHostBinding(std::uint32_t i, HostBinding binding) override {
        intParams[i].hostBinding = binding;
    }
    HostBinding GetIntParamHostBinding(std::uint32_t i) const override {
        return intParams[i].hostBinding;
    }
    void SetIntParamEnvelopeHold(std::uint32_t i, bool hold) override {
        intParams[i].envelopeHold = hold;
    }
    bool GetIntParamEnvelopeHold(std::uint32_t i) const override {
        return intParams[i].envelopeHold;
    }

protected:
    // A null vector keeps that family as it is. Registers the component with its owner;
    // registering again starts over with an empty envelope store.
    void RegisterParams(T* concrete, const std::vector<FloatParam<T>>* floats,
                        const std::vector<BoolParam<T>>* bools,
                        const std::vector<UIntParam<T>>* uints,
                        const std::vector<IntParam<T>>* ints) {
        if (floats != nullptr) floatParams = *floats;
        if (bools != nullptr) boolParams = *bools;
        if (uints != nullptr) uintParams = *uints;
        if (ints != nullptr) intParams = *ints;
        object = concrete;
        CompleteRegistration();
    }

private:
    template <class Records> static std::uint32_t Count(const Records& records) {
        return std::uint32_t(records.size());
    }
    template <class Record> auto Get(const Record& record) const {
        return record.getter.Call(*object, record.boundArgs);
    }
    template <class Record, class V> void Set(const Record& record, V value) {
        record.setter.Call(*object, record.boundArgs, value);
    }
    template <class Record> static void SetHighlight(Record& record, std::int32_t colour) {
        if (colour >= 0 && colour <= noHighlight) record.highlight = colour;
    }

    T* object = nullptr;
    std::vector<FloatParam<T>> floatParams;
    std::vector<BoolParam<T>> boolParams;
    std::vector<UIntParam<T>> uintParams;
    std::vector<IntParam<T>> intParams;
};

} // namespace DSP
