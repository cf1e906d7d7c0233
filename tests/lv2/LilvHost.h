#pragma once
// A minimal LV2 host on lilv, as Ardour or Carla would load the plug-in: the world from
// LV2_PATH, a URID map, one instance with its ports connected to buffers owned here.

#include <lilv/lilv.h>
#include <lv2/urid/urid.h>

#include <map>
#include <string>
#include <vector>

class LilvHost {
public:
    LilvHost() : world(lilv_world_new()) { lilv_world_load_all(world); }
    ~LilvHost() { lilv_world_free(world); }
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
    // The latency the plug-in reports with its present settings, after a run of no frames.
    std::size_t Latency() {
        lilv_instance_run(instance, 0);
        return std::size_t(controls.at("latency"));
    }
    // Runs `frames` frames of each channel (planar, from `at`) into the output buffers.
    void Run(const std::vector<std::vector<float>>& in, std::size_t at, std::uint32_t frames,
             std::vector<std::vector<float>>& out);
    LilvInstance* Instance() { return instance; }

private:
    // The largest block the tests hand over.
    static constexpr std::size_t maxBlock = 8192;

    const LilvPlugin* plugin;
    LilvInstance* instance;
    std::map<std::string, float> controls;
    std::vector<std::vector<float>> audioIn, audioOut;
};
