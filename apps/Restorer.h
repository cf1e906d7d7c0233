#pragma once
// The two commands that work on files: `restore` runs a file through the effect,
// after learning the noise or loading a profile; `train` learns the noise from a file
// and saves it as a profile, which is the plug-in's saved state.

#include "apps/Options.h"

void RunRestore(const RestoreOptions& options);
void RunTrain(const TrainOptions& options);
