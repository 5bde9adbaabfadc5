// Calls into the map page's script, written as text the way a browser's address bar takes
// them ("javascript:DrawCurrent('37.566023', '126.977960')"): the text is split into a
// function name and string arguments, and turned into one JavaScript expression that the
// page runs. Qt-free, so the grammar is tested without a browser.
#pragma once

#include <string>
#include <string_view>
#include <vector>

struct ScriptCall {
  std::string function;                // empty when the text has no "("
  std::vector<std::string> arguments;  // every argument is passed as a string
};

// Splits a call text: only what follows the first "javascript:" counts (all of it when there
// is none); the function name is the text before the first "(", trimmed of white space; the
// arguments are the non-empty tokens of the text after that "(" (of all of it when there is
// no "("), split at space, comma, apostrophe, quotation mark, tab, "(", ")" and ";".
ScriptCall ParseScriptCall(std::string_view text);

// "javascript:DrawCurrent('%lf', '%lf')" of a position in degrees: six decimals, a minus sign
// south and west, and a '.' whatever the C locale says.
std::string DrawCurrentCall(double latitude, double longitude);

// A JavaScript string literal (in double quotes) of UTF-8 text.
std::string ScriptString(std::string_view text);

// One JavaScript expression that calls call.function of the page with the arguments as
// strings and evaluates to the result when that is a string, else to "". It evaluates to ""
// without calling anything when the page has no such function (or the name is empty), and
// catches whatever the function throws, so the page reports nothing.
std::string ScriptCallExpression(const ScriptCall& call);
