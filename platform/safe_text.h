// Text from outside (a card's recording names, file names, text read from files) made safe
// for where we put it: a terminal line, a JSON string, XML character data and attributes.
// Qt-free, pure, any thread.
//
// UTF-8 is read strictly: overlong forms, surrogates, code points past U+10FFFF and cut-off
// sequences are invalid, one byte at a time. "Hidden" characters are those that move the
// cursor, end a line or reorder text where they are shown: C0, DEL, C1 (U+0080..U+009F),
// U+2028, U+2029 and the bidirectional embeddings, overrides and isolates (U+202A..U+202E,
// U+2066..U+2069).
#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace roadkeep::platform {

// The code point of the UTF-8 sequence starting at text[at] (at < text.size()) and the
// sequence's length in bytes; 0 (and *code untouched) when the byte there begins no valid
// sequence.
size_t Utf8At(std::string_view text, size_t at, char32_t* code);
bool IsValidUtf8(std::string_view text);
// Whether code is one of the hidden characters above.
bool IsHiddenCharacter(char32_t code);
// code as UTF-8 at the end of *out. REQUIRES: code is a Unicode scalar value.
void AppendUtf8(char32_t code, std::string* out);

// One line for a terminal or a log: every byte of an invalid sequence or of a hidden character
// as "\xNN" (lower-case hex), a backslash as "\\", everything else as it was. The original
// bytes can be read back from it, and it holds no byte below 0x20, no DEL and no C1.
std::string TerminalText(std::string_view text);

// A JSON string literal, quotes included: valid UTF-8 whatever text holds. '"' and '\\'
// escaped with a backslash, C0, DEL, C1, U+2028 and U+2029 as "\u00XX"/"\u20XX", each byte
// of an invalid sequence as U+FFFD (the name is then not the card's bytes; the manifest's
// store entry and its hash are what identify a recording exactly).
std::string JsonString(std::string_view text);

// Character data or an attribute value (either quote) in XML 1.0: valid UTF-8, '&' '<' '>'
// '"' '\'' as entities, tab, line feed and carriage return as character references (so an
// attribute keeps them); invalid bytes and characters XML 1.0 forbids or discourages (other
// C0, DEL, C1, U+FFFE, U+FFFF) as U+FFFD.
std::string XmlText(std::string_view text);

}  // namespace roadkeep::platform
