#pragma once

#include <optional>

#include "system/system_record.h"

// What the operating system tells of the machine: one implementation per
// operating system, in linux/ and win32/.
namespace quorlind::bench::os {

// Fills in the logical processors, the processor's name, the OS line and
// identity, host name, topology, clocks, power settings and the load.
void describe(SystemRecord& system);

std::optional<LoadAverage> read_load_average();

}  // namespace quorlind::bench::os
