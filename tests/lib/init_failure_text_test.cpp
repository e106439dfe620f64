#include <gtest/gtest.h>

#include "lib/init_failure_text.h"

namespace quorlind {
namespace {

TEST(ReadinessFailureText, DisconnectedQueue) {
    EXPECT_EQ(render_readiness_failure(std::nullopt), "Err(RecvError)");
}

TEST(ReadinessFailureText, FailureReportIsQuoted) {
    EXPECT_EQ(render_readiness_failure(InitReport::failed("memory allocation failed")),
              "Ok(Err(\"memory allocation failed\"))");
}

TEST(ReadinessFailureText, QuotesBackslashesAndControlCharactersAreEscaped) {
    EXPECT_EQ(quote_escaped("say \"hi\" C:\\dir"), R"("say \"hi\" C:\\dir")");
    EXPECT_EQ(quote_escaped(std::string("a\tb\rc\nd\0e", 9)), R"("a\tb\rc\nd\0e")");
    EXPECT_EQ(quote_escaped("bell\x07"
                            "del\x7f"),
              R"("bell\u{7}del\u{7f}")");
    EXPECT_EQ(quote_escaped(""), R"("")");
}

TEST(ReadinessFailureText, PrintableUnicodeStaysAndBrokenBytesAreEscaped) {
    EXPECT_EQ(quote_escaped("caf\xc3\xa9"), "\"caf\xc3\xa9\"");
    EXPECT_EQ(quote_escaped("\xc2\x85"), R"("\u{85}")");  // a C1 control character
    EXPECT_EQ(quote_escaped("\xff"), R"("\u{ff}")");
}

}  // namespace
}  // namespace quorlind
