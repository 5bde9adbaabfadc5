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

const struct {
  std::string bytes;
  bool utf8;             // valid UTF-8 as it is
  std::string terminal;  // TerminalText
} kHostile[] = {
    {"\x1b[2JOK  fake.avi\n\t\r\x7f\\x41", true, "\\x1b[2JOK  fake.avi\\x0a\\x09\\x0d\\x7f\\\\x41"},
    // A line separator, a C1 next line, a right-to-left override.
    {"a\xe2\x80\xa8\xc2\x85\xe2\x80\xaeiva.exe", true,
     "a\\xe2\\x80\\xa8\\xc2\\x85\\xe2\\x80\\xaeiva.exe"},
    {"<a href='x'>&amp;\"", true, "<a href='x'>&amp;\""},
    {"car \xf0\x9f\x9a\x97 \xec\xa3\xbc\xed\x96\x89 \xef\xbf\xbe", true,  // U+FFFE last
     "car \xf0\x9f\x9a\x97 \xec\xa3\xbc\xed\x96\x89 \xef\xbf\xbe"},
    {"a\xff\xfe", false, "a\\xff\\xfe"},
    {"\xc0\xaf", false, "\\xc0\\xaf"},                    // an overlong "/"
    {"x\xe2\x82", false, "x\\xe2\\x82"},                  // cut off
    {"\xed\xa0\x80", false, "\\xed\\xa0\\x80"},           // a surrogate
    {"\xf4\x90\x80\x80", false, "\\xf4\\x90\\x80\\x80"},  // past U+10FFFF
};

TEST(SafeText, HostileNamesTakeTheirTerminalForm) {
  for (const auto& h : kHostile) {
    EXPECT_EQ(IsValidUtf8(h.bytes), h.utf8) << h.terminal;
    EXPECT_EQ(TerminalText(h.bytes), h.terminal);
  }
}

// python3's json and xml.etree read every name back: the JSON with each invalid byte as U+FFFD,
// the XML text and attribute also with what XML forbids or discourages as U+FFFD.
TEST(SafeText, PythonReadsTheNamesBackFromJsonAndXml) {
  const TempDir dir;
  std::string raw, json = "[", xml = "<names>";
  for (const auto& h : kHostile) {
    raw += (raw.empty() ? "" : std::string(1, '\0')) + h.bytes;
    json += (json.size() > 1 ? "," : "") + JsonString(h.bytes);
    xml += "<n a=\"" + XmlText(h.bytes) + "\">" + XmlText(h.bytes) + "</n>";
  }
  WriteText(dir.File("names"), raw);
  WriteText(dir.File("names.json"), json + "]");
  WriteText(dir.File("names.xml"), xml + "</names>");
  WriteText(dir.File("check.py"), R"py(import json, re, sys, xml.etree.ElementTree as et
raw = open(sys.argv[1], 'rb').read().split(b'\0')
want = [re.sub('[\udc80-\udcff]', '\ufffd', r.decode('utf-8', 'surrogateescape')) for r in raw]
names = json.load(open(sys.argv[2], encoding='utf-8'))
root = et.parse(sys.argv[3]).getroot()
def xml(s):
    return ''.join('\ufffd' if (ord(c) < 32 and c not in '\t\n\r') or 0x7f <= ord(c) <= 0x9f
                   or c in '\ufffe\uffff' else c for c in s)
assert len(want) == len(names) == len(root), (len(want), len(names), len(root))
for w, name, node in zip(want, names, root):
    assert name == w and node.text == node.get('a') == xml(w), (w, name, node.text, node.get('a'))
print('read back')
)py");
  EXPECT_EQ(CommandOutput("cd " + dir.Path().string() +
                          " && python3 check.py names names.json names.xml 2>&1"),
            "read back\n");
}

}  // namespace
