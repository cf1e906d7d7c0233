#pragma once
// `sonavel info`: the parameters with their options, ranges and defaults, and the
// latency of each stage and of the whole effect at a sample rate, as a table or as
// one JSON object for scripts.

#include <ostream>

#include "apps/Options.h"

void PrintInfo(const InfoOptions& options, std::ostream& out);
