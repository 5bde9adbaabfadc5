#include "sensors/script_call.h"

#include "platform/safe_text.h"
#include "sensors/fixed_text.h"

namespace {

constexpr std::string_view kPrefix = "javascript:";
constexpr std::string_view kSeparators = " ,'\"\t();";
constexpr std::string_view kBlanks = " \t\r\n\v\f";

std::string_view Trimmed(std::string_view text) {
  const size_t first = text.find_first_not_of(kBlanks);
  if (first == std::string_view::npos) return {};
  return text.substr(first, text.find_last_not_of(kBlanks) - first + 1);
}

}  // namespace

// A JSON string literal is a script string literal too; it escapes U+2028 and U+2029, which
// older script engines take for line ends even inside a literal.
std::string ScriptString(std::string_view text) { return roadkeep::platform::JsonString(text); }

ScriptCall ParseScriptCall(std::string_view text) {
  ScriptCall call;
  if (const size_t prefix = text.find(kPrefix); prefix != std::string_view::npos) {
    text.remove_prefix(prefix + kPrefix.size());
  }
  std::string_view arguments = text;
  if (const size_t open = text.find('('); open != std::string_view::npos) {
    call.function = std::string(Trimmed(text.substr(0, open)));
    arguments = text.substr(open + 1);
  }
  size_t position = 0;
  while (position < arguments.size()) {
    const size_t start = arguments.find_first_not_of(kSeparators, position);
    if (start == std::string_view::npos) break;
    const size_t end = arguments.find_first_of(kSeparators, start);
    const size_t stop = end == std::string_view::npos ? arguments.size() : end;
    call.arguments.emplace_back(arguments.substr(start, stop - start));
    position = stop;
  }
  return call;
}

std::string DrawCurrentCall(double latitude, double longitude) {
  return "javascript:DrawCurrent('" + FixedText(latitude, 6) + "', '" + FixedText(longitude, 6) + "')";
}

std::string ScriptCallExpression(const ScriptCall& call) {
  std::string arguments;
  for (const std::string& argument : call.arguments) {
    if (!arguments.empty()) arguments += ", ";
    arguments += ScriptString(argument);
  }
  return "(function () { try { var f = window[" + ScriptString(call.function) +
         "]; if (typeof f !== 'function') return ''; var r = f(" + arguments +
         "); return typeof r === 'string' ? r : ''; } catch (e) { return ''; } })()";
}
