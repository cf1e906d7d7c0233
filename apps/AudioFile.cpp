#include "apps/AudioFile.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>
#include <unistd.h>

#include "apps/AtomicOutput.h"
#include "apps/CliError.h"

// The converters read and write little-endian bytes; libsndfile hands over native ones.
static_assert(std::endian::native == std::endian::little);

namespace {

RawSamples RawOf(int format) {
    switch (format & SF_FORMAT_SUBMASK) {
    case SF_FORMAT_PCM_S8:
    case SF_FORMAT_PCM_U8:
        return RawSamples::Bytes8;
    case SF_FORMAT_PCM_16:
        return RawSamples::Shorts;
    case SF_FORMAT_PCM_24:
        return RawSamples::Ints24;
    case SF_FORMAT_PCM_32:
        return RawSamples::Ints;
    case SF_FORMAT_FLOAT:
        return RawSamples::Floats;
    case SF_FORMAT_DOUBLE:
        return RawSamples::Doubles;
    default:
        return RawSamples::Encoded;
    }
}

// libsndfile widens 8-bit samples to 16 bits and 24-bit ones to 32 when it reads
// them, left-justified; as 16- and 32-bit PCM they convert to the same floats.
SampleConverter ReadingConverter(RawSamples raw, int channels) {
    const auto ch = std::uint16_t(channels);
    switch (raw) {
    case RawSamples::Bytes8:
    case RawSamples::Shorts:
        return *SampleConverter::Create(SampleConverter::pcmFormat, 16, ch);
    case RawSamples::Ints24:
    case RawSamples::Ints:
        return *SampleConverter::Create(SampleConverter::pcmFormat, 32, ch);
    case RawSamples::Doubles:
        return *SampleConverter::Create(SampleConverter::floatFormat, 64, ch);
    default:
        return *SampleConverter::Create(SampleConverter::floatFormat, 32, ch);
    }
}

SampleConverter WritingConverter(RawSamples raw, int channels) {
    const auto ch = std::uint16_t(channels);
    switch (raw) {
    case RawSamples::Bytes8:
        return *SampleConverter::Create(SampleConverter::pcmFormat, 8, ch);
    case RawSamples::Ints24:
        return *SampleConverter::Create(SampleConverter::pcmFormat, 24, ch);
    default:
        return ReadingConverter(raw, channels);
    }
}

// Room for `count` values, seen as the bytes the converters work on.
template <class T> std::uint8_t* BytesOf(std::vector<T>& buffer, std::size_t count) {
    if (buffer.size() < count) buffer.resize(count);
    return reinterpret_cast<std::uint8_t*>(buffer.data());
}

struct Container {
    std::string_view extension;
    int major;
};

constexpr std::array<Container, 13> containers{{
    {"wav", SF_FORMAT_WAV},
    {"wave", SF_FORMAT_WAV},
    {"rf64", SF_FORMAT_RF64},
    {"w64", SF_FORMAT_W64},
    {"aif", SF_FORMAT_AIFF},
    {"aiff", SF_FORMAT_AIFF},
    {"aifc", SF_FORMAT_AIFF},
    {"flac", SF_FORMAT_FLAC},
    {"ogg", SF_FORMAT_OGG},
    {"oga", SF_FORMAT_OGG},
    {"caf", SF_FORMAT_CAF},
    {"au", SF_FORMAT_AU},
    {"snd", SF_FORMAT_AU},
}};

int SubtypeOf(SampleFormat format) {
    switch (format) {
    case SampleFormat::Pcm16:
        return SF_FORMAT_PCM_16;
    case SampleFormat::Pcm24:
        return SF_FORMAT_PCM_24;
    case SampleFormat::Pcm32:
        return SF_FORMAT_PCM_32;
    case SampleFormat::Float:
        return SF_FORMAT_FLOAT;
    case SampleFormat::Double:
        return SF_FORMAT_DOUBLE;
    }
    return SF_FORMAT_PCM_16;
}

std::string_view NameOf(SampleFormat format) {
    const auto entry = std::find_if(sampleFormatNames.begin(), sampleFormatNames.end(),
                                    [&](const SampleFormatName& e) { return e.format == format; });
    return entry->name;
}

int ContainerFor(const std::string& path, int inputFormat) {
    const std::size_t dot = path.rfind('.');
    std::string extension = dot == std::string::npos ? "" : path.substr(dot + 1);
    std::transform(extension.begin(), extension.end(), extension.begin(),
                   [](unsigned char c) { return char(std::tolower(c)); });
    const auto entry = std::find_if(containers.begin(), containers.end(),
                                    [&](const Container& c) { return c.extension == extension; });
    if (entry == containers.end())
        throw CliError(ExitCode::usage,
                       path + ": unknown file type (use .wav, .flac, .aiff, .ogg, .w64 or .caf)");
    const int inputMajor = inputFormat & SF_FORMAT_TYPEMASK;
    const bool waveFamily = inputMajor == SF_FORMAT_WAV || inputMajor == SF_FORMAT_WAVEX ||
                            inputMajor == SF_FORMAT_RF64;
    if (entry->major == SF_FORMAT_WAV && waveFamily) return inputMajor;
    return entry->major;
}

// A file that takes what libsndfile writes and keeps only its length, so that the
// encoder's own checks can be asked before any work.
struct NullFile {
    sf_count_t length = 0;
    sf_count_t position = 0;
};

SF_VIRTUAL_IO NullFileIo() {
    SF_VIRTUAL_IO io{};
    io.get_filelen = [](void* f) { return static_cast<NullFile*>(f)->length; };
    io.seek = [](sf_count_t offset, int whence, void* f) {
        NullFile& file = *static_cast<NullFile*>(f);
        const sf_count_t base = whence == SEEK_SET   ? 0
                                : whence == SEEK_CUR ? file.position
                                                     : file.length;
        return file.position = base + offset;
    };
    io.read = [](void*, sf_count_t, void*) { return sf_count_t(0); };
    io.write = [](const void*, sf_count_t count, void* f) {
        NullFile& file = *static_cast<NullFile*>(f);
        file.position += count;
        file.length = std::max(file.length, file.position);
        return count;
    };
    io.tell = [](void* f) { return static_cast<NullFile*>(f)->position; };
    return io;
}

// Whether libsndfile can write this format, channel count and rate: its format check,
// then an encoder opened on a file that goes nowhere, since some containers only
// refuse a rate when the encoder starts.
bool Holds(int format, int channels, std::uint32_t rate) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = int(rate);
    if (sf_format_check(&info) == 0) return false;
    SF_VIRTUAL_IO io = NullFileIo();
    NullFile sink;
    SNDFILE* file = sf_open_virtual(&io, SFM_WRITE, &info, &sink);
    if (file == nullptr) return false;
    sf_close(file);
    return true;
}

std::uint32_t Little32(const unsigned char* bytes) {
    return std::uint32_t(bytes[0]) | std::uint32_t(bytes[1]) << 8 | std::uint32_t(bytes[2]) << 16 |
           std::uint32_t(bytes[3]) << 24;
}

// The frames that a RIFF WAVE file's data chunk announces, from its own header;
// nothing for another container or a header that does not say.
std::optional<std::int64_t> AnnouncedWaveFrames(const std::string& path) {
    std::FILE* file = std::fopen(path.c_str(), "rb");
    if (file == nullptr) return std::nullopt;
    unsigned char header[12];
    std::optional<std::int64_t> frames;
    std::uint32_t blockAlign = 0;
    if (std::fread(header, 1, 12, file) == 12 && std::memcmp(header, "RIFF", 4) == 0 &&
        std::memcmp(header + 8, "WAVE", 4) == 0) {
        unsigned char chunk[16];
        while (!frames && std::fread(chunk, 1, 8, file) == 8) {
            const std::uint32_t size = Little32(chunk + 4);
            if (std::memcmp(chunk, "fmt ", 4) == 0 && size >= 16 &&
                std::fread(chunk, 1, 16, file) == 16) {
                blockAlign = std::uint32_t(chunk[12]) | std::uint32_t(chunk[13]) << 8;
                std::fseek(file, long(size + (size & 1)) - 16, SEEK_CUR);
            } else if (std::memcmp(chunk, "data", 4) == 0) {
                // All ones is what a writer that could not come back leaves.
                if (blockAlign > 0 && size != 0xFFFFFFFFu) frames = std::int64_t(size / blockAlign);
                break;
            } else if (std::fseek(file, long(size + (size & 1)), SEEK_CUR) != 0) {
                break;
            }
        }
    }
    std::fclose(file);
    return frames;
}

} // namespace

AudioReader::AudioReader(const std::string& path) : path(path) {
    if (access(path.c_str(), R_OK) != 0)
        throw CliError(ExitCode::input, path + ": " + std::strerror(errno));
    file = sf_open(path.c_str(), SFM_READ, &info);
    if (file == nullptr) throw CliError(ExitCode::input, path + ": " + sf_strerror(nullptr));
    if (info.channels > 2) {
        sf_close(file);
        throw CliError(ExitCode::input, path + " has " + std::to_string(info.channels) +
                                            " channels; sonavel restores mono and stereo only");
    }
    raw = RawOf(info.format);
    converter = ReadingConverter(raw, info.channels);
    const std::optional<std::int64_t> announced = AnnouncedWaveFrames(path);
    missingFrames = announced ? std::max<std::int64_t>(*announced - info.frames, 0) : 0;
}

AudioReader::~AudioReader() {
    sf_close(file);
}

void AudioReader::Seek(std::int64_t frame) {
    if (sf_seek(file, frame, SEEK_SET) < 0)
        throw CliError(ExitCode::input, path + ": cannot seek: " + sf_strerror(file));
}

int AudioReader::Read(int frames, float* left, float* right) {
    const std::size_t samples = std::size_t(frames) * std::size_t(info.channels);
    sf_count_t got = 0;
    std::uint8_t* bytes = nullptr;
    switch (raw) {
    case RawSamples::Bytes8:
    case RawSamples::Shorts:
        bytes = BytesOf(shorts, samples);
        got = sf_readf_short(file, shorts.data(), frames);
        break;
    case RawSamples::Ints24:
    case RawSamples::Ints:
        bytes = BytesOf(ints, samples);
        got = sf_readf_int(file, ints.data(), frames);
        break;
    case RawSamples::Doubles:
        bytes = BytesOf(doubles, samples);
        got = sf_readf_double(file, doubles.data(), frames);
        break;
    default:
        bytes = BytesOf(floats, samples);
        got = sf_readf_float(file, floats.data(), frames);
        break;
    }
    if (sf_error(file) != SF_ERR_NO_ERROR)
        throw CliError(ExitCode::input, path + ": " + sf_strerror(file));
    converter->ToFloat(int(got), bytes, left, right);
    return int(got);
}

AudioWriter::AudioWriter(AtomicOutput& output, int format, int channels, std::uint32_t rate)
    : path(output.Path()), channels(channels), raw(RawOf(format)),
      converter(WritingConverter(raw, channels)) {
    SF_INFO info{};
    info.format = format;
    info.channels = channels;
    info.samplerate = int(rate);
    file = sf_open_fd(output.Descriptor(), SFM_WRITE, &info, SF_FALSE);
    if (file == nullptr) throw CliError(ExitCode::output, path + ": " + sf_strerror(nullptr));
    // Lossy encoders take normalised floats; keep overshoots from wrapping around.
    if (raw == RawSamples::Encoded) sf_command(file, SFC_SET_CLIPPING, nullptr, SF_TRUE);
}

AudioWriter::~AudioWriter() {
    if (file != nullptr) sf_close(file);
}

void AudioWriter::Write(int frames, const float* left, const float* right) {
    errno = 0;
    if (Hand(frames, left, right) != frames) Fail();
}

sf_count_t AudioWriter::Hand(int frames, const float* left, const float* right) {
    const std::size_t samples = std::size_t(frames) * std::size_t(channels);
    switch (raw) {
    case RawSamples::Bytes8: {
        // Unsigned bytes around 128, left-justified into 16 bits as libsndfile takes them.
        converter->FromFloat(frames, left, right, BytesOf(bytes, samples));
        BytesOf(shorts, samples);
        for (std::size_t i = 0; i < samples; ++i)
            shorts[i] = std::int16_t((int(bytes[i]) - 128) * 256);
        return sf_writef_short(file, shorts.data(), frames);
    }
    case RawSamples::Shorts:
        converter->FromFloat(frames, left, right, BytesOf(shorts, samples));
        return sf_writef_short(file, shorts.data(), frames);
    case RawSamples::Ints24: {
        // Three-byte samples, left-justified into 32 bits: libsndfile keeps the top 24.
        converter->FromFloat(frames, left, right, BytesOf(bytes, 3 * samples));
        BytesOf(ints, samples);
        for (std::size_t i = 0; i < samples; ++i) {
            const std::uint8_t* b = &bytes[3 * i];
            ints[i] = std::int32_t(std::uint32_t(b[0]) << 8 | std::uint32_t(b[1]) << 16 |
                                   std::uint32_t(b[2]) << 24);
        }
        return sf_writef_int(file, ints.data(), frames);
    }
    case RawSamples::Ints:
        converter->FromFloat(frames, left, right, BytesOf(ints, samples));
        return sf_writef_int(file, ints.data(), frames);
    case RawSamples::Doubles:
        converter->FromFloat(frames, left, right, BytesOf(doubles, samples));
        return sf_writef_double(file, doubles.data(), frames);
    default:
        converter->FromFloat(frames, left, right, BytesOf(floats, samples));
        return sf_writef_float(file, floats.data(), frames);
    }
}

void AudioWriter::Close() {
    errno = 0;
    SNDFILE* closing = file;
    file = nullptr;
    if (sf_close(closing) != 0) Fail();
}

void AudioWriter::Fail() const {
    const std::string reason = errno != 0 ? std::strerror(errno) : "the file could not be written";
    throw CliError(ExitCode::output, "cannot write " + path + ": " + reason);
}

int ChooseOutputFormat(const std::string& path, int inputFormat, std::optional<SampleFormat> asked,
                       int channels, std::uint32_t rate) {
    const int major = ContainerFor(path, inputFormat);
    const int candidates[] = {inputFormat & SF_FORMAT_SUBMASK, SF_FORMAT_VORBIS, SF_FORMAT_FLOAT,
                              SF_FORMAT_PCM_24, SF_FORMAT_PCM_16};
    const auto held = std::find_if(std::begin(candidates), std::end(candidates), [&](int subtype) {
        return Holds(major | subtype, channels, rate);
    });
    if (held == std::end(candidates))
        throw CliError(ExitCode::usage, path + ": this file type cannot hold " +
                                            std::to_string(channels) + " channels at " +
                                            std::to_string(rate) + " Hz");
    if (!asked) return major | *held;
    if (!Holds(major | SubtypeOf(*asked), channels, rate))
        throw CliError(ExitCode::usage, path + ": this file type cannot hold " +
                                            std::string(NameOf(*asked)) + " samples");
    return major | SubtypeOf(*asked);
}
