// Numbers as text with a fixed count of decimals and a '.', whatever the process's locale
// (Qt sets the user's at start-up, and printf would then write "37,566023").
#pragma once

#include <charconv>
#include <string>

inline std::string FixedText(double value, int decimals) {
  char buffer[400];  // the longest double in fixed notation with a few decimals fits
  const auto [end, error] =
      std::to_chars(buffer, buffer + sizeof buffer, value, std::chars_format::fixed, decimals);
  return error == std::errc() ? std::string(buffer, end) : std::string("0");
}
