#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <vector>

#include <nlohmann/json.hpp>

#include "result/json_checks.h"
#include "system/system_record.h"

namespace quorlind::bench {

// How two machines' values of a field compare.
enum class FieldNature {
    configuration,  // what the machine is or was set to: any change is a difference
    measured,       // taken from the running machine: close values are similar
    moment,         // when the record was taken: always differs, never compared
};

// One field of the system record, and everything the outputs need of it:
// the JSON writer and reader, the text report, the HTML table and compare's
// environment diff all walk system_field_table(), in its order.
struct SystemField {
    std::string key;    // its place in the `system` object: "packages", "caches.l2"
    std::string label;  // for people: "Packages", "L2 cache"
    std::string unit;   // of the number it holds: "MHz", "bytes", "s"; empty for none
    // Absent from files of earlier builds; every other field is always
    // present, null where the system did not tell.
    bool optional = false;
    bool version1 = false;  // version-1 files hold it too
    FieldNature nature = FieldNature::configuration;
    // Measured values whose relative difference is at most this are similar.
    double similar_within = 0.0;
    std::string line;  // the text report's line that shows it; empty for none

    std::function<nlohmann::ordered_json(const SystemRecord&)> write;
    // Reads the member `name` of `parent` (the object the key's last part
    // sits in); a value of the wrong type throws LayoutError naming it.
    std::function<void(const CheckedObject& parent, const std::string& name, SystemRecord&)> read;
    // The value as the reports show it: "4,191 MHz", "on", "unknown".
    std::function<std::string(const SystemRecord&)> value;
    // Its part of the text report's line, separator first: ", SMT on".
    std::function<std::string(const SystemRecord&)> phrase;
};

const std::vector<SystemField>& system_field_table();

// The text report's lines, in the order it writes them.
const std::vector<std::string>& system_report_lines();

// The system record as the `system` object of a result document.
nlohmann::ordered_json system_json(const SystemRecord& system);

// The other way: every field read strictly from `system`.
SystemRecord read_system_record(const CheckedObject& system);

// The read of one field alone, from the whole `system` object.
void read_system_field(const SystemField& field, const CheckedObject& system, SystemRecord& record);

}  // namespace quorlind::bench
