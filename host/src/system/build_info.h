#pragma once

#include "system/system_record.h"

namespace quorlind::bench {

// The compiler and build type of quorlind-bench itself, from the compiler's
// predefined macros and the CMake build type.
BuildInfo tool_build_info();

// The library's, as CMake configured it: the library is built by the same
// project, so this is exact for the library shipped beside the tool.
BuildInfo library_build_info();

}  // namespace quorlind::bench
