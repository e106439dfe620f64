// The HTML report's pieces: escaping, axes, and whole pages made from a
// result document, read back as text. The browser test opens real ones.
#include "report/html/run_report.h"
#include "report/html/comparison_report.h"

#include <array>
#include <fstream>
#include <map>
#include <regex>
#include <sstream>

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include "report/svg/axis.h"
#include "util/html_escape.h"
#include "util/number_format.h"
#include "compare/comparison_json.h"
#include "result/system_fields.h"
#include "result/json_writer.h"
#include "result/reader.h"
#include "result/result.h"

namespace quorlind::bench {
namespace {

using ::testing::ElementsAre;
using ::testing::HasSubstr;
using ::testing::Not;

using json = nlohmann::json;

Document read_fixture(const std::string& name) {
    std::ifstream file(std::string(QUORLIND_TEST_DATA_DIR) + "/" + name);
    return Document::parse(file);
}

Result result_of(const Document& document, const std::string& name = "result.json") {
    return parse_result_text(document.dump(), name);
}

std::size_t count(const std::string& text, const std::string& part) {
    std::size_t found = 0;
    for (auto at = text.find(part); at != std::string::npos; at = text.find(part, at + part.size())) {
        ++found;
    }
    return found;
}

std::string embedded_json(const std::string& page) {
    const std::string open = "<script type=\"application/json\" id=\"quorlind-data\">";
    const auto begin = page.find(open);
    const auto end = page.find("</script>", begin);
    EXPECT_NE(begin, std::string::npos);
    return page.substr(begin + open.size(), end - begin - open.size());
}

TEST(HtmlEscape, MarkupQuotesAndBrokenBytesBecomeText) {
    EXPECT_EQ(escape_html("<b a=\"1\" b='2'>&amp;</b>`"),
              "&lt;b a=&quot;1&quot; b=&#39;2&#39;&gt;&amp;amp;&lt;/b&gt;&#96;");
    EXPECT_EQ(escape_html("Ryzen\xE2\x84\xA2 caf\xC3\xA9"), "Ryzen\xE2\x84\xA2 caf\xC3\xA9");
    // A lone continuation byte, an overlong slash, a surrogate and a cut-off sequence.
    EXPECT_EQ(
        escape_html("a\x80z\xC0\xAF\xED\xA0\x80\xE2\x84"),
        "a\xEF\xBF\xBDz\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD\xEF\xBF\xBD");
    EXPECT_EQ(escape_html(std::string("tab\tnul\0bell\x07", 13)),
              "tab\tnul\xEF\xBF\xBD"
              "bell\xEF\xBF\xBD");
}

TEST(HtmlEscape, EmbeddedJsonCannotCloseItsElementAndReadsBackTheSame) {
    Document document = {{"processor", "</script><script>alert(1)</script><!-- & -->"},
                         {"notes",
                          {"</SCRIPT >",
                           "a\xE2\x80\xA8"
                           "b"}}};
    const std::string text = json_for_script_element(document);
    EXPECT_EQ(text.find_first_of("<>&"), std::string::npos) << text;
    EXPECT_EQ(Document::parse(text), document);
}

TEST(ChartAxis, TicksAreWholeStepsOfOneTwoOrFive) {
    const AxisTicks seconds = nice_ticks(0.0, 9.3, 7);
    EXPECT_EQ(seconds.step, 2.0);
    EXPECT_THAT(seconds.values, ElementsAre(0.0, 2.0, 4.0, 6.0, 8.0, 10.0));

    const AxisTicks rates = nice_ticks(41362.5, 42007.5, 6);
    EXPECT_EQ(rates.step, 200.0);
    EXPECT_EQ(rates.low, 41200.0);
    EXPECT_EQ(rates.high, 42200.0);

    // Sums of 0.05 would print 0.9500000000000001; each tick is the double nearest its decimal.
    const AxisTicks ratios = nice_ticks(0.93, 1.07, 6);
    std::vector<std::string> exact;
    for (const double value : ratios.values) {
        exact.push_back(format_exact(value));
    }
    EXPECT_THAT(exact, ElementsAre("0.9", "0.95", "1", "1.05", "1.1"));
    const AxisTicks tiny = nice_ticks(3e-7, 9e-7, 4);
    EXPECT_EQ(format_exact(tiny.values.at(1)), "0.0000005");
}

TEST(ChartAxis, DegenerateRangesStillGiveAnAxis) {
    const AxisTicks one_value = nice_ticks(50000.0, 50000.0);
    EXPECT_LT(one_value.low, 50000.0);
    EXPECT_GT(one_value.high, 50000.0);
    const AxisTicks zero = nice_ticks(0.0, 0.0);
    EXPECT_LT(zero.low, 0.0);
    EXPECT_GT(zero.high, 0.0);
    const AxisTicks backwards = nice_ticks(10.0, 0.0);
    EXPECT_EQ(backwards.low, 0.0);
    EXPECT_EQ(backwards.high, 10.0);
    const AxisTicks broken = nice_ticks(std::nan(""), INFINITY);
    EXPECT_GE(broken.values.size(), 2u);
    EXPECT_LT(nice_ticks(0.0, 1e300).values.size(), 20u);
    EXPECT_LT(nice_ticks(0.0, 5e-324).values.size(), 20u);  // the smallest double: no endless loop
    EXPECT_LT(nice_ticks(-1.7e308, 1.7e308).values.size(), 20u);
}

TEST(ChartAxis, TickLabelsShareOneSuffixAndTheStepsDecimals) {
    const AxisTicks rates = nice_ticks(41000.0, 43000.0, 6);  // step 500
    EXPECT_EQ(format_tick(41000.0, rates), "41.0k");
    EXPECT_EQ(format_tick(41500.0, rates), "41.5k");
    const AxisTicks millions = nice_ticks(0.0, 2.4e6, 6);  // step 500k
    EXPECT_EQ(format_tick(1.5e6, millions), "1.5M");
    EXPECT_EQ(format_tick(0.0, millions), "0.0M");
    const AxisTicks small = nice_ticks(0.0, 9.3, 7);
    EXPECT_EQ(format_tick(4.0, small), "4");
    const AxisTicks ratios = nice_ticks(0.93, 1.07, 6);
    EXPECT_EQ(format_tick(0.95, ratios), "0.95");
}

TEST(SystemFields, EachFieldReadsAsTheTextReportWordsIt) {
    const Result result = result_of(read_fixture("result-v2-both.json"));
    auto value_of = [&](const std::string& key) {
        for (const auto& field : system_field_table()) {
            if (field.key == key) {
                return field.label + " = " + field.value(result.record.system);
            }
        }
        return "missing " + key;
    };
    EXPECT_EQ(value_of("caches.l1d"), "L1d cache = 48 KiB x 4");
    EXPECT_EQ(value_of("caches.l2"), "L2 cache = 1.25 MiB x 4");
    EXPECT_EQ(value_of("effective_clock_mhz.after"), "Effective clock after = 4,191 MHz");
    EXPECT_EQ(value_of("hypervisor.vendor"), "Hypervisor vendor = unknown");
    EXPECT_EQ(value_of("smt"), "SMT = on");
    EXPECT_EQ(value_of("load_average.before"), "Load average before (1, 5, 15 min) = 0.12 0.30 0.25");
    EXPECT_EQ(value_of("monotonic_start_seconds"), "Monotonic clock at start = 1234.500 s");
    const std::string page = render_result_html(result);
    EXPECT_THAT(page, HasSubstr("<td>SMT</td><td>on</td>"));
    EXPECT_THAT(page, HasSubstr("<td>Tool build type</td>"));
}

TEST(ResultPage, HoldsEveryChartSeriesBandAndTrend) {
    const Document result = read_fixture("result-v2-both.json");
    const std::string page = render_result_html(result_of(result));

    EXPECT_THAT(page, HasSubstr("data-chart=\"throughput-single\""));
    EXPECT_THAT(page, HasSubstr("data-chart=\"throughput-all\""));
    EXPECT_THAT(page, HasSubstr("data-chart=\"scaling\""));
    // Runs 1 and 3 single, 2 and 4 all; the scaling chart has a row per kind.
    for (const char* series : {"run 1", "run 2", "run 3", "run 4", "Single thread", "All threads"}) {
        EXPECT_EQ(count(page, std::string("data-series=\"") + series + "\""), 1u) << series;
    }
    EXPECT_EQ(count(page, "class=\"band\""), 2u);
    // Only run 3 drifted: one fitted line, falling.
    EXPECT_EQ(count(page, "class=\"trend\""), 1u);
    EXPECT_THAT(page, HasSubstr("data-trend=\"trend of run 3: -9.4 %\""));
    EXPECT_THAT(page, HasSubstr("stable; drifting -9.4 % over 8 s"));
    EXPECT_THAT(page, HasSubstr("3.85 \xC3\x97"));
    EXPECT_THAT(page, HasSubstr("<td>L1d cache</td><td>48 KiB x 4</td>"));
    EXPECT_THAT(page, HasSubstr("Tool compiler version"));
    EXPECT_THAT(page, HasSubstr("the frequency governor is powersave"));

    // The model as the JSON writer makes it, figures worked out again included.
    EXPECT_EQ(json::parse(embedded_json(page)), json(to_json(result_of(result))));
    // Self-contained: no address of any kind outside the embedded data.
    EXPECT_THAT(page, Not(HasSubstr("http:")));
    EXPECT_THAT(page, Not(HasSubstr("https:")));
    EXPECT_THAT(page, Not(HasSubstr("url(")));
    EXPECT_THAT(page, Not(HasSubstr("src=")));
    EXPECT_THAT(page, Not(HasSubstr("href=")));
}

// The disturbed interval is shaded in the chart and marked in the table;
// a file without the load has neither, nor an intervals table.
TEST(ResultPage, DisturbedIntervalsAreShadedAndMarked) {
    Result result = result_of(read_fixture("result-v2-both.json"));
    EXPECT_THAT(render_result_html(result), Not(HasSubstr("class=\"shades\"")));
    EXPECT_THAT(render_result_html(result), Not(HasSubstr("<section id=\"intervals\"")));
    RunRecord& run = result.record.runs[0];
    ASSERT_GE(run.samples.size(), 2u);
    run.load = RunLoad{};
    run.load->intervals.resize(run.samples.size(), LoadFigures{1.0, std::nullopt, std::nullopt, 0.0});
    run.load->intervals[1] = LoadFigures{0.4, std::nullopt, std::nullopt, 1.5};
    run.load->measurement.worker_cpu_share = 0.8;
    derive_figures(result);
    const std::string page = render_result_html(result);
    EXPECT_EQ(count(page, "<g class=\"shades\"><rect "), 1u);
    EXPECT_EQ(count(page, "<tr class=\"disturbed\">"), 1u);
    EXPECT_THAT(page, HasSubstr("<td class=\"number\">40.0</td><td class=\"number\">1.50</td>"));
    EXPECT_THAT(page, HasSubstr("disturbed intervals (the workers got under 90 % of the time)"));
    EXPECT_THAT(page, HasSubstr("disturbed: other processes used 1.5 processors"));
}

TEST(ResultPage, HostileStringsStayText) {
    Document result = read_fixture("result-v2-both.json");
    const std::string attack = "\"'><script>alert(1)</script><img src=x onerror=alert(2)><!--";
    result["system"]["processor"] = attack;
    result["system"]["host_name"] = "</title></style><svg onload=alert(3)>";
    result["notes"] = {attack, "</script><script>alert(4)</script>"};
    result["runs"][1]["status"] = {{"code", 2}, {"name", "failed"}, {"reason", attack}};
    result["runs"][1]["summary"]["status"] = 2;  // as the reader asks; a kind of run is never text
    const std::string page = render_result_html(result_of(result));

    // The one <script> is the data element; no attribute or element came from the strings.
    EXPECT_EQ(count(page, "<script"), 1u);
    EXPECT_EQ(count(page, "</script>"), 1u);
    EXPECT_THAT(page, Not(HasSubstr("<img")));
    EXPECT_THAT(page, Not(HasSubstr("<svg onload")));
    EXPECT_THAT(page, Not(HasSubstr("<!--")));
    EXPECT_THAT(page, HasSubstr("&lt;img src=x onerror=alert(2)&gt;"));
    EXPECT_THAT(page, HasSubstr("<title>Quorlind result: &quot;&#39;&gt;&lt;script&gt;"));
    EXPECT_EQ(json::parse(embedded_json(page)), json(to_json(result_of(result))));
}

TEST(ResultPage, OneRunWithoutStatisticsOrSamplesStillRenders) {
    // What an upgraded first-version file or a run cancelled in its warm-up looks like.
    ResultRecord record;
    record.tool_version = "0.0.1";
    record.measurement_seconds = 1.0;
    record.system.logical_processors = 2;
    RunRecord& run = record.runs.emplace_back();
    run.config.benchmark = run.summary.benchmark = QUORLIND_BENCHMARK_SINGLE;
    run.summary.status = QUORLIND_STATUS_CANCELLED;
    run.reason = "cancelled during warm-up";
    const std::string page = render_result_html(result_of_run(record));
    EXPECT_THAT(page, HasSubstr("data-series=\"run 1 (cancelled (partial))\""));
    EXPECT_THAT(page, HasSubstr("No intervals were measured."));
    EXPECT_THAT(page, HasSubstr("cancelled during warm-up"));
    EXPECT_THAT(page, HasSubstr("unknown processor"));
    EXPECT_THAT(page, Not(HasSubstr("data-chart=\"scaling\"")));
    EXPECT_THAT(page, Not(HasSubstr("nan")));
}

// The comparison a record such as data/comparison.json describes, as compare makes it.
Comparison comparison_from(const Document& record) {
    const auto optional_number = [](const Document& value) {
        return value.is_null() ? std::nullopt : std::optional<double>(value.get<double>());
    };
    const auto estimate = [&](const Document& value) {
        ThroughputEstimate out;
        out.ops_per_second = value.at("ops_per_second").get<double>();
        out.standard_error = optional_number(value.at("standard_error"));
        out.runs = value.at("runs").get<std::size_t>();
        out.intervals = value.at("intervals").get<std::size_t>();
        return out;
    };
    Comparison comparison;
    comparison.settings.threshold_percent = record.at("settings").at("threshold_percent").get<double>();
    comparison.settings.confidence = record.at("settings").at("confidence").get<double>();
    for (const auto& file : record.at("files")) {
        comparison.files.push_back({file.at("path").get<std::string>(), file.at("schema_version").get<int>(),
                                    file.at("start_time_utc").get<std::string>()});
    }
    for (const auto& pair : record.at("comparisons")) {
        PairComparison& out = comparison.pairs.emplace_back();
        out.candidate_file = pair.at("new").get<std::size_t>();
        out.not_comparable = pair.at("not_comparable_reasons").get<std::vector<std::string>>();
        out.notes = pair.at("notes").get<std::vector<std::string>>();
        out.environment.known_in_one_only.assign(pair.at("fields_known_in_one_file").get<std::size_t>(),
                                                 "OS build");
        // The labels and values as the diff words them, which the fixture leaves out.
        const std::map<std::string, std::array<std::string, 3>> shown{
            {"system.governor", {"Frequency governor", "powersave", "performance"}},
            {"system.caches.l2.size_bytes", {"L2 cache", "1.25 MiB x 4", "2 MiB x 4"}},
            {"tool.compiler_version", {"Tool compiler version", "12.2.0", "13.1.0"}}};
        for (const auto& difference : pair.at("environment")) {
            const std::string field = difference.at("field").get<std::string>();
            const auto& [label, base_text, new_text] = shown.at(field);
            out.environment.differences.push_back(
                {field, json(difference.at("base")), json(difference.at("new")), label, base_text, new_text});
        }
        for (const auto& kind : pair.at("kinds")) {
            KindComparison& compared = out.kinds.emplace_back();
            compared.benchmark =
                kind.at("threads") == "all" ? QUORLIND_BENCHMARK_PER_CPU : QUORLIND_BENCHMARK_SINGLE;
            compared.base = estimate(kind.at("base"));
            compared.candidate = estimate(kind.at("new"));
            compared.source = kind.at("uncertainty").at("source") == "between_runs"
                                  ? UncertaintySource::between_runs
                                  : UncertaintySource::within_runs;
            compared.ratio.ratio = kind.at("ratio").get<double>();
            compared.ratio.interval =
                Interval{kind.at("ratio_ci_low").get<double>(), kind.at("ratio_ci_high").get<double>()};
            compared.ratio.t = optional_number(kind.at("t"));
            compared.ratio.degrees_of_freedom = optional_number(kind.at("degrees_of_freedom"));
            compared.ratio.p_value = optional_number(kind.at("p_value"));
            for (const Verdict verdict : {Verdict::faster, Verdict::slower, Verdict::same_or_faster}) {
                if (kind.at("verdict") == verdict_text(verdict)) {
                    compared.verdict = verdict;
                }
            }
        }
    }
    return comparison;
}

TEST(ComparisonPage, RunsOnOneAxisRatiosVerdictsAndTheHighlightedDifferences) {
    const Comparison comparison = comparison_from(read_fixture("comparison.json"));
    Document slower = read_fixture("result-v2-both.json");
    slower["runs"][0]["summary"]["ops_per_second"] = 39000.0;
    const std::vector<Document> documents = {read_fixture("result-v2-both.json"), slower};
    const std::vector<Result> results = {result_of(documents[0]), result_of(documents[1])};
    const std::string page = render_comparison_html(comparison, results, "0.0.2");

    for (const char* chart : {"runs-single", "runs-all", "ratio-single", "ratio-all"}) {
        EXPECT_EQ(count(page, std::string("data-chart=\"") + chart + "\""), 1u) << chart;
    }
    // Both files' rows on each runs chart, each new file's row on each ratio chart.
    EXPECT_EQ(count(page, "data-series=\"base: base.json\""), 2u);
    EXPECT_EQ(count(page, "data-series=\"new: new.json\""), 2u);
    EXPECT_EQ(count(page, "data-series=\"new.json\""), 2u);
    EXPECT_EQ(count(page, "class=\"reference\""), 2u);
    EXPECT_EQ(count(page, "class=\"threshold\""), 2u);

    EXPECT_THAT(page, HasSubstr("<div class=\"card verdict verdict-slower\" data-kind=\"single\">"));
    EXPECT_THAT(
        page,
        HasSubstr("new.json is 5.0 % slower than base.json: ratio 0.950, 95 % interval 0.941 to 0.959."));
    EXPECT_THAT(page, HasSubstr("<p class=\"value\">same or faster</p>"));
    EXPECT_THAT(page, HasSubstr("for information only: it leaves run-to-run variation out"));
    EXPECT_THAT(page, HasSubstr("<tr class=\"differs\"><td>Frequency governor</td><td>powersave</td>"
                                "<td>performance</td></tr>"));
    EXPECT_THAT(page, HasSubstr("<td>L2 cache</td><td>1.25 MiB x 4</td><td>2 MiB x 4</td>"));
    EXPECT_THAT(page, HasSubstr("<td>Tool compiler version</td>"));
    EXPECT_THAT(page, HasSubstr("Known in one file only, so not compared: OS build."));

    const Document embedded = Document::parse(embedded_json(page));
    EXPECT_EQ(embedded.at("comparison"), comparison_to_json(comparison, "0.0.2"));
    EXPECT_EQ(json(embedded.at("results")), json({to_json(results[0]), to_json(results[1])}));
    EXPECT_THAT(page, Not(HasSubstr("http:")));
}

TEST(ComparisonPage, NotComparableSaysWhyAndHostilePathsStayText) {
    Comparison comparison = comparison_from(read_fixture("comparison.json"));
    comparison.files[1].path = "/tmp/<script>alert(1)</script>.json";
    auto& pair = comparison.pairs[0];
    pair.not_comparable = {"the library versions differ (0.0.2 and <b>0.0.3</b>)"};
    for (auto& kind : pair.kinds) {
        kind.verdict.reset();
    }
    pair.environment.differences = {{"system.processor", "A", "<img src=x onerror=alert(1)>", "Processor",
                                     "A", "<img src=x onerror=alert(1)>"}};
    ASSERT_EQ(outcome_of(comparison), ComparisonOutcome::not_comparable);
    const std::string page =
        render_comparison_html(comparison, {result_of(read_fixture("result-v2-both.json"))}, "0.0.2");

    EXPECT_THAT(page, HasSubstr("Not comparable: the workload differs"));
    EXPECT_THAT(page, HasSubstr("the library versions differ (0.0.2 and &lt;b&gt;0.0.3&lt;/b&gt;)"));
    EXPECT_EQ(count(page, "verdict-not-comparable"),
              4u);  // the workload card and both kinds, plus the style rule
    EXPECT_EQ(count(page, "<script"), 1u);
    EXPECT_THAT(page, Not(HasSubstr("<img")));
    EXPECT_THAT(page, HasSubstr("&lt;script&gt;alert(1)&lt;/script&gt;.json"));
}

}  // namespace
}  // namespace quorlind::bench
