// The call text grammar of the map page's script calls, the position's call text, and the
// expression the page runs.
#include "sensors/script_call.h"

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

TEST(ScriptCall, CallTextsSplitIntoNameAndStringArguments) {
  struct Case {
    const char* text;
    const char* function;
    std::vector<std::string> arguments;
  } cases[] = {
      {"javascript:DrawCurrent('37.566023', '126.977960')", "DrawCurrent",
       {"37.566023", "126.977960"}},
      {"javascript:DrawCurrent('-33.868820', '151.209290')", "DrawCurrent",
       {"-33.868820", "151.209290"}},
      {"DrawCurrent(1,2)", "DrawCurrent", {"1", "2"}},                 // no prefix: all of it
      {"go to javascript:  clearMarkers ( );", "clearMarkers", {}},    // before the prefix: gone
      {"javascript:f(\"a b\"\t'c';d)", "f", {"a", "b", "c", "d"}},     // quotes do not group
      {"javascript:f('javascript:x')", "f", {"javascript:x"}},         // the first prefix counts
      {"javascript:f(g(1))", "f", {"g", "1"}},
      {"javascript:DrawCurrent 1 2", "", {"DrawCurrent", "1", "2"}},  // no "(": no name
      {"", "", {}},
      {";;,,  ''\"\"))\t", "", {}},  // only separators
      {"( ,;'\")", "", {}},
  };
  for (const Case& c : cases) {
    const ScriptCall call = ParseScriptCall(c.text);
    EXPECT_EQ(call.function, c.function) << c.text;
    EXPECT_EQ(call.arguments, c.arguments) << c.text;
  }
}

TEST(ScriptCall, PositionsAreWrittenWithSixDecimalsAndTheirSigns) {
  EXPECT_EQ(DrawCurrentCall(37.566023, 126.97796),
            "javascript:DrawCurrent('37.566023', '126.977960')");
  EXPECT_EQ(DrawCurrentCall(-33.86882, -151.20929),
            "javascript:DrawCurrent('-33.868820', '-151.209290')");
  EXPECT_EQ(DrawCurrentCall(0.0000004, 180), "javascript:DrawCurrent('0.000000', '180.000000')");
  // What the page receives is what was written.
  const ScriptCall call = ParseScriptCall(DrawCurrentCall(-33.86882, 151.20929));
  EXPECT_EQ(call.function, "DrawCurrent");
  EXPECT_EQ(call.arguments, (std::vector<std::string>{"-33.868820", "151.209290"}));
}

TEST(ScriptCall, ExpressionQuotesNameAndArgumentsAsScriptStrings) {
  const std::string expression =
      ScriptCallExpression(ParseScriptCall("javascript:f(a\\b x\ny \xE2\x80\xA8z)"));
  EXPECT_NE(expression.find("window[\"f\"]"), std::string::npos) << expression;
  EXPECT_NE(expression.find("f(\"a\\\\b\", \"x\\u000ay\", \"\\u2028z\")"), std::string::npos)
      << expression;
  // A name that could end the literal stays inside it.
  const std::string odd = ScriptCallExpression(ScriptCall{"x\"]; alert(1); //", {}});
  EXPECT_NE(odd.find("window[\"x\\\"]; alert(1); //\"]"), std::string::npos) << odd;
}

}  // namespace
