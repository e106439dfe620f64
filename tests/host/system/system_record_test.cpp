// The system record's values and the gatherers that work the same on every
// operating system, on the machine the tests run on. Under Wine these read
// what Wine passes through: CPUID is the real processor's, the topology and
// clocks are what Wine builds from Linux's own files.
#include "system/system_record.h"

#include <chrono>
#include <optional>
#include <string>
#include <utility>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "system/build_info.h"
#include "system/cpu_probe.h"
#include "system/environment_notes.h"
#include "system/gather.h"

namespace quorlind::bench {
namespace {

using ::testing::HasSubstr;

std::chrono::sys_seconds unix_time(std::int64_t seconds) {
    return std::chrono::sys_seconds{std::chrono::seconds{seconds}};
}

TEST(SystemRecord, UtcTimesAreIso8601) {
    EXPECT_EQ(format_utc(unix_time(0)), "1970-01-01T00:00:00Z");
    EXPECT_EQ(format_utc(unix_time(951782400)), "2000-02-29T00:00:00Z");
    EXPECT_EQ(format_utc(unix_time(1709296205)), "2024-03-01T12:30:05Z");
    EXPECT_EQ(format_utc(unix_time(4102444799)), "2099-12-31T23:59:59Z");
}

TEST(SystemRecord, UtcTimesParseOnlyInTheirOneForm) {
    EXPECT_EQ(parse_utc("1970-01-01T00:00:00Z"), unix_time(0));
    EXPECT_EQ(parse_utc("2000-02-29T23:59:59Z"), unix_time(951868799));
    EXPECT_EQ(parse_utc("2038-01-19T03:14:08Z"), unix_time(2147483648LL));
    for (const char* bad : {"", "2023-02-29T00:00:00Z", "1900-02-29T00:00:00Z", "2024-13-01T00:00:00Z",
                            "2024-05-01 12:34:56Z", "2024-05-01T12:34:56+01:00", "2024-05-01T24:00:00Z",
                            "2024-5-01T12:34:56Z", "+024-05-01T12:34:56Z"}) {
        EXPECT_FALSE(parse_utc(bad).has_value()) << bad;
    }
}

TEST(SystemRecord, HypervisorSignaturesGetTheirUsualNames) {
    EXPECT_EQ(hypervisor_name(std::string("KVMKVMKVM\0\0\0", 12)), "KVM");
    EXPECT_EQ(hypervisor_name("Microsoft Hv"), "Microsoft Hyper-V");
    EXPECT_EQ(hypervisor_name("TCGTCGTCGTCG"), "QEMU");
    EXPECT_EQ(hypervisor_name("bhyve bhyve "), "bhyve");
    EXPECT_EQ(hypervisor_name(" NewVisor\x01  "), "NewVisor") << "unknown ones kept, printable and trimmed";
    EXPECT_EQ(hypervisor_name(std::string(12, '\0')), "");
}

TEST(SystemRecord, NotesComeFromTheRecord) {
    SystemRecord system;
    system.power.governors = {"powersave"};
    system.load_before = LoadAverage{2.5, 1.0, 0.5};
    system.hypervisor = {true, "KVM"};
    const EnvironmentFacts facts = environment_facts(system);
    EXPECT_EQ(facts.frequency_governors, system.power.governors);
    EXPECT_EQ(facts.load_average, 2.5);
    EXPECT_EQ(facts.hypervisor, "KVM");

    system.hypervisor = {true, std::nullopt};
    EXPECT_EQ(environment_facts(system).hypervisor, "unknown vendor");
    system.hypervisor = {false, std::nullopt};
    EXPECT_FALSE(environment_facts(system).hypervisor);
}

EnvironmentFacts facts_of(std::vector<std::string> governors, std::optional<double> load,
                          std::optional<std::string> hypervisor) {
    EnvironmentFacts facts;
    facts.frequency_governors = std::move(governors);
    facts.load_average = load;
    facts.hypervisor = std::move(hypervisor);
    return facts;
}

TEST(EnvironmentNotes, WarnAboutGovernorLoadAndVirtualMachines) {
    EXPECT_TRUE(environment_notes(facts_of({"performance", "performance"}, 0.2, std::nullopt)).empty());
    EXPECT_TRUE(environment_notes(facts_of({}, std::nullopt, std::nullopt)).empty());

    const auto governor =
        environment_notes(facts_of({"performance", "powersave", "powersave"}, 0.0, std::nullopt));
    ASSERT_EQ(governor.size(), 1u);
    EXPECT_THAT(governor[0], HasSubstr("'powersave' on 2 of 3"));

    const auto load = environment_notes(facts_of({}, 3.5, std::nullopt));
    ASSERT_EQ(load.size(), 1u);
    EXPECT_THAT(load[0], HasSubstr("3.50"));

    EnvironmentFacts restricted;
    restricted.logical_processors = 16;
    restricted.usable_processors = 16;
    EXPECT_TRUE(environment_notes(restricted).empty()) << "every processor usable";
    restricted.usable_processors = 4;
    const auto affinity = environment_notes(restricted);
    ASSERT_EQ(affinity.size(), 1u);
    EXPECT_THAT(affinity[0], HasSubstr("only 4 of the machine's 16 logical processors"));

    const auto virtual_machine = environment_notes(facts_of({}, std::nullopt, "KVM"));
    ASSERT_EQ(virtual_machine.size(), 1u);
    EXPECT_EQ(virtual_machine[0],
              "running inside a virtual machine (KVM): results vary with the host's load");
}

TEST(SystemRecord, BuildsNameTheirCompiler) {
    const BuildInfo tool = tool_build_info();
    EXPECT_TRUE(tool.compiler);
    EXPECT_TRUE(tool.compiler_version);
    const BuildInfo library = library_build_info();
    EXPECT_EQ(library.compiler, tool.compiler) << "one project, one compiler";
    EXPECT_EQ(library.build_type, tool.build_type);
}

TEST(ThisMachine, EffectiveClockIsPlausibleAndQuick) {
    const auto start = std::chrono::steady_clock::now();
    const auto mhz = measure_effective_clock_mhz();
    const std::chrono::duration<double> took = std::chrono::steady_clock::now() - start;
    ASSERT_TRUE(mhz) << "x86 always has the addition chain";
    // Generous: a loaded, shared or emulated machine may run slowly, but no
    // processor adds at more than 10 GHz or less than 50 MHz.
    EXPECT_GT(*mhz, 50.0);
    EXPECT_LT(*mhz, 10000.0);
    EXPECT_LT(took.count(), 2.0);
}

TEST(ThisMachine, GatheredRecordIsCompleteWhereTheSystemTells) {
    SystemRecord system = gather_system_record();
    finish_system_record(system);
    EXPECT_GE(system.logical_processors, 1u);
    EXPECT_FALSE(system.processor.empty());
    EXPECT_FALSE(system.operating_system.empty());
    ASSERT_TRUE(system.start_time_utc);
    EXPECT_EQ(format_utc(*system.start_time_utc).size(), 20u);
    EXPECT_TRUE(system.monotonic_start_seconds);
    EXPECT_TRUE(system.host_name);
    EXPECT_TRUE(system.os.name);
    EXPECT_TRUE(system.hypervisor.present) << "CPUID always answers the hypervisor bit";
    if (*system.hypervisor.present) {
        EXPECT_TRUE(system.hypervisor.vendor);
    }
    EXPECT_TRUE(system.effective_clock_before_mhz);
    EXPECT_TRUE(system.effective_clock_after_mhz);
    ASSERT_TRUE(system.topology.physical_cores);
    EXPECT_GE(system.logical_processors, *system.topology.physical_cores);
    // Cache sizes are left out: Wine builds them from Linux's sysfs cache
    // files, which virtual machines often lack. The Linux tests check them.
    EXPECT_TRUE(system.library_build.compiler);
}

}  // namespace
}  // namespace quorlind::bench
