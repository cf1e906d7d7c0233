#pragma once
// The effect as a host drives it, and a synthetic excerpt of music with its damage.

#include <algorithm>
#include <cmath>
#include <random>
#include <vector>

#include "core/Plugin.h"
#include "core/Restoration.h"
#include "core/RestorationEngine.h"
#include "support/Measures.h"
#include "support/Signals.h"

using DSP::Restoration::Restoration;

// Run is public here, so that tests can see the engine's own step without the
// plug-in-wide ones (anti-denormal offset, delay compensation).
class ProbeTransform : public DSP::RestorationEngine {
public:
    using DSP::RestorationEngine::RestorationEngine;
    using DSP::RestorationEngine::Run;
};

class EffectPlugin : public Plugin {
public:
    EffectPlugin() : Plugin(0, 2, [](Plugin& p) { return std::make_unique<ProbeTransform>(p); }) {}
    void OnParameterChanged(ChangePhase, DSP::Component&, std::uint32_t,
                            const ParamValue&) override {}
    // A stereo stream at 44.1 kHz.
    void Start() {
        SetChannels(2, 2);
        StartStreaming(44100);
    }
    ProbeTransform& Transform() { return static_cast<ProbeTransform&>(Engine()); }
    Restoration& Effect() { return Transform().GetRestoration(); }
    void EnableStages(bool declip, bool declick, bool reduction) {
        Effect().SetDeclipEnabled(declip);
        Effect().SetDeclickEnabled(declick);
        Effect().SetReductionEnabled(reduction);
    }
};

struct Audio {
    std::vector<float> left, right;
    std::size_t Frames() const { return left.size(); }
    void Append(const float* l, const float* r, std::size_t n) {
        left.insert(left.end(), l, l + n);
        right.insert(right.end(), r, r + n);
    }
};

// Frames from ... to of `in`, in host buffers of uneven lengths, appended to `out` as
// far as the plug-in produces them. The engine writes into its input, so it gets a copy.
inline void Feed(Plugin& plugin, const Audio& in, std::size_t from, std::size_t to, Audio& out) {
    static const int lengths[] = {1000, 3, 4410, 777};
    for (std::size_t k = 0; from < to; ++k) {
        const std::size_t n = std::min<std::size_t>(std::size_t(lengths[k % 4]), to - from);
        Audio copy{{&in.left[from], &in.left[from] + n}, {&in.right[from], &in.right[from] + n}};
        std::vector<float> l(n), r(n);
        const int made =
            plugin.Process(int(n), copy.left.data(), copy.right.data(), l.data(), r.data());
        out.Append(l.data(), r.data(), std::size_t(made));
        from += n;
    }
}

// End of stream: what the delay compensation still holds back.
inline void Flush(Plugin& plugin, Audio& out) {
    std::vector<float> l, r;
    const int n = plugin.FlushTail(l, &r);
    out.Append(l.data(), r.data(), std::size_t(n));
}

inline Audio RunStream(EffectPlugin& plugin, const Audio& in) {
    Audio out;
    plugin.Start();
    Feed(plugin, in, 0, in.Frames(), out);
    Flush(plugin, out);
    plugin.StopStreaming();
    return out;
}

// A second of hiss with only noise reduction on, "Train" on throughout.
inline void LearnHiss(EffectPlugin& plugin, float hiss, unsigned seed) {
    plugin.EnableStages(false, false, true);
    plugin.Effect().SetTraining(true);
    RunStream(plugin, {WhiteNoise(44100, hiss, seed), WhiteNoise(44100, hiss, seed + 1)});
    plugin.Effect().SetTraining(false);
}

// Notes of five harmonics (one on the right) with a quick attack and an exponential decay,
// a new one every quarter second; the loudest peaks go past full scale.
inline Audio Music(std::size_t frames) {
    const float pitches[] = {220.0f, 277.2f, 329.6f, 440.0f, 392.0f, 293.7f};
    const std::size_t note = 11025;
    Audio music{std::vector<float>(frames), std::vector<float>(frames)};
    for (std::size_t start = 0; start < frames; start += note) {
        const float f0 = pitches[start / note % 6];
        for (std::size_t i = start; i < std::min(frames, start + 2 * note); ++i) {
            const float t = float(i - start) / 44100.0f;
            const float envelope = std::min(1.0f, t / 0.01f) * std::exp(-4.0f * t);
            for (int k = 1; k <= 5; ++k)
                music.left[i] +=
                    0.93f * envelope * std::sin(6.2831853f * f0 * k * t + 0.3f * k) / k;
            music.right[i] += 0.83f * envelope * std::sin(6.2831853f * f0 * t + 1.0f);
        }
    }
    return music;
}

// Hiss, clipping at full scale of the recording, then a click of up to 10 samples every
// 10 to 20 ms from `from` on.
inline Audio Damage(const Audio& clean, std::size_t from, float hiss) {
    Audio damaged = clean;
    std::mt19937 random(5);
    std::uniform_int_distribution<std::size_t> gap(400, 800), width(1, 10);
    std::uniform_real_distribution<float> height(-1.0f, 1.0f);
    unsigned seed = 8;
    for (std::vector<float>* channel : {&damaged.left, &damaged.right}) {
        const std::vector<float> noise = WhiteNoise(channel->size(), hiss, seed++);
        for (std::size_t i = 0; i < channel->size(); ++i)
            (*channel)[i] = std::clamp((*channel)[i] + noise[i], -1.0f, 1.0f);
        for (std::size_t at = from + gap(random); at + 10 < channel->size(); at += gap(random)) {
            for (std::size_t k = width(random); k > 0; --k)
                (*channel)[at + k] += height(random);
        }
    }
    return damaged;
}

// dB of the power of gain * reference over that of (signal - gain * reference), both
// channels, frames from ... end: the signal scaled back by 1 / gain against the reference.
inline double SnrDb(const Audio& reference, const Audio& signal, float gain, std::size_t from) {
    ErrorEnergy energy;
    const std::size_t count = reference.Frames() - from;
    energy.Add(&reference.left[from], &signal.left[from], count, 1.0 / gain);
    energy.Add(&reference.right[from], &signal.right[from], count, 1.0 / gain);
    return energy.SnrDb();
}
