#pragma once
// The effect's audio engine: the plug-in-wide steps of the base, then the restoration
// component on every block that "Restoration Bypass" lets through.

#include <memory>

#include "core/TransformBase.h"

namespace DSP {

namespace Restoration {
class Restoration;
}

class RestorationEngine : public TransformBase {
public:
    // Registers the restoration component after the global ones and switches delay
    // compensation on, so that a new plug-in's output lines up with its input.
    explicit RestorationEngine(Plugin& plugin);
    ~RestorationEngine() override;

    Restoration::Restoration& GetRestoration() { return *restoration; }

protected:
    // Copies the input to the output and restores it there in place. A bypassed block
    // leaves the stages untouched: their histories do not advance.
    int Run(int frames, float* inL, float* inR, float* outL, float* outR, int zipper) override;

private:
    std::unique_ptr<Restoration::Restoration> restoration;
};

} // namespace DSP
