#pragma once
// What a signal would have gone on to be after its last frame, for the stages that look
// ahead past the end of a file: an autoregressive model of the last stretch of each
// channel, run forwards from it. A file that ends in the middle of a note then ends
// without the step into silence that the declicker would take for a click.

#include <random>
#include <vector>

class Continuation {
public:
    // Buffers for `channels` channels and blocks of up to `maxFrames` frames, all
    // allocated here.
    Continuation(int channels, int maxFrames);

    // Keeps the last frames of the signal; non-finite samples count as silence.
    void Remember(int frames, const float* left, const float* right);
    // The next `frames` frames (at most maxFrames) after all remembered so far; the
    // first call fits the model to the last stretch.
    void Continue(int frames, float* left, float* right);

private:
    struct Channel {
        std::vector<float> history; // the last historyFrames samples, oldest first
        std::vector<float> coefficients;
        double excitation = 0.0;
    };

    void Fit(Channel& channel);
    double ResidualLevel(const Channel& channel) const;
    void Predict(Channel& channel, int frames, float* out);

    std::vector<Channel> channels;
    bool fitted = false;
    // Burg's method's prediction errors and the model it builds.
    std::vector<double> forward, backward, model;
    std::mt19937 random;
    std::normal_distribution<double> noise;
};
