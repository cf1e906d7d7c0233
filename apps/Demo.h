#pragma once
// `sonavel demo`: makes an example passage, damages it the way a record transfer is
// damaged, restores it with the real plug-in and shows what each stage achieved.

#include <ostream>

#include "apps/Options.h"

void RunDemo(const DemoOptions& options, std::ostream& out);
