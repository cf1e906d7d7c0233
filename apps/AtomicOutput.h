#pragma once
// An output file that appears whole or not at all. It is written under a temporary
// name in the destination's folder and moved to the destination only when complete,
// never over a file that appeared there meanwhile unless replacing was asked for.
// Until then the destroyer removes it, so an error or an interrupt leaves nothing
// behind. Errors are CliErrors with the output exit code.

#include <optional>
#include <string>

class AtomicOutput {
public:
    // Refuses a destination that exists, unless `replace`, and one that is the same
    // file as `input` (also under another name), then creates the temporary file.
    AtomicOutput(const std::string& path, bool replace,
                 const std::optional<std::string>& input = std::nullopt);
    AtomicOutput(const AtomicOutput&) = delete;
    AtomicOutput& operator=(const AtomicOutput&) = delete;
    ~AtomicOutput();

    // Open for writing; owned by this object.
    int Descriptor() const { return descriptor; }
    const std::string& Path() const { return path; }
    // Writes `bytes` whole to the temporary file.
    void WriteAll(const void* bytes, std::size_t size);
    // Makes the content durable, closes it and moves it into place.
    void Commit();

private:
    [[noreturn]] void Fail(const std::string& what) const;
    void CloseDescriptor();

    std::string path;
    bool replace;
    std::string temporaryPath;
    int descriptor = -1;
    bool committed = false;
};
