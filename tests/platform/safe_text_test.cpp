// Hostile names through the terminal, JSON and XML forms; the JSON and XML read back by
// python3's own parsers.
#include "platform/safe_text.h"

#include <gtest/gtest.h>

#include <string>

#include "tests/support/temp_dir.h"

namespace {

using namespace roadkeep::platform;
using roadkeep::test::CommandOutput;
using roadkeep::test::TempDir;
using roadkeep::test::WriteText;

struct Hostile {
  const char* what;
  std::string bytes;
  bool utf8;             // valid UTF-8 as it is
  std::string terminal;  // TerminalText
  std::string json;      // JsonString, without its quotes
};

const Hostile kHostile[] = {
    {"clear screen", "\n\x1b[2J", true, "\\x0a\\x1b[2J", "\\u000a\\u001b[2J"},
    {"forged line", "OK  fake.avi\n", true, "OK  fake.avi\\x0a", "OK  fake.avi\\u000a"},
    {"not UTF-8", "a\xff\xfe", false, "a\\xff\\xfe", "a\xef\xbf\xbd\xef\xbf\xbd"},
    {"overlong slash", "\xc0\xaf", false, "\\xc0\\xaf", "\xef\xbf\xbd\xef\xbf\xbd"},
    {"cut-off sequence", "x\xe2\x82", false, "x\\xe2\\x82", "x\xef\xbf\xbd\xef\xbf\xbd"},
    {"surrogate", "\xed\xa0\x80", false, "\\xed\\xa0\\x80",
     "\xef\xbf\xbd\xef\xbf\xbd\xef\xbf\xbd"},
    {"emoji", "car \xf0\x9f\x9a\x97", true, "car \xf0\x9f\x9a\x97", "car \xf0\x9f\x9a\x97"},
    {"line separator", "a\xe2\x80\xa8z", true, "a\\xe2\\x80\\xa8z", "a\\u2028z"},
    {"right-to-left override", "\xe2\x80\xae" "iva.exe", true, "\\xe2\\x80\\xaeiva.exe",
     "\xe2\x80\xae" "iva.exe"},
    {"C1 next line", "a\xc2\x85z", true, "a\\xc2\\x85z", "a\\u0085z"},
    {"DEL and backslash", "a\x7f\\x41", true, "a\\x7f\\\\x41", "a\\u007f\\\\x41"},
    {"quote", "say \"hi\"", true, "say \"hi\"", "say \\\"hi\\\""},
    {"Korean", "\xec\xa3\xbc\xed\x96\x89", true, "\xec\xa3\xbc\xed\x96\x89",
     "\xec\xa3\xbc\xed\x96\x89"},
};

TEST(SafeText, HostileNamesTakeTheirTerminalAndJsonForms) {
  for (const Hostile& h : kHostile) {
    EXPECT_EQ(IsValidUtf8(h.bytes), h.utf8) << h.what;
    const std::string terminal = TerminalText(h.bytes);
    EXPECT_EQ(terminal, h.terminal) << h.what;
    EXPECT_TRUE(IsValidUtf8(terminal)) << h.what;
    for (const char c : terminal) {
      const auto byte = static_cast<unsigned char>(c);
      EXPECT_FALSE(byte < 0x20 || byte == 0x7F) << h.what;
    }
    EXPECT_EQ(JsonString(h.bytes), "\"" + h.json + "\"") << h.what;
    EXPECT_TRUE(IsValidUtf8(XmlText(h.bytes))) << h.what;
  }
}

TEST(SafeText, XmlEscapesMarkupAndReplacesWhatXmlForbids) {
  const struct {
    std::string bytes, xml;
  } cases[] = {
      {"<a href='x'>&amp;\"", "&lt;a href=&apos;x&apos;&gt;&amp;amp;&quot;"},
      {"tab\there\nline\r", "tab&#9;here&#10;line&#13;"},
      {"\x1b[2J\x7f", "\xef\xbf\xbd[2J\xef\xbf\xbd"},
      {"\xef\xbf\xbe\xff", "\xef\xbf\xbd\xef\xbf\xbd"},  // U+FFFE, a stray byte
      {"\xf0\x9f\x9a\x97", "\xf0\x9f\x9a\x97"},
  };
  for (const auto& c : cases) EXPECT_EQ(XmlText(c.bytes), c.xml) << c.bytes;
}

// What python3's json and xml.etree make of every hostile name: the document parses and the
// name comes back as the text shown (invalid bytes as U+FFFD, nothing else lost).
TEST(SafeText, PythonParsesTheJsonAndXml) {
  const TempDir dir;
  std::string json = "[", xml = "<names>";
  for (const Hostile& h : kHostile) {
    json += (json.size() > 1 ? "," : "") + JsonString(h.bytes);
    xml += "<n a=\"" + XmlText(h.bytes) + "\">" + XmlText(h.bytes) + "</n>";
  }
  WriteText(dir.File("names.json"), json + "]");
  WriteText(dir.File("names.xml"), xml + "</names>");
  // XML has no room for the controls JSON escapes: there they are U+FFFD.
  const std::string script =
      "import json, sys, xml.etree.ElementTree as et\n"
      "names = json.load(open(sys.argv[1], encoding='utf-8'))\n"
      "root = et.parse(sys.argv[2]).getroot()\n"
      "def fix(s):\n"
      "    return ''.join('\\ufffd' if (ord(c) < 32 and c not in '\\t\\n\\r')\n"
      "                   or 0x7f <= ord(c) <= 0x9f else c for c in s)\n"
      "for name, node in zip(names, root):\n"
      "    assert node.text == fix(name) == node.get('a'), (name, node.text, node.get('a'))\n"
      "print(len(names), len(root))\n";
  WriteText(dir.File("check.py"), script);
  const std::string out = CommandOutput("python3 " + dir.File("check.py") + " " +
                                        dir.File("names.json") + " " + dir.File("names.xml") +
                                        " 2>&1");
  const std::string count = std::to_string(std::size(kHostile));
  EXPECT_EQ(out, count + " " + count + "\n");
}

}  // namespace
