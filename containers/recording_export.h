// Copies recordings chunk by chunk from a recording parser into AVI files: nothing is
// decoded; video, audio and the sensor records (the text stream) go in as the card has them.
// The window's export thread and `roadkeep-tool export` run this same code.
//
// Threads: one exporter is driven by one thread at a time. The busy flag may be cleared from
// any thread; the copy sees it before the next chunk and finishes the current file short.
#pragma once

#include <atomic>
#include <cstdint>
#include <string>
#include <vector>

#include "containers/media_parser.h"

class CAVIWriter;

inline constexpr int kExportChunkBufferSize = 0x100000;  // 1 MiB, the largest chunk
inline constexpr size_t kMaxExportPathBytes = 4095;      // PATH_MAX less the terminator
inline constexpr size_t kMaxExportNameBytes = 255;       // NAME_MAX

enum class ExportOutcome {
  kComplete,     // every chunk of the recording was copied
  kFramesLost,   // read to its end, but frames the store lost to damage are missing from the
                 // file (the counts say which camera's)
  kReadError,    // reading ended before the recording's last frame; the file holds what came
  kCancelled,    // the frame callback asked to stop; no file left
  kStopped,      // the busy flag was cleared (card removed, window closed); no file left
  kBadName,      // the name cannot be a file name in the folder; nothing read or written
  kNotOpened,    // the recording cannot be opened; no file
  kDamaged,      // its header holds values nothing can stand in for (detail); no file
  kExists,       // a file of that name is in the folder and was not to be replaced
  kNotCreated,   // the destination cannot be created; nothing written
  kWriteFailed,  // a write failed (disk full, file too large); no file left, an older one kept
};

struct ExportResult {
  std::string name;
  std::string path;    // the file written; empty when none was
  std::string detail;  // the system's error text, or the damage of kDamaged
  ExportOutcome outcome = ExportOutcome::kComplete;
  int32_t framesCopied = 0;    // front video frames
  int32_t framesExpected = 0;  // front frame count the recording states
  int32_t rearCopied = 0;      // rear video frames
  int32_t rearExpected = 0;    // rear frame count the recording states; 0 without a rear camera
};

// One recording to copy: what the parser opens, the name reports show, and the file it
// becomes in the export folder.
struct ExportJob {
  MediaSource source;
  std::string name;
  std::string fileName;
  bool replace = false;  // a file of that name in the folder may be replaced
};

// What happens to a file of the job's name that is already in the folder.
enum class ExistingFiles { kRefuse, kReplace, kKeepBoth };

// Gives each job its file: the recording's name, or "NAME (2).avi", "NAME (3).avi", ... for a
// name an earlier job took, and with kKeepBoth for one a file in the folder has.
void PlanExportFiles(const std::string& folder, ExistingFiles existing,
                     std::vector<ExportJob>* jobs);

// Called before each front-video frame is written with the frame's index from 0 and the
// recording's front frame count; false asks the copy to stop after that frame.
using ExportFrameCallback = bool (*)(void* context, int frame, int total);

// Whether a name from the card can be a file name in the export folder: not empty, not only
// dots and blanks, no path separator, no "..", valid UTF-8 without a control character, line
// separator or bidirectional mark (platform/safe_text.h), at most NAME_MAX bytes.
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

  // Copies recording source into a file at destination. The copy is written under a
  // temporary name in the same folder and renamed into place only when it holds what it
  // says and has reached the disk; a cancelled, stopped or failed copy leaves nothing. An
  // existing file there is replaced only when `replace` (and only a regular file).
  ExportResult ConvertRecording(const MediaSource& source, const char* destination, bool replace,
                                void* context, ExportFrameCallback callback);

  // Copies the jobs into folder, one file each, while the busy flag stays set before each
  // file. Unusable names are skipped; no folder (an empty one) copies nothing. Our own
  // temporary files left there by an export that died are removed first. One result per
  // job tried.
  std::vector<ExportResult> ExportAll(const std::string& folder,
                                      const std::vector<ExportJob>& jobs, Observer& observer);

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
