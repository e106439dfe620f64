#pragma once

#include <string>
#include <vector>

#include "result/json_lookup.h"

namespace quorlind::bench {

// One line of the system table: the member's path in the document
// ("caches.l1d.size_bytes"), a label for people and the value as text.
struct SystemField {
    std::string path;
    std::string label;
    std::string value;
};

// Every member of a `system` (or `tool`) object, nested objects flattened in
// document order. Unknown values read "unknown"; members this version does not
// know still appear, labelled from their names.
std::vector<SystemField> system_fields(const Document& object, const std::string& label_prefix = {});

// One field named by its dotted path in the whole document
// ("system.caches.l2.size_bytes", "tool.compiler"), labelled and formatted as
// in the system table; for the environment differences of a comparison.
SystemField describe_field(const std::string& dotted_path, const Document* value);

}  // namespace quorlind::bench
