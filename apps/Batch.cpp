#include "apps/Batch.h"

#include <algorithm>
#include <atomic>
#include <ctime>
#include <fcntl.h>
#include <filesystem>
#include <iostream>
#include <mutex>
#include <thread>
#include <unistd.h>

#include "apps/BatchProgress.h"
#include "apps/CliError.h"
#include "apps/CollectionWalk.h"
#include "apps/HostPlugin.h"
#include "apps/Interrupt.h"
#include "apps/Manifest.h"
#include "apps/Profile.h"
#include "apps/Restorer.h"
#include "apps/SlurmSubmit.h"

namespace fs = std::filesystem;

namespace {

double ThreadCpuSeconds() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return double(now.tv_sec) + double(now.tv_nsec) * 1e-9;
}

// Appends whole lines to a manifest part, one write each, from any thread.
class ManifestWriter {
public:
    explicit ManifestWriter(const std::string& path) : path(path) {
        descriptor = open(path.c_str(), O_WRONLY | O_CREAT | O_APPEND | O_CLOEXEC, 0666);
        if (descriptor < 0) throw CliError(ExitCode::output, "cannot write " + path);
    }
    ManifestWriter(const ManifestWriter&) = delete;
    ManifestWriter& operator=(const ManifestWriter&) = delete;
    ~ManifestWriter() { close(descriptor); }

    void Append(const ManifestRecord& record) {
        const std::string line = ManifestLine(record) + "\n";
        const std::lock_guard lock(mutex);
        if (write(descriptor, line.data(), line.size()) != ssize_t(line.size()))
            throw CliError(ExitCode::output, "cannot write " + path);
    }

private:
    std::string path;
    int descriptor = -1;
    std::mutex mutex;
};

// What every file shares, checked once so that a bad profile stops the batch at once
// instead of failing every file.
void CheckSharedInputs(const RestoreOptions& restore) {
    if (restore.profile) {
        HostPlugin plugin;
        LoadProfile(plugin, *restore.profile);
    }
    if (restore.trainFile && HeaderSeconds(*restore.trainFile) <= 0)
        throw CliError(ExitCode::input, "cannot read " + *restore.trainFile);
}

void MakeFolder(const fs::path& folder) {
    std::error_code error;
    fs::create_directories(folder, error);
    if (error || !fs::is_directory(folder))
        throw CliError(ExitCode::output, "cannot create the folder " + folder.string());
}

class BatchRun {
public:
    BatchRun(const BatchOptions& options, std::vector<CollectionItem> items,
             const std::string& manifestPath)
        : options(options), items(std::move(items)), manifest(manifestPath),
          progress(this->items.size(), TotalSeconds(this->items),
                   options.progress || (!options.restore.quiet && isatty(STDERR_FILENO))) {
        // The longest first, so that no thread is left with a long file at the end.
        std::stable_sort(this->items.begin(), this->items.end(),
                         [](const auto& a, const auto& b) { return a.seconds > b.seconds; });
    }

    void Run(unsigned threads) {
        std::vector<std::thread> workers;
        for (unsigned i = 0; i < std::max(1u, threads); ++i)
            workers.emplace_back([this] { Work(); });
        for (std::thread& worker : workers)
            worker.join();
        if (stopReason) throw *stopReason;
    }

    std::size_t Failed() const { return failed; }
    std::size_t Done() const { return done; }
    std::size_t Skipped() const { return skipped; }

private:
    static double TotalSeconds(const std::vector<CollectionItem>& items) {
        double total = 0;
        for (const CollectionItem& item : items)
            total += item.seconds;
        return total;
    }

    void Work() {
        while (!stopped) {
            const std::size_t index = next++;
            if (index >= items.size()) return;
            try {
                Interrupt::CheckPoint();
                Handle(items[index]);
            } catch (const CliError& error) {
                Stop(error);
            }
        }
    }

    void Stop(const CliError& error) {
        const std::lock_guard lock(stopMutex);
        if (!stopReason) stopReason = error;
        stopped = true;
    }

    void Handle(const CollectionItem& item) {
        ManifestRecord record{item.input, item.output, FileStatus::done, 0, item.seconds, 0, ""};
        if (!options.restore.force && fs::exists(fs::symlink_status(item.output))) {
            record.status = FileStatus::skipped;
            ++skipped;
        } else {
            const double cpu = ThreadCpuSeconds();
            record.error = Restore(item);
            record.seconds = ThreadCpuSeconds() - cpu;
            if (!record.error.empty()) record.status = FileStatus::failed;
            ++(record.error.empty() ? done : failed);
            if (!record.error.empty())
                std::fprintf(stderr, "sonavel: %s failed: %s\n", item.input.c_str(),
                             record.error.c_str());
        }
        record.finished = double(std::time(nullptr));
        manifest.Append(record);
        progress.FileEnded(record.status, item.seconds);
    }

    // Why the file failed, or nothing. A signal is not the file's failure: it ends the
    // batch, and the file is missing, not failed.
    std::string Restore(const CollectionItem& item) {
        RestoreOptions restore = options.restore;
        restore.input = item.input;
        restore.output = item.output;
        restore.quiet = true;
        try {
            MakeFolder(fs::path(item.output).parent_path());
            RunRestore(restore);
            return "";
        } catch (const CliError& error) {
            if (error.Code() >= ExitCode::signalBase) throw;
            return error.what();
        } catch (const std::bad_alloc&) {
            return "out of memory";
        } catch (const std::exception& error) {
            return std::string("internal error: ") + error.what();
        }
    }

    const BatchOptions& options;
    std::vector<CollectionItem> items;
    ManifestWriter manifest;
    BatchProgress progress;
    std::atomic<std::size_t> next{0};
    std::atomic<std::size_t> done{0};
    std::atomic<std::size_t> skipped{0};
    std::atomic<std::size_t> failed{0};
    std::atomic<bool> stopped{false};
    std::mutex stopMutex;
    std::optional<CliError> stopReason;
};

std::vector<CollectionItem> ShardOf(const std::vector<CollectionItem>& items, ShardSpec shard) {
    std::vector<ShardInput> inputs;
    for (const CollectionItem& item : items)
        inputs.push_back({item.input, item.seconds});
    const std::vector<std::string> chosen = SelectShard(inputs, shard);
    std::vector<CollectionItem> selected;
    for (const CollectionItem& item : items) {
        if (std::binary_search(chosen.begin(), chosen.end(), item.input)) selected.push_back(item);
    }
    return selected;
}

void ShowStatus(const std::string& folder) {
    const ManifestSummary summary = ReadManifest(folder);
    PrintManifestSummary(summary, std::cout);
    if (summary.failed > 0)
        throw CliError(ExitCode::someFailed, std::to_string(summary.failed) +
                                                 " file(s) of the collection failed");
}

std::string ManifestPath(const BatchOptions& options) {
    const std::string name =
        options.shard ? ManifestPartName(options.shard->index) : "manifest.jsonl";
    return (fs::path(options.outputFolder) / name).string();
}

void RunHere(const BatchOptions& options, std::vector<CollectionItem> items) {
    if (options.shard) items = ShardOf(items, *options.shard);
    CheckSharedInputs(options.restore);
    RemoveStaleTemporaries(items);
    BatchRun run(options, std::move(items), ManifestPath(options));
    run.Run(options.jobs.value_or(std::max(1u, std::thread::hardware_concurrency())));
    std::cout << "batch: " << run.Done() << " restored, " << run.Skipped()
              << " already complete, " << run.Failed() << " failed; manifest "
              << ManifestPath(options) << "\n";
    if (run.Failed() > 0)
        throw CliError(ExitCode::someFailed,
                       std::to_string(run.Failed()) + " file(s) failed; the others are restored");
}

} // namespace

void RunBatch(const BatchOptions& options, const std::vector<std::string>& arguments) {
    if (options.status) return ShowStatus(options.outputFolder);
    std::vector<CollectionItem> items =
        WalkCollection(options.inputs, options.outputFolder, options.extension);
    if (items.empty()) throw CliError(ExitCode::input, "no audio files among the inputs");
    MakeFolder(options.outputFolder);
    if (!options.slurm) return RunHere(options, std::move(items));
    const std::string jobId = SubmitBatch(options, arguments, items.size());
    std::cout << jobId << std::endl;
    if (!options.wait) return;
    WaitForJob(jobId);
    ShowStatus(options.outputFolder);
}
