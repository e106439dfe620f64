#include "system/cpu_probe.h"

namespace quorlind::bench {

std::string hypervisor_name(const std::string& signature) {
    struct Known {
        const char* signature;
        const char* name;
    };
    static constexpr Known known[] = {
        {"KVMKVMKVM", "KVM"},       {"Microsoft Hv", "Microsoft Hyper-V"},
        {"VMwareVMware", "VMware"}, {"XenVMMXenVMM", "Xen"},
        {"TCGTCGTCGTCG", "QEMU"},   {"VBoxVBoxVBox", "VirtualBox"},
        {"bhyve bhyve ", "bhyve"},  {"ACRNACRNACRN", "ACRN"},
    };
    std::string text = signature.substr(0, signature.find('\0'));
    for (const auto& entry : known) {
        if (text == entry.signature) {
            return entry.name;
        }
    }
    // Unknown signatures are kept, but only their printable part.
    std::string printable;
    for (char c : text) {
        if (c >= 0x20 && c < 0x7f) {
            printable += c;
        }
    }
    const auto first = printable.find_first_not_of(' ');
    const auto last = printable.find_last_not_of(' ');
    return first == std::string::npos ? std::string() : printable.substr(first, last - first + 1);
}

}  // namespace quorlind::bench
