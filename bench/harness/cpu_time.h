#pragma once

namespace quorlind::figures {

// Processor time, user and system, used so far by the calling thread and by
// the whole process. The difference over a run of the library is the time
// its workers ran, whatever else the machine was doing meanwhile.
double calling_thread_cpu_seconds();
double process_cpu_seconds();

}  // namespace quorlind::figures
