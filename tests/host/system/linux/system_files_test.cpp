// The Linux readers against made-up machines in tests/host/data, and against
// the machine the tests run on.
#include "system/linux/system_files.h"

#include <string>

#include <gtest/gtest.h>

#include "system/os_description.h"
#include "system/topology.h"
#include "system/linux/topology.h"

namespace quorlind::bench {
namespace {

const std::filesystem::path data = QUORLIND_TEST_DATA_DIR;

TEST(LinuxFiles, IntelPstateGivesBaseMaximumGovernorsAndTurbo) {
    const auto root = data / "linux-intel";
    EXPECT_EQ(read_processor_model(root), "12th Gen Intel(R) Core(TM) i7-1260P");

    const ClockInfo clock = read_cpu_clock(root);
    EXPECT_EQ(clock.base_mhz, 2100.0) << "cpu0's base, not cpuinfo's clock of the moment";
    EXPECT_EQ(clock.max_mhz, 4700.0) << "the fastest core of a hybrid part";

    const PowerSettings power = read_power_settings(root);
    // cpu3 is offline: a gap, not the end of the list.
    EXPECT_EQ(power.governors,
              (std::vector<std::string>{"powersave", "powersave", "performance", "powersave"}));
    EXPECT_EQ(governor_summary(power), "powersave, performance");
    EXPECT_EQ(power.boost, false) << "no_turbo is 1";

    const OsIdentity os = read_os_identity(root, "6.1.0-18-amd64", "#1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1");
    EXPECT_EQ(os.name, "Debian GNU/Linux");
    EXPECT_EQ(os.version, "12 (bookworm)");
    EXPECT_EQ(os.build, "6.1.0-18-amd64 #1 SMP PREEMPT_DYNAMIC Debian 6.1.76-1");
}

TEST(LinuxFiles, AcpiNominalClockBoostSwitchAndLibOsRelease) {
    const auto root = data / "linux-amd";
    const ClockInfo clock = read_cpu_clock(root);
    EXPECT_EQ(clock.base_mhz, 3400.0);
    EXPECT_EQ(clock.max_mhz, 5083.0);
    const PowerSettings power = read_power_settings(root);
    EXPECT_EQ(governor_summary(power), "schedutil");
    EXPECT_EQ(power.boost, true);

    const OsIdentity os = read_os_identity(root, "6.8.5", "");
    EXPECT_EQ(os.name, "Fedora Linux");
    EXPECT_EQ(os.version, "40") << "VERSION_ID where there is no VERSION";
    EXPECT_EQ(os.build, "6.8.5");
}

TEST(LinuxFiles, VirtualMachineWithoutCpufreqFallsBackToCpuinfo) {
    const auto root = data / "linux-vm";
    EXPECT_EQ(read_processor_model(root), "AMD EPYC 7B13");
    const ClockInfo clock = read_cpu_clock(root);
    EXPECT_EQ(clock.base_mhz, 2449.998);
    EXPECT_FALSE(clock.max_mhz);
    const PowerSettings power = read_power_settings(root);
    EXPECT_TRUE(power.governors.empty());
    EXPECT_FALSE(governor_summary(power));
    EXPECT_FALSE(power.boost);
    const OsIdentity os = read_os_identity(root, "", "");
    EXPECT_FALSE(os.name);
    EXPECT_FALSE(os.version);
    EXPECT_FALSE(os.build);
}

TEST(LinuxFiles, MissingTreeIsUnknownNotAnError) {
    const auto root = data / "no-such-machine";
    EXPECT_FALSE(read_processor_model(root));
    EXPECT_FALSE(read_cpu_clock(root).base_mhz);
    EXPECT_FALSE(read_power_settings(root).boost);
    EXPECT_FALSE(read_os_identity(root, "", "").name);
}

TEST(HwlocTopology, TwoPackagesWithSmtAndSharedCaches) {
    const Topology topology = read_topology_from_xml((data / "topology-two-packages-smt.xml").string());
    EXPECT_EQ(topology.packages, 2u);
    EXPECT_EQ(topology.physical_cores, 16u);
    EXPECT_EQ(topology.logical_processors, 32u);
    EXPECT_EQ(topology.numa_nodes, 2u);
    EXPECT_EQ(topology.smt, true);
    ASSERT_TRUE(topology.l1d && topology.l2 && topology.l3);
    EXPECT_EQ(topology.l1d->size_bytes, 48u * 1024);
    EXPECT_EQ(topology.l1d->count, 16u);
    EXPECT_EQ(topology.l2->size_bytes, 1024u * 1024);
    EXPECT_EQ(topology.l2->count, 16u);
    EXPECT_EQ(topology.l3->size_bytes, 32u * 1024 * 1024);
    EXPECT_EQ(topology.l3->count, 2u);
}

TEST(HwlocTopology, UsableProcessorsAndCoresFollowTheBinding) {
    const std::string path = (data / "topology-two-packages-smt.xml").string();
    const Topology unbound = read_topology_from_xml(path);
    EXPECT_FALSE(unbound.usable_logical_processors) << "a saved machine has no binding of its own";
    EXPECT_FALSE(unbound.processor_groups) << "Linux has no processor groups";

    const Topology whole = read_topology_from_xml(path, "0-31");
    EXPECT_EQ(whole.usable_logical_processors, 32u);
    EXPECT_EQ(whole.usable_physical_cores, 16u);

    const Topology one = read_topology_from_xml(path, "5");
    EXPECT_EQ(one.usable_logical_processors, 1u);
    EXPECT_EQ(one.usable_physical_cores, 1u);

    const Topology beyond = read_topology_from_xml(path, "40-47");
    EXPECT_FALSE(beyond.usable_logical_processors) << "processors the machine lacks count for nothing";
}

TEST(HwlocTopology, OneCoreWithoutL3OrSmt) {
    const Topology topology = read_topology_from_xml((data / "topology-one-core.xml").string());
    EXPECT_EQ(topology.packages, 1u);
    EXPECT_EQ(topology.physical_cores, 1u);
    EXPECT_EQ(topology.smt, false);
    EXPECT_EQ(topology.l2->size_bytes, 512u * 1024);
    EXPECT_FALSE(topology.l3);

    const Topology missing = read_topology_from_xml((data / "no-such-topology.xml").string());
    EXPECT_FALSE(missing.packages);
    EXPECT_FALSE(missing.smt);
}

TEST(LinuxFiles, ThisMachineReadsWithoutSurprises) {
    const Topology topology = read_topology();
    ASSERT_TRUE(topology.physical_cores && topology.logical_processors);
    EXPECT_GE(*topology.logical_processors, *topology.physical_cores);
    EXPECT_EQ(*topology.smt, *topology.logical_processors > *topology.physical_cores);
    EXPECT_GE(topology.packages.value_or(1), 1u);
    EXPECT_TRUE(topology.l1d) << "hwloc reads caches from CPUID where sysfs has none";

    SystemRecord system;
    os::describe(system);
    EXPECT_EQ(topology.logical_processors, system.logical_processors) << "hwloc and sysconf count alike";
    EXPECT_FALSE(system.processor.empty());
    EXPECT_EQ(system.operating_system.rfind("Linux ", 0), 0u);
    EXPECT_TRUE(system.os.build);
    EXPECT_TRUE(system.host_name);
    ASSERT_TRUE(system.load_before);
    EXPECT_GE((*system.load_before)[0], 0.0);
    // Present or not depending on the machine; when present, sensible.
    if (system.clock.base_mhz) {
        EXPECT_GT(*system.clock.base_mhz, 100.0);
        EXPECT_LT(*system.clock.base_mhz, 10000.0);
    }
    if (system.clock.max_mhz && system.clock.base_mhz) {
        EXPECT_GE(*system.clock.max_mhz * 1.01, *system.clock.base_mhz);
    }
}

}  // namespace
}  // namespace quorlind::bench
