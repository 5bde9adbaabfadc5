// Private-profile INI access: one value read with a default and a buffer size, values written
// with the file saved whole, section and key names without regard to (ASCII) case.
//
// The file is held line by line (CIniText), so a write changes only the line of the key it
// sets, or adds one line: comments, blank lines, unknown sections and keys, odd spacing and
// each line's own ending (CR LF or LF) stay byte for byte; a changed value keeps the blanks
// and quotes around it. New lines take the ending of the file's first line. A UTF-8
// byte-order mark at the start is not part of the first line and stays at the start. Syntax:
// "[name]" opens a section; "key=value" lines belong to the section above them (names and values
// trimmed of blanks, a value's matching outer quotes dropped); lines starting with ';' or '#', and
// anything else, are kept and never matched. The first section of a name and the first key of a
// name in it are the ones read and set.
//
// Saving: a temporary file (platform/part_file.h, ".rk-save-...part") in the same folder,
// flushed to the device, then renamed over the old one, so an interrupted or failed save leaves
// the old file whole; the next save there removes what such a save left. A path that is a
// symbolic link is refused (read as missing-or-unreadable, never written), unless the caller
// owns the folder and asks to follow it (LinkPolicy::kFollow: the viewer's own config, which a
// user may keep as a link): then the file it leads to is saved, in that file's folder, and the
// link stays. Any thread; no locking between processes.
#pragma once

#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

class CIniText {
 public:
  CIniText() = default;
  explicit CIniText(std::string_view bytes);

  // The first value of key in the first section named section; nullopt when either is missing.
  std::optional<std::string> Get(std::string_view section, std::string_view key) const;
  // Replaces the value where the key stands, else adds "key=value" after the last non-blank
  // line of the section, else adds the section and the key at the end. False, changing
  // nothing, for names that could not be read back (empty, with line breaks, '=' in a key,
  // ']' in a section, blanks at either end) or a value with a line break.
  bool Set(std::string_view section, std::string_view key, std::string_view value);
  std::string Bytes() const;

 private:
  struct Line {
    std::string text;    // without its ending
    std::string ending;  // "\r\n", "\n" or "" (the last line of a file without a final break)
  };
  // The range [begin, end) of lines after the header of the first section named section;
  // begin is 0 when there is none.
  bool FindSection(std::string_view section, size_t* begin, size_t* end) const;
  std::string NewLineEnding() const;

  std::string m_bom;  // the UTF-8 byte-order mark the text started with, or empty
  std::vector<Line> m_lines;
};

// Whether a link at the path's end is refused (files on a card or beside a user's files) or
// followed (the viewer's own settings, in the user's own folder).
enum class LinkPolicy { kRefuse, kFollow };

struct IniEntry {
  std::string section;
  std::string key;
  std::string value;
};

// The value of key in section of the file at path, at most size - 1 bytes of it (as a
// profile read into a size-byte buffer). defaultValue (cut the same way) when the file,
// the section or the key is missing or the file cannot be read. size < 1 gives "".
std::string ReadIniString(const char* section, const char* key, const char* defaultValue, int size,
                          const char* path, LinkPolicy links = LinkPolicy::kRefuse);

// Sets key in section (both made when missing) and saves the file. False, with the file
// unchanged, when it cannot be read or written.
bool WriteIniString(const char* section, const char* key, const char* value, const char* path,
                    LinkPolicy links = LinkPolicy::kRefuse);

// Sets every entry, in order, and saves the file once. False, with the file unchanged, when
// it cannot be read, an entry cannot be set or the file cannot be written.
bool WriteIniStrings(const std::string& path, std::span<const IniEntry> entries,
                     LinkPolicy links = LinkPolicy::kRefuse);

// The whole file at path into bytes. A missing file is empty and true; a folder, device,
// unreadable file, one over kMaxIniBytes or (with kRefuse) a link is false. A FIFO never blocks.
constexpr size_t kMaxIniBytes = 4u << 20;
bool LoadIniFile(const std::string& path, std::string* bytes,
                 LinkPolicy links = LinkPolicy::kRefuse);
// Replaces (or creates) path with bytes through a flushed temporary file renamed over it. A
// link is refused (kRefuse) or followed to the file it leads to (kFollow; a link to nothing is
// refused). False, with the old file as it was and no temporary file left, when any step fails.
bool SaveFileWhole(const std::string& path, std::string_view bytes,
                   LinkPolicy links = LinkPolicy::kRefuse);

// Runs after the temporary file is flushed and before the rename; tests stop a save there
// as a pulled card would. Null (the default) runs nothing.
using IniSaveHook = void (*)(const std::string& tempPath);
void SetIniSaveHookForTest(IniSaveHook hook);
