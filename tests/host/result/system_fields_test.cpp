// The field table against what describes the format to others: the schema
// and docs/json-output.md must name the same members, in the table's order.
#include "result/system_fields.h"

#include <fstream>
#include <regex>
#include <set>
#include <sstream>
#include <string>
#include <vector>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "result_files.h"
#include "result_fixtures.h"

namespace quorlind::bench {
namespace {

using json = nlohmann::json;

const std::string docs_dir = std::string(QUORLIND_TEST_DATA_DIR) + "/../../../docs";

std::vector<std::string> top_level_keys() {
    std::vector<std::string> keys;
    for (const SystemField& field : system_field_table()) {
        const std::string top = field.key.substr(0, field.key.find('.'));
        if (keys.empty() || keys.back() != top) {
            keys.push_back(top);
        }
    }
    return keys;
}

TEST(SystemFieldTable, MatchesTheSchemaMemberByMember) {
    const json schema = json::parse(testing::read_text(docs_dir + "/schema/result.schema.json"));
    const json& system = schema.at("$defs").at("system");
    std::vector<std::string> properties;
    for (const auto& [name, value] : system.at("properties").items()) {
        properties.push_back(name);
    }
    // nlohmann sorts a parsed object's members; the table's order is checked on the written JSON below.
    std::vector<std::string> keys = top_level_keys();
    std::vector<std::string> sorted_keys = keys;
    std::sort(sorted_keys.begin(), sorted_keys.end());
    EXPECT_EQ(sorted_keys, properties);

    std::set<std::string> required;
    for (const auto& name : system.at("required")) {
        required.insert(name.get<std::string>());
    }
    for (const SystemField& field : system_field_table()) {
        const std::string top = field.key.substr(0, field.key.find('.'));
        EXPECT_EQ(required.count(top) == 0, field.optional) << field.key;
        const auto dot = field.key.find('.');
        if (dot != std::string::npos) {
            // Nested members: the schema's object (or its $ref) names them.
            json object = system.at("properties").at(top);
            if (object.contains("$ref")) {
                object = schema.at("$defs").at(object.at("$ref").get<std::string>().substr(8));
            }
            EXPECT_TRUE(object.at("properties").contains(field.key.substr(dot + 1))) << field.key;
        }
    }

    // The writer follows the table's order, whatever a reader does with it.
    const nlohmann::ordered_json written = system_json(testing::test_system());
    std::vector<std::string> written_keys;
    for (const auto& [name, value] : written.items()) {
        written_keys.push_back(name);
    }
    EXPECT_EQ(written_keys, keys);
}

TEST(SystemFieldTable, DocumentedInJsonOutputRowByRow) {
    const std::string text = testing::read_text(docs_dir + "/json-output.md");
    const auto start = text.find("### The system record");
    ASSERT_NE(start, std::string::npos);
    const auto end = text.find("\n\n", text.find("| member |", start));
    std::istringstream table(text.substr(start, end - start));
    // Every member each row's first cell names, in order.
    std::vector<std::string> documented;
    const std::regex member("`([a-z0-9_]+)`");
    for (std::string line; std::getline(table, line);) {
        if (line.rfind("| `", 0) != 0) {
            continue;
        }
        const std::string cell = line.substr(1, line.find('|', 1) - 1);
        for (std::sregex_iterator it(cell.begin(), cell.end(), member), last; it != last; ++it) {
            documented.push_back((*it)[1]);
        }
    }
    std::vector<std::string> keys = top_level_keys();
    // The docs group a few members in one row, in their own order.
    std::sort(keys.begin(), keys.end());
    std::sort(documented.begin(), documented.end());
    EXPECT_EQ(documented, keys);
}

}  // namespace
}  // namespace quorlind::bench
