#pragma once

#include <ostream>

#include "app/options.h"

namespace quorlind::bench {

// --dry-run: the runs a command line would make, in order, each with its
// warm-up and measured time, the wall time they add up to and the files they
// would write. Reads nothing from the library beyond its defaults.
void write_run_preview(std::ostream& out, const Options& options);

}  // namespace quorlind::bench
