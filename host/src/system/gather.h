#pragma once

#include "system/system_record.h"

namespace quorlind::bench {

// The system record of this machine, with everything but the library's own
// fields (the caller asks the library for those). Called just before the
// first run: it reads the start time, the load and the first effective clock.
// Takes a few milliseconds.
SystemRecord gather_system_record();

// After the last run: the second effective clock and load readings.
void finish_system_record(SystemRecord& system);

}  // namespace quorlind::bench
