#pragma once
// A minimal LV2 host on lilv, as Ardour or Carla would load the plug-in: the world from
// LV2_PATH, a URID map, one instance with its ports connected to buffers owned here.

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <map>
#include <memory>
#include <string>
#include <vector>

class LilvHost {
public:
    LilvHost();
    ~LilvHost();
    const LilvPlugin* Find(const char* uri) const;
    const LV2_Feature* const* Features() const { return features; }
    LV2_URID Urid(const char* uri) { return MapUri(this, uri); }

private:
    static LV2_URID MapUri(LV2_URID_Map_Handle handle, const char* uri);

    LilvWorld* world;
    std::map<std::string, LV2_URID> uris;
    LV2_URID_Map map{this, MapUri};
    LV2_Feature mapFeature{LV2_URID__map, &map};
    const LV2_Feature* features[2]{&mapFeature, nullptr};
};

class PluginRun {
public:
    PluginRun(LilvHost& host, const char* uri, double rate);
    ~PluginRun();

    void Set(const char* symbol, float value) { controls.at(symbol) = value; }
    float Latency() const { return controls.at("latency"); }
    // Runs `frames` frames of each channel (planar, from `at`) into the output buffers.
    void Run(const std::vector<std::vector<float>>& in, std::size_t at, std::uint32_t frames,
             std::vector<std::vector<float>>& out);
    LilvInstance* Instance() { return instance; }
    std::uint32_t Channels() const { return std::uint32_t(audioIn.size()); }

private:
    const LilvPlugin* plugin;
    LilvInstance* instance;
    std::map<std::string, float> controls;
    std::vector<std::vector<float>> audioIn, audioOut;
};
