#include "report/text/system_report.h"

#include "report/text/columns.h"
#include "result/system_fields.h"

namespace quorlind::bench {
namespace {

std::string build_text(const BuildInfo& build) {
    std::string text = "built with " + build.compiler.value_or("unknown");
    if (build.compiler_version) {
        text += " " + *build.compiler_version;
    }
    return text + " (" + build.build_type.value_or("unknown") + ")";
}

}  // namespace

void write_system_report(std::ostream& out, const SystemRecord& system, const std::string& tool_version,
                         const BuildInfo& tool_build) {
    out << "System\n";
    // Each line joins the phrases of the fields the table places on it, in the table's order.
    for (const std::string& line : system_report_lines()) {
        std::string text;
        for (const SystemField& field : system_field_table()) {
            if (field.line == line) {
                text += field.phrase(system);
            }
        }
        write_field(out, line.c_str(), text);
    }
    write_field(out, "Tool", tool_version + ", " + build_text(tool_build));
}

}  // namespace quorlind::bench
