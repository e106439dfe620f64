#pragma once

#include "lib/engine_admission.h"

namespace quorlind::testing {

// Whether a run holds the engine, seen as the next run would see it: by
// asking for it. An admission taken here is given back at once.
inline bool engine_busy() { return !EngineAdmission::try_acquire(); }

}  // namespace quorlind::testing
