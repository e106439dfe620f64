#include "platform.hpp"

#include <csignal>
#include <cstdlib>
#include <fstream>
#include <string>
#include <thread>

#include <sys/utsname.h>
#include <unistd.h>

namespace quorlind::bench::platform {
namespace {

void (*interrupt_callback)() = nullptr;

void handle_sigint(int) {
    if (interrupt_callback != nullptr) {
        interrupt_callback();
    }
}

std::string trim(std::string text) {
    const auto first = text.find_first_not_of(" \t\r\n");
    const auto last = text.find_last_not_of(" \t\r\n");
    return first == std::string::npos ? std::string() : text.substr(first, last - first + 1);
}

std::string processor_model() {
    std::ifstream cpuinfo("/proc/cpuinfo");
    std::string line;
    while (std::getline(cpuinfo, line)) {
        // "model name" on x86, "Model"/"cpu model" elsewhere.
        if (line.rfind("model name", 0) == 0 || line.rfind("Model", 0) == 0 || line.rfind("cpu model", 0) == 0) {
            const auto colon = line.find(':');
            if (colon != std::string::npos) {
                return trim(line.substr(colon + 1));
            }
        }
    }
    return {};
}

} // namespace

bool stderr_is_terminal() { return isatty(STDERR_FILENO) == 1; }

SystemDescription describe_system() {
    SystemDescription system;
    const long online = sysconf(_SC_NPROCESSORS_ONLN);
    system.logical_processors = online > 0 ? static_cast<unsigned>(online) : std::thread::hardware_concurrency();
    utsname names{};
    if (uname(&names) == 0) {
        system.operating_system = std::string(names.sysname) + " " + names.release + " (" + names.machine + ")";
        system.processor = processor_model();
        if (system.processor.empty()) {
            system.processor = names.machine;
        }
    }
    return system;
}

EnvironmentFacts read_environment_facts() {
    EnvironmentFacts facts;
    for (unsigned cpu = 0;; ++cpu) {
        std::ifstream file("/sys/devices/system/cpu/cpu" + std::to_string(cpu) + "/cpufreq/scaling_governor");
        std::string governor;
        if (!file || !std::getline(file, governor)) {
            break;
        }
        facts.frequency_governors.push_back(trim(governor));
    }
    double load = 0.0;
    if (getloadavg(&load, 1) == 1) {
        facts.load_average = load;
    }
    return facts;
}

void install_interrupt_handler(void (*on_interrupt)()) {
    interrupt_callback = on_interrupt;
    struct sigaction action {};
    action.sa_handler = handle_sigint;
    sigemptyset(&action.sa_mask);
    action.sa_flags = SA_RESTART;
    sigaction(SIGINT, &action, nullptr);
}

} // namespace quorlind::bench::platform
