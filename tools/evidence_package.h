// The evidence package's own files: manifest.json, SHA256SUMS (sha256sum -c format) and
// their verification. Qt-free and card-free: the command (evidence_command.cpp) gathers what
// goes in; this writes and checks the texts.
//
// manifest.json keeps the package's file list ("package_files") one object a line, so
// `verify` reads it back without a general JSON reader.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

inline constexpr char kManifestFile[] = "manifest.json";
inline constexpr char kReportFile[] = "report.pdf";
inline constexpr char kSumsFile[] = "SHA256SUMS";

struct PackageFile {
  std::string name;  // in the package folder
  std::string sha256;
};

struct ManifestRecording {
  std::string name;
  int index = 0;
  std::string kind;
  std::string start;  // the recorder's clock, "YYYY-MM-DD hh:mm:ss"
  uint32_t durationMs = 0;
  int cameras = 0;
  std::string damage;
  std::string copy;                           // what the export said of its copy
  int64_t frontSkipped = 0, rearSkipped = 0;  // frames the copy lacks against the recording
  std::string storeFile;                      // "TAT/REC.TAT"
  int64_t entryOffset = 0, entryBytes = 0;
  std::string entrySha256;
  std::vector<std::string> files;  // its files in the package
};

struct Manifest {
  std::string tool, version, createdUtc;
  std::string cardId, cardFormatted, volumeSha256;
  std::vector<ManifestRecording> recordings;
  std::vector<PackageFile> files;
  bool complete = false;
  std::string failure;  // what stopped an incomplete package
};

std::string ManifestJson(const Manifest& manifest);
// The "package_files" of a manifest ManifestJson wrote; false when there is none.
bool ReadManifestFiles(const std::string& json, std::vector<PackageFile>* files);

// "HASH  NAME" lines.
std::string SumsText(const std::vector<PackageFile>& files);
// False for a line that is not "HASH  NAME" (or "HASH *NAME").
bool ParseSums(const std::string& text, std::vector<PackageFile>* files);

// Seconds since 1970 as "YYYY-MM-DDThh:mm:ssZ" (utc) or "YYYY-MM-DD hh:mm:ss".
std::string IsoTime(int64_t seconds, bool utc);

enum class OutFolder { kMissing, kEmpty, kHoldsFiles, kNotFolder, kUnreadable };
OutFolder OutFolderState(const std::string& path);

enum class VerifyStatus {
  kOk,
  kChanged,
  kMissing,
  kAdded,
  kNoSums,
  kBadSums,
  kManifestDiffers,
  kRefused,     // not a plain relative path inside the package, or a link on the way
  kNotRegular,  // a FIFO, device, socket or folder: never read
  kDuplicate,   // named twice in SHA256SUMS
  kUnreadable,  // there, but it cannot be opened or read
};
struct VerifyLine {
  VerifyStatus status = VerifyStatus::kOk;
  std::string file;
};
// Every file of SHA256SUMS hashed again, every other file of the folder reported as added,
// and the manifest's file hashes held against SHA256SUMS. Lines by file name. Nothing outside
// the folder is opened: each name is walked from the folder's descriptor part by part without
// following a link, and only a regular file is read.
std::vector<VerifyLine> VerifyPackage(const std::string& folder);
// "OK  FILE", "CHANGED  FILE", "MISSING  FILE", "ADDED  FILE", "NO SHA256SUMS", "REFUSED  FILE",
// "NOT A FILE  FILE", "DUPLICATE  FILE", ...; the name as TerminalText shows it.
std::string VerifyLineText(const VerifyLine& line);
