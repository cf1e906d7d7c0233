#include "core/RestorationEngine.h"

#include "core/Global.h"
#include "core/Restoration.h"
#include "primitives/Vec.h"

namespace DSP {

RestorationEngine::RestorationEngine(Plugin& plugin)
    : TransformBase(plugin), restoration(std::make_unique<Restoration::Restoration>(plugin)) {
    GetGlobal().SetBoolParam(Global::delayCompensationParam, true);
}

RestorationEngine::~RestorationEngine() = default;

int RestorationEngine::Run(int frames, float* inL, float* inR, float* outL, float* outR,
                           int zipper) {
    VecCopy(frames, inL, outL);
    if (inR != nullptr) VecCopy(frames, inR, outR);
    if (restoration->GetBypass()) return frames;
    restoration->ProcessStream(SampleRate(), BlockTime(), zipper, EditorFlag(), frames, outL,
                               inR != nullptr ? outR : nullptr, false);
    return frames;
}

} // namespace DSP
