#include "platform/ini_profile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <memory>

#include "platform/part_file.h"

namespace {

std::atomic<IniSaveHook> g_saveHook{nullptr};

constexpr std::string_view kByteOrderMark = "\xEF\xBB\xBF";
constexpr char kTempPrefix[] = ".rk-save-";  // a CPartFile beside the file it replaces

// A lone carriage return (a last line without its line feed) counts as a blank.
bool IsBlank(char c) { return c == ' ' || c == '\t' || c == '\r'; }

std::string_view Trim(std::string_view s) {
  while (!s.empty() && IsBlank(s.front())) s.remove_prefix(1);
  while (!s.empty() && IsBlank(s.back())) s.remove_suffix(1);
  return s;
}

char Lower(char c) { return (c >= 'A' && c <= 'Z') ? static_cast<char>(c - 'A' + 'a') : c; }

bool SameName(std::string_view a, std::string_view b) {
  if (a.size() != b.size()) return false;
  for (size_t i = 0; i < a.size(); ++i) {
    if (Lower(a[i]) != Lower(b[i])) return false;
  }
  return true;
}

// The name of a section header line, or nullopt when the line is none.
std::optional<std::string_view> SectionName(std::string_view line) {
  line = Trim(line);
  if (line.empty() || line.front() != '[') return std::nullopt;
  const size_t close = line.find(']');
  if (close == std::string_view::npos) return std::nullopt;
  return Trim(line.substr(1, close - 1));
}

// A "key=value" line: the key, and where its value starts in the line.
struct KeyLine {
  std::string_view key;
  size_t valueStart = 0;
};

std::optional<KeyLine> ParseKey(std::string_view line) {
  const std::string_view body = Trim(line);
  if (body.empty() || body.front() == ';' || body.front() == '#' || body.front() == '[') {
    return std::nullopt;
  }
  const size_t equals = line.find('=');
  if (equals == std::string_view::npos) return std::nullopt;
  const std::string_view key = Trim(line.substr(0, equals));
  if (key.empty()) return std::nullopt;
  size_t start = equals + 1;
  while (start < line.size() && IsBlank(line[start])) ++start;
  return KeyLine{key, start};
}

// Where a value stands in its line, without the blanks and the matching quotes around it.
struct Span {
  size_t begin = 0, end = 0;
};

Span ValueSpan(std::string_view line, size_t start) {
  size_t end = line.size();
  while (end > start && IsBlank(line[end - 1])) --end;
  if (end - start >= 2 && (line[start] == '"' || line[start] == '\'') &&
      line[end - 1] == line[start]) {
    return {start + 1, end - 1};
  }
  return {start, end};
}

std::string ValueOf(std::string_view line, size_t start) {
  const Span span = ValueSpan(line, start);
  return std::string(line.substr(span.begin, span.end - span.begin));
}

bool HasBreak(std::string_view s) { return s.find_first_of("\r\n") != std::string_view::npos; }

bool WritableName(std::string_view name, char forbidden) {
  return !name.empty() && Trim(name).size() == name.size() && !HasBreak(name) &&
         name.find(forbidden) == std::string_view::npos && name.find('\0') == std::string::npos;
}

std::string Cut(std::string_view text, int size) {
  if (size < 1) return std::string();
  return std::string(text.substr(0, static_cast<size_t>(size - 1)));
}

bool WriteAll(int fd, std::string_view bytes) {
  size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) return false;
    done += static_cast<size_t>(n);
  }
  return true;
}

std::string FolderOf(const std::string& path) {
  const size_t slash = path.rfind('/');
  if (slash == std::string::npos) return ".";
  return slash == 0 ? "/" : path.substr(0, slash);
}

// The file a save replaces: path itself, or the file a link there leads to, so the link
// stays a link. Empty for a link to nothing.
std::string SaveTarget(const std::string& path, LinkPolicy links) {
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0 || !S_ISLNK(info.st_mode)) return path;
  if (links == LinkPolicy::kRefuse) return std::string();
  const std::unique_ptr<char, decltype(&std::free)> real(::realpath(path.c_str(), nullptr),
                                                         &std::free);
  return real ? std::string(real.get()) : std::string();
}

}  // namespace

CIniText::CIniText(std::string_view bytes) {
  if (bytes.substr(0, kByteOrderMark.size()) == kByteOrderMark) {
    m_bom = std::string(kByteOrderMark);
    bytes.remove_prefix(kByteOrderMark.size());
  }
  while (!bytes.empty()) {
    const size_t feed = bytes.find('\n');
    Line line;
    if (feed == std::string_view::npos) {
      line.text = std::string(bytes);
      bytes = {};
    } else {
      const bool cr = feed > 0 && bytes[feed - 1] == '\r';
      line.text = std::string(bytes.substr(0, cr ? feed - 1 : feed));
      line.ending = cr ? "\r\n" : "\n";
      bytes.remove_prefix(feed + 1);
    }
    m_lines.push_back(std::move(line));
  }
}

bool CIniText::FindSection(std::string_view section, size_t* begin, size_t* end) const {
  for (size_t i = 0; i < m_lines.size(); ++i) {
    const auto name = SectionName(m_lines[i].text);
    if (!name || !SameName(*name, section)) continue;
    size_t j = i + 1;
    while (j < m_lines.size() && !SectionName(m_lines[j].text)) ++j;
    *begin = i + 1;
    *end = j;
    return true;
  }
  return false;
}

std::optional<std::string> CIniText::Get(std::string_view section, std::string_view key) const {
  size_t begin = 0, end = 0;
  if (!FindSection(section, &begin, &end)) return std::nullopt;
  for (size_t i = begin; i < end; ++i) {
    const auto parsed = ParseKey(m_lines[i].text);
    if (parsed && SameName(parsed->key, key)) return ValueOf(m_lines[i].text, parsed->valueStart);
  }
  return std::nullopt;
}

std::string CIniText::NewLineEnding() const {
  for (const Line& line : m_lines) {
    if (!line.ending.empty()) return line.ending;
  }
  return "\n";
}

bool CIniText::Set(std::string_view section, std::string_view key, std::string_view value) {
  if (!WritableName(section, ']') || !WritableName(key, '=') || HasBreak(value)) return false;
  const std::string ending = NewLineEnding();
  size_t begin = 0, end = 0;
  if (!FindSection(section, &begin, &end)) {
    if (!m_lines.empty() && m_lines.back().ending.empty()) m_lines.back().ending = ending;
    m_lines.push_back({"[" + std::string(section) + "]", ending});
    m_lines.push_back({std::string(key) + "=" + std::string(value), ending});
    return true;
  }
  for (size_t i = begin; i < end; ++i) {
    const auto parsed = ParseKey(m_lines[i].text);
    if (parsed && SameName(parsed->key, key)) {
      const Span span = ValueSpan(m_lines[i].text, parsed->valueStart);
      m_lines[i].text.replace(span.begin, span.end - span.begin, value);
      return true;
    }
  }
  size_t after = begin;  // just below the header, or below the section's last non-blank line
  for (size_t i = begin; i < end; ++i) {
    if (!Trim(m_lines[i].text).empty()) after = i + 1;
  }
  if (m_lines[after - 1].ending.empty()) m_lines[after - 1].ending = ending;
  m_lines.insert(m_lines.begin() + static_cast<std::ptrdiff_t>(after),
                 Line{std::string(key) + "=" + std::string(value), ending});
  return true;
}

std::string CIniText::Bytes() const {
  std::string out = m_bom;
  for (const Line& line : m_lines) out += line.text + line.ending;
  return out;
}

bool LoadIniFile(const std::string& path, std::string* bytes, LinkPolicy links) {
  bytes->clear();
  struct stat info {};
  if (::lstat(path.c_str(), &info) != 0) return errno == ENOENT;
  if (S_ISLNK(info.st_mode) && links == LinkPolicy::kRefuse) return false;
  const int fd = links == LinkPolicy::kRefuse ? OpenRegularFile(path)
                                              : ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (fd < 0) return errno == ENOENT;  // gone since the lstat: missing
  // Sizes come from this fstat, not from a seek that folders and devices answer with nonsense.
  if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) ||
      static_cast<size_t>(info.st_size) > kMaxIniBytes) {
    ::close(fd);
    return false;
  }
  char chunk[16384];
  ssize_t n = 0;
  while ((n = ::read(fd, chunk, sizeof chunk)) != 0) {
    if (n < 0 && errno == EINTR) continue;
    if (n < 0 || bytes->size() + static_cast<size_t>(n) > kMaxIniBytes) {
      ::close(fd);
      bytes->clear();
      return false;
    }
    bytes->append(chunk, static_cast<size_t>(n));
  }
  ::close(fd);
  return true;
}

bool SaveFileWhole(const std::string& linkOrFile, std::string_view bytes, LinkPolicy links) {
  const std::string path = SaveTarget(linkOrFile, links);
  if (path.empty()) return false;
  struct stat old {};
  if (::lstat(path.c_str(), &old) == 0 && !S_ISREG(old.st_mode)) return false;
  RemoveDeadParts(FolderOf(path), kTempPrefix);
  CPartFile part;
  if (part.Create(path, kTempPrefix) != 0) return false;
  if (!WriteAll(part.Fd(), bytes)) return false;
  if (IniSaveHook hook = g_saveHook.load()) hook(part.Path());
  return part.MoveIntoPlace(true) == 0;
}

void SetIniSaveHookForTest(IniSaveHook hook) { g_saveHook.store(hook); }

std::string ReadIniString(const char* section, const char* key, const char* defaultValue, int size,
                          const char* path, LinkPolicy links) {
  const std::string_view fallback = defaultValue ? defaultValue : "";
  std::string bytes;
  if (path == nullptr || section == nullptr || key == nullptr || !LoadIniFile(path, &bytes, links)) {
    return Cut(fallback, size);
  }
  const auto value = CIniText(bytes).Get(section, key);
  return Cut(value ? std::string_view(*value) : fallback, size);
}

bool WriteIniString(const char* section, const char* key, const char* value, const char* path,
                    LinkPolicy links) {
  if (path == nullptr || section == nullptr || key == nullptr || value == nullptr) return false;
  const IniEntry entry{section, key, value};
  return WriteIniStrings(path, std::span<const IniEntry>(&entry, 1), links);
}

bool WriteIniStrings(const std::string& path, std::span<const IniEntry> entries,
                     LinkPolicy links) {
  std::string bytes;
  if (path.empty() || !LoadIniFile(path, &bytes, links)) return false;
  CIniText text(bytes);
  for (const IniEntry& e : entries) {
    if (!text.Set(e.section, e.key, e.value)) return false;
  }
  return SaveFileWhole(path, text.Bytes(), links);
}
