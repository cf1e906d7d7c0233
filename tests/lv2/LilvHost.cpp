#include "tests/lv2/LilvHost.h"

#include <cmath>
#include <stdexcept>

LV2_URID LilvHost::MapUri(LV2_URID_Map_Handle handle, const char* uri) {
    auto& uris = static_cast<LilvHost*>(handle)->uris;
    return uris.emplace(uri, LV2_URID(uris.size() + 1)).first->second;
}

const LilvPlugin* LilvHost::Find(const char* uri) const {
    LilvNode* node = lilv_new_uri(world, uri);
    const LilvPlugin* plugin = lilv_plugins_get_by_uri(lilv_world_get_all_plugins(world), node);
    lilv_node_free(node);
    if (plugin == nullptr) throw std::runtime_error(std::string("LV2_PATH has no ") + uri);
    return plugin;
}

PluginRun::PluginRun(LilvHost& host, const char* uri, double rate)
    : plugin(host.Find(uri)), instance(lilv_plugin_instantiate(plugin, rate, host.Features())) {
    if (instance == nullptr) throw std::runtime_error("the plug-in did not instantiate");
    const std::uint32_t ports = lilv_plugin_get_num_ports(plugin);
    std::vector<float> defaults(ports);
    lilv_plugin_get_port_ranges_float(plugin, nullptr, nullptr, defaults.data());
    // The buffers of the channel vectors and the map's values stay where they are.
    for (std::uint32_t p = 0; p < ports; ++p) {
        const LilvPort* port = lilv_plugin_get_port_by_index(plugin, p);
        const std::string symbol = lilv_node_as_string(lilv_port_get_symbol(plugin, port));
        float* data = nullptr;
        if (symbol.starts_with("in")) {
            data = audioIn.emplace_back(maxBlock).data();
        } else if (symbol.starts_with("out")) {
            data = audioOut.emplace_back(maxBlock).data();
        } else {
            data = &(controls[symbol] = std::isnan(defaults[p]) ? 0.0f : defaults[p]);
        }
        lilv_instance_connect_port(instance, p, data);
    }
    lilv_instance_activate(instance);
}

PluginRun::~PluginRun() {
    lilv_instance_deactivate(instance);
    lilv_instance_free(instance);
}

void PluginRun::Run(const std::vector<std::vector<float>>& in, std::size_t at, std::uint32_t frames,
                    std::vector<std::vector<float>>& out) {
    for (std::size_t c = 0; c < audioIn.size(); ++c) {
        for (std::uint32_t i = 0; i < frames; ++i)
            audioIn[c][i] = at + i < in[c].size() ? in[c][at + i] : 0.0f;
    }
    lilv_instance_run(instance, frames);
    for (std::size_t c = 0; c < audioOut.size(); ++c)
        out[c].insert(out[c].end(), audioOut[c].begin(), audioOut[c].begin() + frames);
}
