#include "tools/evidence_package.h"

#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <set>
#include <string_view>
#include <utility>
#include <sstream>

#include "platform/safe_text.h"
#include "platform/sha256.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) { return roadkeep::platform::JsonString(text); }

// The string starting at the quote at text[at], as JsonString writes one (its "\uXXXX" read
// as UTF-8); npos past its end when there is none.
size_t ReadQuoted(const std::string& text, size_t at, std::string* value) {
  value->clear();
  if (at >= text.size() || text[at] != '"') return std::string::npos;
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] == '"') return i + 1;
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      if (text[i] == 'u' && i + 4 < text.size()) {
        auto code = static_cast<char32_t>(std::strtoul(text.substr(i + 1, 4).c_str(), nullptr, 16));
        if (code >= 0xD800 && code <= 0xDFFF) code = 0xFFFD;  // we never write surrogates
        roadkeep::platform::AppendUtf8(code, value);
        i += 4;
        continue;
      }
    }
    *value += text[i];
  }
  return std::string::npos;
}

std::string FileLine(const PackageFile& f) {
  return "{\"file\": " + Quoted(f.name) + ", \"sha256\": " + Quoted(f.sha256) + "}";
}

bool IsHex64(const std::string& s) {
  if (s.size() != 64) return false;
  for (const char c : s) {
    if (!((c >= '0' && c <= '9') || (c >= 'a' && c <= 'f'))) return false;
  }
  return true;
}

}  // namespace

std::string ManifestJson(const Manifest& m) {
  std::ostringstream o;
  o << "{\n  \"tool\": " << Quoted(m.tool) << ",\n  \"version\": " << Quoted(m.version)
    << ",\n  \"created_utc\": " << Quoted(m.createdUtc)
    << ",\n  \"complete\": " << (m.complete ? "true" : "false") << ",\n";
  if (!m.failure.empty()) o << "  \"failure\": " << Quoted(m.failure) << ",\n";
  o << "  \"card\": {\"card_id\": " << Quoted(m.cardId)
    << ", \"formatted\": " << Quoted(m.cardFormatted)
    << ", \"volume_file_sha256\": " << Quoted(m.volumeSha256) << "},\n  \"recordings\": [";
  for (size_t i = 0; i < m.recordings.size(); ++i) {
    const ManifestRecording& r = m.recordings[i];
    o << (i == 0 ? "\n" : ",\n") << "    {\"name\": " << Quoted(r.name)
      << ", \"index\": " << r.index << ", \"kind\": " << Quoted(r.kind)
      << ", \"start\": " << Quoted(r.start) << ", \"duration_ms\": " << r.durationMs
      << ", \"cameras\": " << r.cameras << ",\n     \"damage\": " << Quoted(r.damage)
      << ", \"copy\": " << Quoted(r.copy) << ", \"front_frames_skipped\": " << r.frontSkipped
      << ", \"rear_frames_skipped\": " << r.rearSkipped
      << ",\n     \"store_entry\": {\"file\": " << Quoted(r.storeFile)
      << ", \"offset\": " << r.entryOffset << ", \"bytes\": " << r.entryBytes
      << ", \"sha256\": " << Quoted(r.entrySha256) << "},\n     \"files\": [";
    for (size_t f = 0; f < r.files.size(); ++f) o << (f == 0 ? "" : ", ") << Quoted(r.files[f]);
    o << "]}";
  }
  o << "\n  ],\n  \"package_files\": [";
  for (size_t i = 0; i < m.files.size(); ++i) {
    o << (i == 0 ? "\n    " : ",\n    ") << FileLine(m.files[i]);
  }
  o << "\n  ]\n}\n";
  return o.str();
}

bool ReadManifestFiles(const std::string& json, std::vector<PackageFile>* files) {
  files->clear();
  const size_t start = json.find("\"package_files\": [");
  if (start == std::string::npos) return false;
  std::istringstream in(json.substr(start));
  std::string line;
  std::getline(in, line);
  while (std::getline(in, line)) {
    const size_t open = line.find("{\"file\": ");
    if (open == std::string::npos) break;
    PackageFile f;
    size_t at = ReadQuoted(line, open + 9, &f.name);
    if (at == std::string::npos || line.compare(at, 12, ", \"sha256\": ") != 0) return false;
    if (ReadQuoted(line, at + 12, &f.sha256) == std::string::npos) return false;
    files->push_back(std::move(f));
  }
  return true;
}

std::string SumsText(const std::vector<PackageFile>& files) {
  std::string text;
  for (const PackageFile& f : files) text += f.sha256 + "  " + f.name + "\n";
  return text;
}

bool ParseSums(const std::string& text, std::vector<PackageFile>* files) {
  files->clear();
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.size() < 67 || !IsHex64(line.substr(0, 64)) || line[64] != ' ' ||
        (line[65] != ' ' && line[65] != '*')) {
      return false;
    }
    files->push_back({line.substr(66), line.substr(0, 64)});
  }
  return true;
}

std::string IsoTime(int64_t seconds, bool utc) {
  const std::time_t t = static_cast<std::time_t>(seconds);
  std::tm tm{};
  if (gmtime_r(&t, &tm) == nullptr) return "";
  char text[32];
  std::strftime(text, sizeof text, utc ? "%Y-%m-%dT%H:%M:%SZ" : "%Y-%m-%d %H:%M:%S", &tm);
  return text;
}

OutFolder OutFolderState(const std::string& path) {
  std::error_code error;
  const fs::file_status status = fs::symlink_status(path, error);
  if (status.type() == fs::file_type::not_found) return OutFolder::kMissing;
  if (error) return OutFolder::kUnreadable;
  if (status.type() != fs::file_type::directory) return OutFolder::kNotFolder;
  fs::directory_iterator it(path, error);
  if (error) return OutFolder::kUnreadable;
  return it == fs::directory_iterator() ? OutFolder::kEmpty : OutFolder::kHoldsFiles;
}

namespace {

// An open file descriptor, closed when dropped.
class CFd {
 public:
  explicit CFd(int fd = -1) : m_fd(fd) {}
  CFd(CFd&& other) noexcept : m_fd(std::exchange(other.m_fd, -1)) {}
  CFd& operator=(CFd&& other) noexcept {
    std::swap(m_fd, other.m_fd);
    return *this;
  }
  CFd(const CFd&) = delete;
  CFd& operator=(const CFd&) = delete;
  ~CFd() {
    if (m_fd >= 0) ::close(m_fd);
  }
  int Get() const { return m_fd; }

 private:
  int m_fd;
};

// A name SHA256SUMS may hold: "a" or "a/b", no empty, "." or ".." part, no NUL.
bool IsPlainRelativePath(const std::string& name) {
  if (name.empty() || name.find('\0') != std::string::npos) return false;
  for (size_t start = 0;;) {
    const size_t end = name.find('/', start);
    const std::string_view part = std::string_view(name).substr(start, end - start);
    if (part.empty() || part == "." || part == "..") return false;
    if (end == std::string::npos) return true;
    start = end + 1;
  }
}

// Opens name in the package folder for reading, following no link on the way or at the end
// and never blocking on a FIFO: kOk with *file a regular file, else why not.
VerifyStatus OpenInside(int folder, const std::string& name, CFd* file) {
  if (!IsPlainRelativePath(name)) return VerifyStatus::kRefused;
  CFd owned;
  int at = folder;
  size_t start = 0;
  for (size_t slash; (slash = name.find('/', start)) != std::string::npos; start = slash + 1) {
    const std::string part = name.substr(start, slash - start);
    CFd next(::openat(at, part.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (next.Get() < 0) {
      const int error = errno;
      struct stat st;
      if (error == ENOTDIR && ::fstatat(at, part.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 &&
          S_ISLNK(st.st_mode)) {
        return VerifyStatus::kRefused;
      }
      return error == ENOENT || error == ENOTDIR ? VerifyStatus::kMissing
                                                 : VerifyStatus::kUnreadable;
    }
    owned = std::move(next);
    at = owned.Get();
  }
  CFd opened(::openat(at, name.c_str() + start, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC));
  if (opened.Get() < 0) {
    switch (errno) {
      case ENOENT: return VerifyStatus::kMissing;
      case ELOOP: return VerifyStatus::kRefused;
      case ENXIO: return VerifyStatus::kNotRegular;  // a socket
      default: return VerifyStatus::kUnreadable;
    }
  }
  struct stat st;
  if (::fstat(opened.Get(), &st) != 0) return VerifyStatus::kUnreadable;
  if (!S_ISREG(st.st_mode)) return VerifyStatus::kNotRegular;
  *file = std::move(opened);
  return VerifyStatus::kOk;
}

// The whole of a regular file of the package; kOk or why not.
VerifyStatus ReadInside(int folder, const std::string& name, std::string* text) {
  CFd file;
  const VerifyStatus status = OpenInside(folder, name, &file);
  if (status != VerifyStatus::kOk) return status;
  text->clear();
  char buffer[65536];
  for (;;) {
    const ssize_t n = ::read(file.Get(), buffer, sizeof buffer);
    if (n == 0) return VerifyStatus::kOk;
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return VerifyStatus::kUnreadable;
    text->append(buffer, static_cast<size_t>(n));
  }
}

// Each file of the sums hashed through the descriptor OpenInside gave.
VerifyStatus CheckFile(int folder, const PackageFile& f) {
  CFd file;
  const VerifyStatus status = OpenInside(folder, f.name, &file);
  if (status != VerifyStatus::kOk) return status;
  int error = 0;
  const std::string hash = Sha256OfFd(file.Get(), &error);
  if (hash.empty()) return VerifyStatus::kUnreadable;
  return hash == f.sha256 ? VerifyStatus::kOk : VerifyStatus::kChanged;
}

}  // namespace

std::vector<VerifyLine> VerifyPackage(const std::string& folderPath) {
  const CFd folder(::open(folderPath.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC));
  if (folder.Get() < 0) return {{VerifyStatus::kNoSums, kSumsFile}};
  std::string text;
  switch (ReadInside(folder.Get(), kSumsFile, &text)) {
    case VerifyStatus::kOk: break;
    case VerifyStatus::kMissing: return {{VerifyStatus::kNoSums, kSumsFile}};
    default: return {{VerifyStatus::kBadSums, kSumsFile}};
  }
  std::vector<PackageFile> sums;
  if (!ParseSums(text, &sums)) return {{VerifyStatus::kBadSums, kSumsFile}};
  std::map<std::string, VerifyStatus> lines;
  std::map<std::string, std::string> listed;
  std::set<std::string> topLevel;  // the first part of each name listed
  for (const PackageFile& f : sums) {
    // A second line for a name fails it, whatever either says.
    if (!listed.emplace(f.name, f.sha256).second) {
      lines[f.name] = VerifyStatus::kDuplicate;
      continue;
    }
    lines[f.name] = CheckFile(folder.Get(), f);
    topLevel.insert(f.name.substr(0, f.name.find('/')));
  }
  if (DIR* dir = ::fdopendir(::dup(folder.Get()))) {
    while (const dirent* e = ::readdir(dir)) {
      const std::string name = e->d_name;
      if (name == "." || name == ".." || name == kSumsFile) continue;
      if (topLevel.count(name) == 0) lines[name] = VerifyStatus::kAdded;
    }
    ::closedir(dir);
  }
  // The manifest's own list must say what SHA256SUMS says of the same files.
  std::vector<PackageFile> described;
  if (ReadInside(folder.Get(), kManifestFile, &text) == VerifyStatus::kOk &&
      ReadManifestFiles(text, &described)) {
    for (const PackageFile& f : described) {
      const auto it = listed.find(f.name);
      const auto line = lines.find(f.name);
      if (it != listed.end() && it->second == f.sha256) continue;
      if (line == lines.end() || line->second == VerifyStatus::kOk) {
        lines[f.name] = VerifyStatus::kManifestDiffers;
      }
    }
  } else if (listed.count(kManifestFile) == 0) {
    lines[kManifestFile] = VerifyStatus::kMissing;
  }
  std::vector<VerifyLine> out;
  for (const auto& [name, status] : lines) out.push_back({status, name});
  return out;
}

std::string VerifyLineText(const VerifyLine& line) {
  const std::string file = roadkeep::platform::TerminalText(line.file);
  switch (line.status) {
    case VerifyStatus::kOk:
      return "OK  " + file;
    case VerifyStatus::kChanged:
      return "CHANGED  " + file;
    case VerifyStatus::kMissing:
      return "MISSING  " + file;
    case VerifyStatus::kAdded:
      return "ADDED  " + file;
    case VerifyStatus::kNoSums:
      return "NO SHA256SUMS";
    case VerifyStatus::kBadSums:
    case VerifyStatus::kUnreadable:
      return "UNREADABLE  " + file;
    case VerifyStatus::kManifestDiffers:
      return "MANIFEST DIFFERS  " + file;
    case VerifyStatus::kRefused:
      return "REFUSED  " + file;
    case VerifyStatus::kNotRegular:
      return "NOT A FILE  " + file;
    case VerifyStatus::kDuplicate:
      return "DUPLICATE  " + file;
  }
  return file;
}
