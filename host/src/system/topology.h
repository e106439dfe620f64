#pragma once

#include <string>

#include "system/system_record.h"

namespace quorlind::bench {

// Packages, cores, SMT, NUMA nodes and data caches of the whole machine, not
// only the processors this process may use. hwloc on Linux,
// GetLogicalProcessorInformationEx on Windows. Where a cache level's caches
// differ in size (hybrid processors) the largest is given, with the count of
// all of that level.
Topology read_topology();

}  // namespace quorlind::bench
