#include "tools/evidence_package.h"

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>

#include "platform/sha256.h"

namespace fs = std::filesystem;

namespace {

std::string Quoted(const std::string& text) {
  std::string out = "\"";
  for (const char c : text) {
    if (c == '"' || c == '\\') {
      out += '\\';
      out += c;
    } else if (static_cast<unsigned char>(c) < 0x20) {
      char escaped[8];
      std::snprintf(escaped, sizeof escaped, "\\u%04x", static_cast<unsigned>(c));
      out += escaped;
    } else {
      out += c;
    }
  }
  return out + "\"";
}

// The string starting at the quote at text[at]; npos past its end when there is none.
size_t ReadQuoted(const std::string& text, size_t at, std::string* value) {
  value->clear();
  if (at >= text.size() || text[at] != '"') return std::string::npos;
  for (size_t i = at + 1; i < text.size(); ++i) {
    if (text[i] == '"') return i + 1;
    if (text[i] == '\\' && i + 1 < text.size()) {
      ++i;
      if (text[i] == 'u' && i + 4 < text.size()) {
        *value += static_cast<char>(std::strtol(text.substr(i + 1, 4).c_str(), nullptr, 16));
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

std::vector<VerifyLine> VerifyPackage(const std::string& folder) {
  std::ifstream in(fs::path(folder) / kSumsFile, std::ios::binary);
  if (!in) return {{VerifyStatus::kNoSums, kSumsFile}};
  std::vector<PackageFile> sums;
  if (!ParseSums(std::string(std::istreambuf_iterator<char>(in), {}), &sums)) {
    return {{VerifyStatus::kBadSums, kSumsFile}};
  }
  std::map<std::string, VerifyStatus> lines;
  std::map<std::string, std::string> listed;
  for (const PackageFile& f : sums) {
    listed[f.name] = f.sha256;
    int error = 0;
    const std::string hash = Sha256OfFile((fs::path(folder) / f.name).string(), &error);
    lines[f.name] = hash.empty()
                        ? (error == ENOENT ? VerifyStatus::kMissing : VerifyStatus::kChanged)
                    : hash == f.sha256 ? VerifyStatus::kOk
                                       : VerifyStatus::kChanged;
  }
  std::error_code error;
  for (const fs::directory_entry& e : fs::directory_iterator(folder, error)) {
    const std::string name = e.path().filename().string();
    if (name != kSumsFile && listed.count(name) == 0) lines[name] = VerifyStatus::kAdded;
  }
  // The manifest's own list must say what SHA256SUMS says of the same files.
  std::ifstream manifest(fs::path(folder) / kManifestFile, std::ios::binary);
  std::vector<PackageFile> described;
  if (manifest &&
      ReadManifestFiles(std::string(std::istreambuf_iterator<char>(manifest), {}), &described)) {
    for (const PackageFile& f : described) {
      const auto it = listed.find(f.name);
      if ((it == listed.end() || it->second != f.sha256) && lines[f.name] == VerifyStatus::kOk) {
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
  switch (line.status) {
    case VerifyStatus::kOk:
      return "OK  " + line.file;
    case VerifyStatus::kChanged:
      return "CHANGED  " + line.file;
    case VerifyStatus::kMissing:
      return "MISSING  " + line.file;
    case VerifyStatus::kAdded:
      return "ADDED  " + line.file;
    case VerifyStatus::kNoSums:
      return "NO SHA256SUMS";
    case VerifyStatus::kBadSums:
      return "UNREADABLE  " + line.file;
    case VerifyStatus::kManifestDiffers:
      return "MANIFEST DIFFERS  " + line.file;
  }
  return line.file;
}
