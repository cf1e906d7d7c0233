// Writes the descriptions of the stereo and mono plug-ins (sonavel.ttl) and their
// presets (presets.ttl) from the effect itself: each control port's name, range and
// default are those of the parameter it drives, as the command line shows them, and
// the "Default" preset holds those defaults.
// Usage: sonavel_lv2_describe BUNDLE_DIR

#include <cstdio>
#include <fstream>
#include <iostream>
#include <string>
#include <utility>
#include <vector>

#include "lv2/Lv2Effect.h"
#include "lv2/Uris.h"

namespace {

constexpr double describeRate = 48000.0;

const char* const prefixes = R"(@prefix doap: <http://usefulinc.com/ns/doap#> .
@prefix lv2: <http://lv2plug.in/ns/lv2core#> .
@prefix rdf: <http://www.w3.org/1999/02/22-rdf-syntax-ns#> .
@prefix rdfs: <http://www.w3.org/2000/01/rdf-schema#> .
@prefix state: <http://lv2plug.in/ns/ext/state#> .
@prefix urid: <http://lv2plug.in/ns/ext/urid#> .
@prefix pset: <http://lv2plug.in/ns/ext/presets#> .
@prefix pprops: <http://lv2plug.in/ns/ext/port-props#> .
@prefix units: <http://lv2plug.in/ns/extensions/units#> .

)";

std::string Number(float value) {
    char text[32];
    std::snprintf(text, sizeof text, "%.6g", double(value));
    std::string s = text;
    if (s.find_first_of(".e") == std::string::npos) s += ".0";
    return s;
}

std::string Quoted(const std::string& text) {
    return "\"" + text + "\"";
}

void AudioPort(std::ostream& out, std::uint32_t index, bool input, const char* symbol,
               const char* name) {
    out << "\t\t[\n\t\t\ta lv2:AudioPort , " << (input ? "lv2:InputPort" : "lv2:OutputPort")
        << " ;\n\t\t\tlv2:index " << index << " ;\n\t\t\tlv2:symbol " << Quoted(symbol)
        << " ;\n\t\t\tlv2:name " << Quoted(name) << " ;\n\t\t]";
}

// The properties of each kind of control port beyond index, symbol and name.
std::string ControlProperties(const Lv2::Effect& effect, std::size_t control) {
    const Lv2::ControlPort& port = Lv2::controlPorts[control];
    if (control == Lv2::Index(Lv2::Control::enabled))
        return "\t\t\tlv2:designation lv2:enabled ;\n\t\t\tlv2:portProperty lv2:toggled ;\n"
               "\t\t\tlv2:default 1 ;\n\t\t\tlv2:minimum 0 ;\n\t\t\tlv2:maximum 1 ;\n";
    if (control == Lv2::Index(Lv2::Control::latency))
        return "\t\t\tlv2:designation lv2:latency ;\n\t\t\tlv2:portProperty lv2:reportsLatency , "
               "lv2:integer ;\n\t\t\tunits:unit units:frame ;\n";
    if (control == Lv2::Index(Lv2::Control::quality))
        return "\t\t\tlv2:portProperty lv2:enumeration , lv2:integer ;\n"
               "\t\t\tlv2:scalePoint [ rdfs:label \"standard\" ; rdf:value 0 ] , "
               "[ rdfs:label \"high\" ; rdf:value 1 ] ;\n"
               "\t\t\tlv2:default 1 ;\n\t\t\tlv2:minimum 0 ;\n\t\t\tlv2:maximum 1 ;\n";
    const Lv2::ParamBinding param(effect, port.param, port.isSwitch);
    std::string text;
    if (port.isSwitch) {
        text += "\t\t\tlv2:portProperty lv2:toggled ;\n";
        if (control == Lv2::Index(Lv2::Control::train))
            text += "\t\t\tlv2:portProperty pprops:notAutomatic ;\n";
        return text + "\t\t\tlv2:default " + (param.Default() > 0.5f ? "1" : "0") +
               " ;\n\t\t\tlv2:minimum 0 ;\n\t\t\tlv2:maximum 1 ;\n";
    }
    return "\t\t\tlv2:default " + Number(param.Default()) + " ;\n\t\t\tlv2:minimum " +
           Number(param.Minimum()) + " ;\n\t\t\tlv2:maximum " + Number(param.Maximum()) + " ;\n";
}

std::string ControlName(std::size_t control) {
    if (control == Lv2::Index(Lv2::Control::enabled)) return "Enabled";
    if (control == Lv2::Index(Lv2::Control::latency)) return "Latency";
    if (control == Lv2::Index(Lv2::Control::quality)) return "Reduction Quality";
    return Lv2::controlPorts[control].param;
}

void Describe(std::ostream& out, std::uint32_t channels, const char* uri, const char* name) {
    const Lv2::Effect effect(channels, describeRate);
    out << "<" << uri << ">\n\ta lv2:Plugin , lv2:UtilityPlugin ;\n\tdoap:name " << Quoted(name)
        << " ;\n\tdoap:license <http://opensource.org/licenses/MIT> ;\n"
        << "\tlv2:project <" SONAVEL_LV2_URI "> ;\n"
        << "\tlv2:optionalFeature urid:map , lv2:isLive ;\n"
        << "\tlv2:extensionData state:interface ;\n\tlv2:port\n";
    const char* const in[] = {"in_l", "in_r"};
    const char* const outs[] = {"out_l", "out_r"};
    const char* const inNames[] = {"Input L", "Input R"};
    const char* const outNames[] = {"Output L", "Output R"};
    std::uint32_t index = 0;
    for (std::uint32_t c = 0; c < channels; ++c, ++index) {
        AudioPort(out, index, true, channels == 2 ? in[c] : "in",
                  channels == 2 ? inNames[c] : "Input");
        out << " ,\n";
    }
    for (std::uint32_t c = 0; c < channels; ++c, ++index) {
        AudioPort(out, index, false, channels == 2 ? outs[c] : "out",
                  channels == 2 ? outNames[c] : "Output");
        out << " ,\n";
    }
    for (std::size_t control = 0; control < Lv2::ControlPortCount(channels); ++control, ++index) {
        const bool output = control == Lv2::Index(Lv2::Control::latency);
        out << "\t\t[\n\t\t\ta lv2:ControlPort , " << (output ? "lv2:OutputPort" : "lv2:InputPort")
            << " ;\n\t\t\tlv2:index " << index << " ;\n\t\t\tlv2:symbol "
            << Quoted(Lv2::controlPorts[control].symbol) << " ;\n\t\t\tlv2:name "
            << Quoted(ControlName(control)) << " ;\n"
            << ControlProperties(effect, control) << "\t\t]";
        out << (control + 1 < Lv2::ControlPortCount(channels) ? " ,\n" : " .\n\n");
    }
}

// A preset: the ports it sets away from their defaults. Presets hold no state, so the
// learnt profile stays as it is.
struct Preset {
    const char* slug;
    const char* label;
    std::vector<std::pair<Lv2::Control, float>> changes;
};

const std::vector<Preset>& Presets() {
    using C = Lv2::Control;
    static const std::vector<Preset> presets{
        {"default", "Default", {}},
        {"tape-hiss",
         "Tape hiss (gentle)",
         {{C::amount, 0.35f}, {C::sensitivity, 0.4f}, {C::declick, 0.0f}, {C::declip, 0.0f}}},
        {"vinyl-heavy",
         "Vinyl (heavy)",
         {{C::amount, 0.75f}, {C::sensitivity, 0.6f}, {C::declickSensitivity, 0.8f}}},
    };
    return presets;
}

float PresetValue(const Lv2::Effect& effect, const Preset& preset, std::size_t control) {
    for (const auto& [port, value] : preset.changes) {
        if (Lv2::Index(port) == control) return value;
    }
    if (control == Lv2::Index(Lv2::Control::enabled) ||
        control == Lv2::Index(Lv2::Control::quality))
        return 1.0f;
    const Lv2::ControlPort& port = Lv2::controlPorts[control];
    return Lv2::ParamBinding(effect, port.param, port.isSwitch).Default();
}

void DescribePresets(std::ostream& out, std::uint32_t channels, const char* uri, const char* kind) {
    const Lv2::Effect effect(channels, describeRate);
    for (const Preset& preset : Presets()) {
        out << "<" SONAVEL_LV2_URI "/presets/" << kind << "-" << preset.slug
            << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << uri << "> ;\n\trdfs:label "
            << Quoted(preset.label) << " ;\n\tlv2:port";
        bool first = true;
        for (std::size_t control = 0; control < Lv2::ControlPortCount(channels); ++control) {
            if (control == Lv2::Index(Lv2::Control::latency)) continue;
            out << (first ? " " : " , ") << "[\n\t\tlv2:symbol "
                << Quoted(Lv2::controlPorts[control].symbol) << " ;\n\t\tpset:value "
                << Number(PresetValue(effect, preset, control)) << "\n\t]";
            first = false;
        }
        out << " .\n\n";
    }
}

// The manifest lists the presets so that hosts find them without loading the plug-ins.
void WritePresets(const std::string& path) {
    std::ofstream out(path);
    out << prefixes;
    DescribePresets(out, 2, SONAVEL_LV2_STEREO_URI, "stereo");
    DescribePresets(out, 1, SONAVEL_LV2_MONO_URI, "mono");
}

void ManifestPlugin(std::ostream& out, const char* uri) {
    out << "<" << uri
        << ">\n\ta lv2:Plugin ;\n\tlv2:binary <" SONAVEL_LV2_BINARY
           "> ;\n\trdfs:seeAlso <sonavel.ttl> .\n\n";
}

void ManifestPresets(std::ostream& out, const char* uri, const char* kind) {
    for (const Preset& preset : Presets()) {
        out << "<" SONAVEL_LV2_URI "/presets/" << kind << "-" << preset.slug
            << ">\n\ta pset:Preset ;\n\tlv2:appliesTo <" << uri
            << "> ;\n\trdfs:seeAlso <presets.ttl> .\n\n";
    }
}

void WriteManifest(const std::string& path) {
    std::ofstream out(path);
    out << prefixes;
    ManifestPlugin(out, SONAVEL_LV2_STEREO_URI);
    ManifestPlugin(out, SONAVEL_LV2_MONO_URI);
    ManifestPresets(out, SONAVEL_LV2_STEREO_URI, "stereo");
    ManifestPresets(out, SONAVEL_LV2_MONO_URI, "mono");
}

} // namespace

int main(int argc, char** argv) {
    if (argc != 2) {
        std::cerr << "usage: sonavel_lv2_describe BUNDLE_DIR\n";
        return 2;
    }
    const std::string dir = argv[1];
    {
        std::ofstream out(dir + "/sonavel.ttl");
        out << prefixes;
        out << "<" SONAVEL_LV2_URI ">\n\ta doap:Project ;\n\tdoap:name \"Quillon Sonavel\" .\n\n";
        Describe(out, 2, SONAVEL_LV2_STEREO_URI, "Quillon Sonavel");
        Describe(out, 1, SONAVEL_LV2_MONO_URI, "Quillon Sonavel (mono)");
    }
    WritePresets(dir + "/presets.ttl");
    WriteManifest(dir + "/manifest.ttl");
    return 0;
}
