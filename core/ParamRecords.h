#pragma once
// Parameter records: everything a component declares about one parameter, plus
// the member functions of the concrete component that read and write its value.
// Values are in the parameter's natural unit; nothing here is normalised.

#include <array>
#include <cstdint>
#include <vector>

#include "Util/SharedString.h"

namespace DSP {

enum class ParamFamily : std::uint32_t { Float = 0, Bool = 1, UInt = 2, Int = 3 };

template <class V> struct ParamRange {
    V minimum;
    V maximum;
};

// Position of a parameter in the host's table, once the host adapter has bound it.
struct HostBinding {
    std::uint32_t hostIndex = 0;
    bool bound = false;
};

// Automation highlight colours run 0..3; this one means "none".
constexpr std::int32_t noHighlight = 4;

// Up to three integers handed to the accessor ahead of the value, so that one member
// function can serve a row of like parameters (a band, a channel).
using BoundArgs = std::array<std::int32_t, 3>;

// The getter of a parameter in one of four forms. The bound forms are tried first,
// one argument before two before three; the plain form is the fallback.
template <class T, class V> struct ParamGetter {
    using Plain = V (T::*)() const;
    using Bound1 = V (T::*)(std::int32_t) const;
    using Bound2 = V (T::*)(std::int32_t, std::int32_t) const;
    using Bound3 = V (T::*)(std::int32_t, std::int32_t, std::int32_t) const;

    ParamGetter() = default;
    ParamGetter(Plain method) : plain(method) {}
    ParamGetter(Bound1 method) : bound1(method) {}
    ParamGetter(Bound2 method) : bound2(method) {}
    ParamGetter(Bound3 method) : bound3(method) {}

    V Call(const T& object, const BoundArgs& args) const {
        if (bound1) return (object.*bound1)(args[0]);
        if (bound2) return (object.*bound2)(args[0], args[1]);
        if (bound3) return (object.*bound3)(args[0], args[1], args[2]);
        return plain ? (object.*plain)() : V{};
    }

    Plain plain = nullptr;
    Bound1 bound1 = nullptr;
    Bound2 bound2 = nullptr;
    Bound3 bound3 = nullptr;
};

template <class T, class V> struct ParamSetter {
    using Plain = void (T::*)(V);
    using Bound1 = void (T::*)(std::int32_t, V);
    using Bound2 = void (T::*)(std::int32_t, std::int32_t, V);
    using Bound3 = void (T::*)(std::int32_t, std::int32_t, std::int32_t, V);

    ParamSetter() = default;
    ParamSetter(Plain method) : plain(method) {}
    ParamSetter(Bound1 method) : bound1(method) {}
    ParamSetter(Bound2 method) : bound2(method) {}
    ParamSetter(Bound3 method) : bound3(method) {}

    void Call(T& object, const BoundArgs& args, V value) const {
        if (bound1) {
            (object.*bound1)(args[0], value);
        } else if (bound2) {
            (object.*bound2)(args[0], args[1], value);
        } else if (bound3) {
            (object.*bound3)(args[0], args[1], args[2], value);
        } else if (plain) {
            (object.*plain)(value);
        }
    }

    Plain plain = nullptr;
    Bound1 bound1 = nullptr;
    Bound2 bound2 = nullptr;
    Bound3 bound3 = nullptr;
};

// The fields every family shares. displayCode and auxCode are kept for the editor;
// storage 0 puts the value into the saved state, any other code keeps it out.
template <class T, class V> struct ParamRecord {
    ParamRecord(const SharedString& name, const SharedString& units, V defaultValue,
                ParamGetter<T, V> getter, ParamSetter<T, V> setter, std::uint32_t displayCode,
                bool automatable, std::uint32_t storage, std::uint32_t auxCode)
        : name(name), units(units), defaultValue(defaultValue), getter(getter), setter(setter),
          displayCode(displayCode), automatable(automatable), storage(storage), auxCode(auxCode) {}

    SharedString name;
    SharedString units;
    V defaultValue;
    ParamGetter<T, V> getter;
    ParamSetter<T, V> setter;
    BoundArgs boundArgs{};
    std::uint32_t displayCode;
    bool automatable;
    std::int32_t highlight = noHighlight;
    // Several renderings of a label, longest first, are separated by '\n'.
    std::vector<SharedString> labels;
    std::uint32_t storage;
    std::uint32_t auxCode;
    HostBinding hostBinding;
    // While set, envelope playback leaves the parameter alone (a user holds the control).
    bool envelopeHold = false;
};

template <class T, class V> struct RangedParamRecord : ParamRecord<T, V> {
    RangedParamRecord(const SharedString& name, const SharedString& units, ParamRange<V> range,
                      V defaultValue, ParamGetter<T, V> getter, ParamSetter<T, V> setter,
                      std::uint32_t displayCode, bool automatable, std::uint32_t storage,
                      std::uint32_t auxCode)
        : ParamRecord<T, V>(name, units, defaultValue, getter, setter, displayCode, automatable,
                            storage, auxCode),
          range(range) {}

    ParamRange<V> range;
};

template <class T> struct FloatParam : RangedParamRecord<T, float> {
    using RangedParamRecord<T, float>::RangedParamRecord;
    bool auxFlag = false;
};

// Labels: first the one for false, then the one for true.
template <class T> struct BoolParam : ParamRecord<T, bool> {
    using ParamRecord<T, bool>::ParamRecord;
};

// Labels, when present, name each value from the minimum upward.
template <class T> struct UIntParam : RangedParamRecord<T, std::uint32_t> {
    using RangedParamRecord<T, std::uint32_t>::RangedParamRecord;
};

template <class T> struct IntParam : RangedParamRecord<T, std::int32_t> {
    using RangedParamRecord<T, std::int32_t>::RangedParamRecord;
};

} // namespace DSP
