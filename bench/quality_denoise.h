#pragma once
// Noise-reduction quality on real music: white hiss at -32 dBFS is added to the clean music
// behind a noise-only lead-in, the reducer is trained on the lead-in and then run over
// everything. Prints, for "Reduction Amount" 0.5 and 1.0 (and 1.0 at the highest "Reduction
// Sensitivity"), the signal-to-noise ratio against the clean music before and after (aligned
// for the stage's delay), the gain, and how far the hiss alone is pushed down.

// music: mono samples at full scale +-1.
void EvaluateDenoise(const float* music, int frames, int rate);
