#include "apps/Info.h"

#include <charconv>
#include <cmath>
#include <cstdio>
#include <string>
#include <vector>

#include <nlohmann/json.hpp>

#include "apps/HostPlugin.h"
#include "apps/Settings.h"

namespace {

struct ParamRow {
    std::string name;
    std::string option;
    bool isSwitch;
    float minimum;
    float maximum;
    float defaultValue;
};

struct LatencyRow {
    const char* key;
    const char* label;
    std::uint32_t frames;
};

std::string Number(float value) {
    char text[32];
    const auto result = std::to_chars(text, text + sizeof text, value);
    return std::string(text, result.ptr);
}

std::vector<ParamRow> ParamRows(const HostPlugin& plugin) {
    std::vector<ParamRow> rows;
    for (const SliderOption& slider : sliderOptions) {
        const FloatParamRef param(plugin, slider.param);
        rows.push_back({slider.param, std::string(slider.option) + " V", false,
                        param.Range().minimum, param.Range().maximum, param.Default()});
    }
    const auto addSwitch = [&](const char* name, std::string option) {
        rows.push_back({name, std::move(option), true, 0, 1,
                        BoolParamRef(plugin, name).Default() ? 1.0f : 0.0f});
    };
    for (const SwitchOption& option : switchOptions)
        addSwitch(option.param, std::string(option.option));
    addSwitch(ParamName::train, "--train START-END");
    addSwitch(ParamName::bypass, "");
    return rows;
}

// Each stage's share is what switching it on alone adds to the latency of the
// component's block framing, which is there with every stage off.
std::vector<LatencyRow> LatencyRows(HostPlugin& plugin) {
    const char* const reduction = ParamName::enableReduction;
    const char* const declick = ParamName::enableDeclicking;
    const char* const declip = ParamName::enableDeclipping;
    const std::uint32_t framing =
        plugin.LatencyWith({{reduction, false}, {declick, false}, {declip, false}});
    const auto alone = [&](const char* on, const char* off1, const char* off2) {
        return plugin.LatencyWith({{on, true}, {off1, false}, {off2, false}}) - framing;
    };
    return {
        {"framing", "block framing", framing},
        {"declip", "declip", alone(declip, declick, reduction)},
        {"declick", "declick", alone(declick, declip, reduction)},
        {"denoise", "noise reduction", alone(reduction, declip, declick)},
    };
}

// The latencies with one quality of the reducer.
struct QualityLatency {
    const char* quality;
    std::vector<LatencyRow> stages;
    std::uint32_t total;
};

// Standard first, then high, the command line's default, which is left chosen.
std::vector<QualityLatency> QualityLatencies(HostPlugin& plugin) {
    std::vector<QualityLatency> result;
    for (const bool high : {false, true}) {
        plugin.SetHighQuality(high);
        result.push_back({high ? "high" : "standard", LatencyRows(plugin), plugin.LatencyWith({})});
    }
    return result;
}

void PrintTable(std::uint32_t rate, const std::vector<ParamRow>& params,
                const std::vector<QualityLatency>& qualities, std::ostream& out) {
    char line[160];
    std::snprintf(line, sizeof line, "%-30s %-24s %-9s %s\n", "parameter", "option", "range",
                  "default");
    out << line;
    for (const ParamRow& p : params) {
        const std::string range =
            p.isSwitch ? "off/on" : Number(p.minimum) + " to " + Number(p.maximum);
        const std::string value =
            p.isSwitch ? (p.defaultValue != 0 ? "on" : "off") : Number(p.defaultValue);
        std::snprintf(line, sizeof line, "%-30s %-24s %-9s %s\n", p.name.c_str(),
                      p.option.empty() ? "-" : p.option.c_str(), range.c_str(), value.c_str());
        out << line;
    }
    const auto row = [&](const char* label, std::uint32_t frames) {
        std::snprintf(line, sizeof line, "  %-30s %8u %10.2f\n", label, frames,
                      1000.0 * frames / rate);
        out << line;
    };
    for (const QualityLatency& quality : qualities) {
        std::snprintf(line, sizeof line, "\nlatency at %u Hz, --quality %-8s %6s %10s\n", rate,
                      quality.quality, "frames", "ms");
        out << line;
        for (const LatencyRow& stage : quality.stages)
            row(stage.label, stage.frames);
        row("whole effect", quality.total);
    }
}

nlohmann::ordered_json JsonLatencies(const std::vector<LatencyRow>& stages) {
    nlohmann::ordered_json latencies = nlohmann::ordered_json::object();
    for (const LatencyRow& stage : stages)
        latencies[stage.key] = stage.frames;
    return latencies;
}

// A float parameter's value as JSON: whole numbers without a fraction, others as the
// shortest decimal that reads back as the same float.
nlohmann::ordered_json JsonNumber(float value) {
    if (value == std::floor(value)) return std::int64_t(value);
    return std::stod(Number(value));
}

// "stages" and "latency" are those of the default quality (high); "qualities" has both.
void PrintJson(std::uint32_t rate, const std::vector<ParamRow>& params,
               const std::vector<QualityLatency>& qualities, std::ostream& out) {
    nlohmann::ordered_json parameters = nlohmann::ordered_json::array();
    for (const ParamRow& p : params) {
        nlohmann::ordered_json row{{"name", p.name}, {"option", p.option}};
        if (p.isSwitch) {
            row["type"] = "switch";
            row["default"] = p.defaultValue != 0;
        } else {
            row["type"] = "float";
            row["min"] = JsonNumber(p.minimum);
            row["max"] = JsonNumber(p.maximum);
            row["default"] = JsonNumber(p.defaultValue);
        }
        parameters.push_back(std::move(row));
    }
    nlohmann::ordered_json perQuality = nlohmann::ordered_json::object();
    for (const QualityLatency& quality : qualities)
        perQuality[quality.quality] = {{"stages", JsonLatencies(quality.stages)},
                                       {"latency", quality.total}};
    const QualityLatency& chosen = qualities.back();
    const nlohmann::ordered_json info{{"rate", rate},
                                      {"parameters", parameters},
                                      {"stages", JsonLatencies(chosen.stages)},
                                      {"latency", chosen.total},
                                      {"quality", chosen.quality},
                                      {"qualities", perQuality}};
    out << info.dump() << "\n";
}

} // namespace

void PrintInfo(const InfoOptions& options, std::ostream& out) {
    HostPlugin plugin;
    plugin.SetChannels(2, 2);
    plugin.StartStreaming(options.rate);
    const std::vector<ParamRow> params = ParamRows(plugin);
    const std::vector<QualityLatency> qualities = QualityLatencies(plugin);
    plugin.StopStreaming();
    if (options.json) {
        PrintJson(options.rate, params, qualities, out);
    } else {
        PrintTable(options.rate, params, qualities, out);
    }
}
