#pragma once

#include <windows.h>

namespace quorlind::bench {

// Documented for CallNtPowerInformation(ProcessorInformation) but in no header.
struct ProcessorPowerInformation {
    ULONG Number;
    ULONG MaxMhz;
    ULONG CurrentMhz;
    ULONG MhzLimit;
    ULONG MaxIdleState;
    ULONG CurrentIdleState;
};

}  // namespace quorlind::bench
