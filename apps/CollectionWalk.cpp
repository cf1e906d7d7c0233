#include "apps/CollectionWalk.h"

#include <algorithm>
#include <array>
#include <filesystem>
#include <map>
#include <set>
#include <sndfile.h>

#include "apps/CliError.h"

namespace fs = std::filesystem;

namespace {

// What libsndfile reads, by the extensions such files carry.
bool IsAudioName(const fs::path& path) {
    static const std::array<std::string, 15> extensions = {
        ".wav", ".wave", ".flac", ".ogg", ".oga", ".opus", ".aif",  ".aiff",
        ".aifc", ".au", ".snd", ".caf", ".w64", ".rf64", ".mp3"};
    std::string extension = path.extension().string();
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    return std::find(extensions.begin(), extensions.end(), extension) != extensions.end();
}

bool IsHidden(const fs::path& path) {
    return path.filename().string().starts_with(".");
}

std::string OutputFor(const fs::path& relative, const std::string& outputFolder,
                      const std::optional<std::string>& extension) {
    fs::path output = fs::path(outputFolder) / relative;
    if (extension) output.replace_extension("." + *extension);
    return output.string();
}

bool Inside(const fs::path& path, const fs::path& folder) {
    std::error_code error;
    return fs::exists(folder, error) && fs::equivalent(path, folder, error);
}

void AddTree(const fs::path& root, const std::string& outputFolder,
             const std::optional<std::string>& extension, std::vector<CollectionItem>& items) {
    std::error_code error;
    fs::recursive_directory_iterator walk(root, fs::directory_options::skip_permission_denied,
                                          error);
    if (error) throw CliError(ExitCode::input, "cannot read the folder " + root.string());
    for (; walk != fs::recursive_directory_iterator(); walk.increment(error)) {
        const fs::path& path = walk->path();
        if (IsHidden(path) || (walk->is_directory() && Inside(path, outputFolder))) {
            if (walk->is_directory()) walk.disable_recursion_pending();
            continue;
        }
        if (walk->is_regular_file() && IsAudioName(path))
            items.push_back({path.string(), OutputFor(path.lexically_relative(root), outputFolder,
                                                      extension)});
    }
}

void RefuseSharedOutputs(std::vector<CollectionItem>& items) {
    std::map<std::string, const CollectionItem*> byOutput;
    for (const CollectionItem& item : items) {
        const auto [at, added] = byOutput.emplace(item.output, &item);
        if (!added)
            throw CliError(ExitCode::usage, at->second->input + " and " + item.input +
                                                " would both be restored to " + item.output);
    }
}

// "." + base + ".sonavel-" + six characters, as AtomicOutput names its temporaries.
std::optional<std::string> TemporaryOf(const std::string& name) {
    static const std::string marker = ".sonavel-";
    const std::size_t at = name.rfind(marker);
    if (!name.starts_with(".") || at == std::string::npos || at < 1 ||
        name.size() != at + marker.size() + 6)
        return std::nullopt;
    return name.substr(1, at - 1);
}

} // namespace

double HeaderSeconds(const std::string& path) {
    SF_INFO info{};
    SNDFILE* file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) return 0;
    sf_close(file);
    return info.samplerate > 0 ? double(info.frames) / info.samplerate : 0;
}

std::vector<CollectionItem> WalkCollection(const std::vector<std::string>& inputs,
                                           const std::string& outputFolder,
                                           const std::optional<std::string>& extension) {
    std::vector<CollectionItem> items;
    for (const std::string& input : inputs) {
        std::error_code error;
        const fs::file_status status = fs::status(input, error);
        if (fs::is_directory(status)) {
            AddTree(input, outputFolder, extension, items);
        } else if (fs::exists(status)) {
            items.push_back({input, OutputFor(fs::path(input).filename(), outputFolder, extension)});
        } else {
            throw CliError(ExitCode::input, input + " does not exist");
        }
    }
    std::sort(items.begin(), items.end(),
              [](const auto& a, const auto& b) { return a.input < b.input; });
    RefuseSharedOutputs(items);
    for (CollectionItem& item : items)
        item.seconds = HeaderSeconds(item.input);
    return items;
}

void RemoveStaleTemporaries(const std::vector<CollectionItem>& items) {
    std::map<fs::path, std::set<std::string>> namesByFolder;
    for (const CollectionItem& item : items) {
        const fs::path output(item.output);
        namesByFolder[output.parent_path()].insert(output.filename().string());
    }
    for (const auto& [folder, names] : namesByFolder) {
        std::error_code error;
        for (const auto& entry : fs::directory_iterator(folder.empty() ? "." : folder, error)) {
            const auto base = TemporaryOf(entry.path().filename().string());
            if (base && names.contains(*base)) fs::remove(entry.path(), error);
        }
    }
}
