// Copies recordings chunk by chunk from a recording parser into AVI files: nothing is
// decoded, the text stream is left out. The window's export thread and `roadkeep-tool export`
// run this same code.
//
// Threads: one exporter is driven by one thread at a time. The busy flag may be cleared from
// any thread; the copy sees it before the next chunk and finishes the current file short.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

class CAVIWriter;
class VMediaParser;

inline constexpr int kExportChunkBufferSize = 0x100000;  // 1 MiB, the largest chunk
inline constexpr size_t kMaxExportPathBytes = 4095;      // PATH_MAX less the terminator
inline constexpr size_t kMaxExportNameBytes = 255;       // NAME_MAX

enum class ExportOutcome {
  kComplete,     // every chunk of the recording was copied
  kCancelled,    // the frame callback asked to stop; the file holds what was copied
  kStopped,      // the busy flag was cleared (card removed, window closed); file cut short
  kBadName,      // the name cannot be a file name in the folder; nothing read or written
  kNotOpened,    // the recording cannot be opened; no file
  kNotCreated,   // the destination cannot be created; nothing written
  kReadError,    // reading ended before the recording's last frame; file cut short
  kWriteFailed,  // a write came up short (disk full, file too large); file cut short
};

struct ExportResult {
  std::string name;
  std::string path;    // the file written; empty when none was
  std::string detail;  // system error text for kNotCreated and kWriteFailed
  ExportOutcome outcome = ExportOutcome::kComplete;
  int32_t framesCopied = 0;    // front video frames
  int32_t framesExpected = 0;  // front frame count the recording states
};

// Called before each front-video frame is written with the frame's index from 0 and the
// recording's front frame count; false asks the copy to stop after that frame.
using ExportFrameCallback = bool (*)(void* context, int frame, int total);

// Whether a name from the card can be a file name in the export folder: not empty, not only
// dots and blanks, no path separator, no "..", no control character, at most NAME_MAX bytes.
bool IsSafeExportName(const std::string& name);
// folder "/" name (no second "/" after a folder that ends in one); the name alone for an
// empty folder.
std::string JoinExportPath(const std::string& folder, const std::string& name);

class CRecordingExport {
 public:
  // What a batch reports as it goes; called on the exporting thread.
  class Observer {
   public:
    virtual ~Observer() = default;
    // Before file index of count is copied (index from 0).
    virtual void OnFileStart(int index, int count, const std::string& name) = 0;
    // As ExportFrameCallback.
    virtual bool OnFrame(int frame, int total) = 0;
  };

  // The parser and writer are borrowed; busy is the export-busy flag: the copy runs while it
  // is set, and a cancel from the frame callback clears it.
  CRecordingExport(VMediaParser& parser, CAVIWriter& writer, std::atomic<bool>& busy);
  CRecordingExport(const CRecordingExport&) = delete;
  CRecordingExport& operator=(const CRecordingExport&) = delete;

  // Copies recording source into a new file at destination (an existing regular file is
  // replaced). A file cut short is still finished with its index and headers.
  ExportResult ConvertRecording(const char* source, const char* destination, void* context,
                                ExportFrameCallback callback);

  // Copies names into folder, one file each named like the recording, while the busy flag
  // stays set before each file. Unusable names are skipped. One result per name tried.
  std::vector<ExportResult> ExportAll(const std::string& folder,
                                      const std::vector<std::string>& names, Observer& observer);

 private:
  // The next chunk into the buffer (size: capacity in, payload out); false at the end or on
  // a read error.
  bool ReadChunk(char id[4], int* size);

  VMediaParser& m_parser;
  CAVIWriter& m_writer;
  std::atomic<bool>& m_busy;
  std::vector<uint8_t> m_buffer;  // one chunk plus the pad byte of an odd payload
};

// Whether a result leaves the user something to know (a cancel by the user does not).
bool IsExportProblem(const ExportResult& result);
// One English line: what happened to the recording and why.
std::string DescribeExportResult(const ExportResult& result);
