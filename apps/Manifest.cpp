#include "apps/Manifest.h"

#include <algorithm>
#include <charconv>
#include <cmath>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <nlohmann/json.hpp>

#include "apps/CliError.h"

namespace {

constexpr std::string_view partPrefix = "manifest.";
constexpr std::string_view partSuffix = ".jsonl";

const char* StatusName(FileStatus status) {
    switch (status) {
    case FileStatus::done:
        return "done";
    case FileStatus::failed:
        return "failed";
    case FileStatus::skipped:
        return "skipped";
    }
    return "failed";
}

std::optional<FileStatus> StatusNamed(std::string_view name) {
    for (const auto status : {FileStatus::done, FileStatus::failed, FileStatus::skipped}) {
        if (name == StatusName(status)) return status;
    }
    return std::nullopt;
}

// The shard of a part's file name: 0 for the whole batch's manifest.jsonl, I + 1 for
// manifest.I.jsonl; nothing for any other file.
std::optional<std::size_t> PartOrder(const std::string& name) {
    if (name == "manifest.jsonl") return 0;
    if (!name.starts_with(partPrefix) || !name.ends_with(partSuffix)) return std::nullopt;
    const std::string_view digits(name.data() + partPrefix.size(),
                                  name.size() - partPrefix.size() - partSuffix.size());
    std::size_t index = 0;
    const auto [end, error] = std::from_chars(digits.data(), digits.data() + digits.size(), index);
    if (digits.empty() || error != std::errc() || end != digits.data() + digits.size()) {
        return std::nullopt;
    }
    return index + 1;
}

// Part files of `folder`, the whole batch's first, then by shard.
std::vector<std::filesystem::path> PartFiles(const std::string& folder) {
    std::vector<std::pair<std::size_t, std::filesystem::path>> parts;
    std::error_code error;
    for (const auto& entry : std::filesystem::directory_iterator(folder, error)) {
        const auto order = PartOrder(entry.path().filename().string());
        if (order && entry.is_regular_file()) parts.emplace_back(*order, entry.path());
    }
    if (error) throw CliError(ExitCode::input, "cannot read " + folder + ": " + error.message());
    std::sort(parts.begin(), parts.end());
    std::vector<std::filesystem::path> files;
    for (auto& part : parts)
        files.push_back(std::move(part.second));
    return files;
}

bool Replaces(const ManifestRecord& newer, const ManifestRecord& older) {
    if (newer.finished < older.finished) return false;
    return !(newer.status == FileStatus::skipped && older.status == FileStatus::done);
}

std::string HoursMinutesSeconds(double seconds) {
    const long whole = std::lround(std::max(seconds, 0.0));
    char text[32];
    std::snprintf(text, sizeof text, "%ld:%02ld:%02ld", whole / 3600, whole / 60 % 60, whole % 60);
    return text;
}

} // namespace

std::string ManifestLine(const ManifestRecord& record) {
    nlohmann::json line = {{"input", record.input},
                           {"output", record.output},
                           {"status", StatusName(record.status)},
                           {"seconds", record.seconds},
                           {"audio_seconds", record.audioSeconds},
                           {"finished", record.finished}};
    if (record.status == FileStatus::failed) line["error"] = record.error;
    // Replacing invalid UTF-8 keeps a file name with odd bytes from failing the batch.
    return line.dump(-1, ' ', false, nlohmann::json::error_handler_t::replace);
}

std::optional<ManifestRecord> ParseManifestLine(std::string_view line) {
    const auto json = nlohmann::json::parse(line, nullptr, false);
    if (!json.is_object()) return std::nullopt;
    try {
        const auto status = StatusNamed(json.at("status").get<std::string>());
        if (!status) return std::nullopt;
        ManifestRecord record;
        record.input = json.at("input").get<std::string>();
        record.status = *status;
        record.output = json.value("output", "");
        record.seconds = json.value("seconds", 0.0);
        record.audioSeconds = json.value("audio_seconds", 0.0);
        record.finished = json.value("finished", 0.0);
        record.error = json.value("error", "");
        return record;
    } catch (const nlohmann::json::exception&) {
        return std::nullopt; // a field missing or of the wrong type
    }
}

std::string ManifestPartName(std::size_t index) {
    return std::string(partPrefix) + std::to_string(index) + std::string(partSuffix);
}

ManifestSummary MergeManifest(const std::vector<ManifestRecord>& records) {
    ManifestSummary summary;
    std::map<std::string, const ManifestRecord*> latest;
    for (const auto& record : records) {
        summary.cpuSeconds += record.seconds;
        auto [it, inserted] = latest.try_emplace(record.input, &record);
        if (!inserted && Replaces(record, *it->second)) it->second = &record;
    }
    for (const auto& [input, record] : latest) {
        if (record->status == FileStatus::failed) {
            ++summary.failed;
            summary.failures.push_back(*record);
        } else {
            ++summary.done;
            summary.audioSeconds += record->audioSeconds;
        }
    }
    return summary;
}

ManifestSummary ReadManifest(const std::string& folder) {
    std::vector<ManifestRecord> records;
    std::size_t parts = 0, unreadable = 0;
    for (const auto& file : PartFiles(folder)) {
        std::ifstream in(file);
        if (!in) throw CliError(ExitCode::input, "cannot read " + file.string());
        ++parts;
        for (std::string line; std::getline(in, line);) {
            if (line.empty()) continue;
            auto record = ParseManifestLine(line);
            if (record) {
                records.push_back(std::move(*record));
            } else {
                ++unreadable;
            }
        }
    }
    auto summary = MergeManifest(records);
    summary.parts = parts;
    summary.unreadableLines = unreadable;
    return summary;
}

void PrintManifestSummary(const ManifestSummary& summary, std::ostream& out) {
    char hours[32];
    std::snprintf(hours, sizeof hours, "%.2f", summary.audioSeconds / 3600);
    out << "files done: " << summary.done << " (" << hours << " hours of audio)\n"
        << "files failed: " << summary.failed << "\n";
    for (const auto& failure : summary.failures) {
        out << "  " << failure.input << ": " << failure.error << "\n";
    }
    out << "CPU time: " << HoursMinutesSeconds(summary.cpuSeconds) << "\n";
    if (summary.unreadableLines > 0) {
        out << "manifest lines that hold no record (cut short by a stopped task): "
            << summary.unreadableLines << "\n";
    }
}
