#include "platform/safe_text.h"

#include <cstdio>

namespace roadkeep::platform {
namespace {

constexpr char32_t kReplacement = 0xFFFD;

void AppendHex(const char* format, unsigned value, std::string* out) {
  char text[8];
  std::snprintf(text, sizeof text, format, value);
  *out += text;
}

// Calls emit(code, bytes) for each valid sequence and invalid(byte) for each byte that
// begins none.
template <typename Emit, typename Invalid>
void ForEachCharacter(std::string_view text, Emit emit, Invalid invalid) {
  for (size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const size_t length = Utf8At(text, at, &code);
    if (length == 0) {
      invalid(static_cast<unsigned char>(text[at]));
      ++at;
      continue;
    }
    emit(code, text.substr(at, length));
    at += length;
  }
}

}  // namespace

size_t Utf8At(std::string_view text, size_t at, char32_t* code) {
  const auto byte = [&](size_t i) { return static_cast<unsigned char>(text[at + i]); };
  const unsigned lead = byte(0);
  if (lead < 0x80) {
    *code = lead;
    return 1;
  }
  size_t length = 0;
  char32_t value = 0, least = 0;
  if (lead >= 0xC2 && lead <= 0xDF) {
    length = 2, value = lead & 0x1F, least = 0x80;
  } else if (lead >= 0xE0 && lead <= 0xEF) {
    length = 3, value = lead & 0x0F, least = 0x800;
  } else if (lead >= 0xF0 && lead <= 0xF4) {
    length = 4, value = lead & 0x07, least = 0x10000;
  } else {
    return 0;  // a continuation byte, an overlong lead (C0, C1) or past U+10FFFF (F5..FF)
  }
  if (text.size() - at < length) return 0;
  for (size_t i = 1; i < length; ++i) {
    if ((byte(i) & 0xC0) != 0x80) return 0;
    value = (value << 6) | (byte(i) & 0x3F);
  }
  if (value < least || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) return 0;
  *code = value;
  return length;
}

bool IsValidUtf8(std::string_view text) {
  for (size_t at = 0; at < text.size();) {
    char32_t code = 0;
    const size_t length = Utf8At(text, at, &code);
    if (length == 0) return false;
    at += length;
  }
  return true;
}

bool IsHiddenCharacter(char32_t code) {
  return code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 || code == 0x2029 ||
         (code >= 0x202A && code <= 0x202E) || (code >= 0x2066 && code <= 0x2069);
}

void AppendUtf8(char32_t code, std::string* out) {
  if (code < 0x80) {
    *out += static_cast<char>(code);
  } else if (code < 0x800) {
    *out += static_cast<char>(0xC0 | (code >> 6));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else if (code < 0x10000) {
    *out += static_cast<char>(0xE0 | (code >> 12));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  } else {
    *out += static_cast<char>(0xF0 | (code >> 18));
    *out += static_cast<char>(0x80 | ((code >> 12) & 0x3F));
    *out += static_cast<char>(0x80 | ((code >> 6) & 0x3F));
    *out += static_cast<char>(0x80 | (code & 0x3F));
  }
}

std::string TerminalText(std::string_view text) {
  std::string out;
  out.reserve(text.size());
  const auto escape = [&](unsigned byte) { AppendHex("\\x%02x", byte, &out); };
  ForEachCharacter(
      text,
      [&](char32_t code, std::string_view bytes) {
        if (code == '\\') {
          out += "\\\\";
        } else if (IsHiddenCharacter(code)) {
          for (const char c : bytes) escape(static_cast<unsigned char>(c));
        } else {
          out += bytes;
        }
      },
      escape);
  return out;
}

std::string JsonString(std::string_view text) {
  std::string out = "\"";
  ForEachCharacter(
      text,
      [&](char32_t code, std::string_view bytes) {
        if (code == '"' || code == '\\') {
          out += '\\';
          out += static_cast<char>(code);
        } else if (code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0x2028 ||
                   code == 0x2029) {
          AppendHex("\\u%04x", static_cast<unsigned>(code), &out);
        } else {
          out += bytes;
        }
      },
      [&](unsigned) { AppendUtf8(kReplacement, &out); });
  return out + "\"";
}

std::string XmlText(std::string_view text) {
  std::string out;
  ForEachCharacter(
      text,
      [&](char32_t code, std::string_view bytes) {
        switch (code) {
          case '&': out += "&amp;"; return;
          case '<': out += "&lt;"; return;
          case '>': out += "&gt;"; return;
          case '"': out += "&quot;"; return;
          case '\'': out += "&apos;"; return;
          case '\t': out += "&#9;"; return;
          case '\n': out += "&#10;"; return;
          case '\r': out += "&#13;"; return;
          default: break;
        }
        const bool forbidden = code < 0x20 || (code >= 0x7F && code <= 0x9F) || code == 0xFFFE ||
                               code == 0xFFFF;
        if (forbidden) {
          AppendUtf8(kReplacement, &out);
        } else {
          out += bytes;
        }
      },
      [&](unsigned) { AppendUtf8(kReplacement, &out); });
  return out;
}

}  // namespace roadkeep::platform
