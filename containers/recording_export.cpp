#include "containers/recording_export.h"

#include <sys/stat.h>

#include <cerrno>
#include <cstring>

#include "containers/avi_writer.h"
#include "containers/media_parser.h"

namespace {

std::string ErrorText(int error) { return error != 0 ? std::strerror(error) : "write failed"; }

// Size of path on disk, -1 when it cannot be read.
int64_t FileSize(const char* path) {
  struct stat st {};
  return ::stat(path, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

}  // namespace

bool IsSafeExportName(const std::string& name) {
  if (name.empty() || name.size() > kMaxExportNameBytes) return false;
  if (name.find("..") != std::string::npos) return false;
  bool usable = false;
  for (const char c : name) {
    const auto byte = static_cast<unsigned char>(c);
    if (c == '/' || c == '\\' || byte < 0x20 || byte == 0x7F) return false;
    if (c != '.' && c != ' ') usable = true;
  }
  return usable;
}

std::string JoinExportPath(const std::string& folder, const std::string& name) {
  if (folder.empty()) return name;
  return folder.back() == '/' ? folder + name : folder + "/" + name;
}

CRecordingExport::CRecordingExport(VMediaParser& parser, CAVIWriter& writer,
                                   std::atomic<bool>& busy)
    : m_parser(parser), m_writer(writer), m_busy(busy), m_buffer(kExportChunkBufferSize + 1) {}

ExportResult CRecordingExport::ConvertRecording(const char* source, const char* destination,
                                                void* context, ExportFrameCallback callback) {
  ExportResult result;
  result.name = source != nullptr ? source : "";
  MediaInfo info;
  if (source == nullptr || destination == nullptr || m_parser.Open(source, &info) == 0) {
    result.outcome = ExportOutcome::kNotOpened;
    return result;
  }
  result.framesExpected = info.frontFrameCount;
  m_writer.Close();  // a file left open by an earlier copy

  int size[2][2] = {};
  m_parser.GetVideoSize(size[0], 0);
  m_parser.GetVideoSize(size[1], 1);
  int bits = 0, rate = 0;
  m_parser.GetAudioFormat(&bits, &rate);
  m_writer.SetVideoSize(0, size[0][0], size[0][1]);
  m_writer.SetVideoSize(1, size[1][0], size[1][1]);
  m_writer.SetFrameRate(0, info.frontFrameRate);
  m_writer.SetFrameRate(1, info.rearFrameRate);
  m_writer.SetAudioRate(rate);
  m_writer.SetDualVideo(info.rearFrameRate != 0);

  // Only a regular file is replaced: a link could lead the file out of the folder.
  struct stat st {};
  if (::lstat(destination, &st) == 0 && !S_ISREG(st.st_mode)) {
    result.outcome = ExportOutcome::kNotCreated;
    result.detail = "not a regular file";
    m_parser.Close();
    return result;
  }
  errno = 0;
  if (!m_writer.Open(destination)) {
    result.outcome = ExportOutcome::kNotCreated;
    result.detail = ErrorText(errno);
    m_parser.Close();
    return result;
  }
  result.path = destination;

  bool cancelled = false, writeFailed = false;
  int frame = 0;
  while (m_busy.load()) {
    char id[4] = {};
    int chunk = kExportChunkBufferSize;
    if (!ReadChunk(id, &chunk) || !m_busy.load()) break;
    if (chunk < 0 || chunk > kExportChunkBufferSize) break;  // never past the buffer
    int slot;
    if (id[2] == 'd' && id[3] == 'c') {
      slot = id[0] == '0' && id[1] == '0' ? CAVIWriter::kSlotFront : CAVIWriter::kSlotRear;
    } else if (id[2] == 'w' && id[3] == 'b') {
      slot = CAVIWriter::kSlotAudio;
    } else {
      continue;  // text and anything else stay out of the file
    }
    if (slot == CAVIWriter::kSlotFront) {
      if (callback != nullptr && !callback(context, frame, info.frontFrameCount)) {
        // A cancel when the flag was still set; otherwise the export was already stopped.
        // The frame in hand is still written.
        cancelled = m_busy.exchange(false);
      }
      ++frame;
    }
    errno = 0;
    if (!m_writer.AddData(m_buffer.data(), chunk, slot)) {
      writeFailed = true;
      result.detail = ErrorText(errno);
      if (slot == CAVIWriter::kSlotFront) --frame;
      break;
    }
  }
  const bool stopped = !m_busy.load();
  const bool readFailed = m_parser.ReadFailed();
  const int riff = m_writer.Close();
  m_parser.Close();
  result.framesCopied = frame;
  // The index and the final header go through the stdio buffer: a full disk shows as a file
  // shorter than its RIFF size says (the file is the RIFF size plus 12 bytes).
  if (!writeFailed && riff > 0 && FileSize(destination) != int64_t{riff} + 12) {
    writeFailed = true;
    result.detail = ErrorText(ENOSPC);
  }
  if (writeFailed) {
    result.outcome = ExportOutcome::kWriteFailed;
  } else if (cancelled) {
    result.outcome = ExportOutcome::kCancelled;
  } else if (!readFailed && frame >= info.frontFrameCount &&
             (!stopped || info.frontFrameCount > 0)) {
    result.outcome = ExportOutcome::kComplete;  // also when a stop came after the last frame
  } else if (stopped) {
    result.outcome = ExportOutcome::kStopped;
  } else {
    result.outcome = ExportOutcome::kReadError;
  }
  return result;
}

bool CRecordingExport::ReadChunk(char id[4], int* size) {
  const int capacity = *size;
  for (;;) {
    *size = capacity;
    const ChunkStatus status = m_parser.NextChunk(id, m_buffer.data(), size);
    if (status == ChunkStatus::kChunk) return true;
    // A card that stalls has not ended: wait for it while the export is still wanted.
    if (status != ChunkStatus::kNoData || !m_busy.load()) return false;
  }
}

namespace {

bool ObserverFrame(void* context, int frame, int total) {
  return static_cast<CRecordingExport::Observer*>(context)->OnFrame(frame, total);
}

}  // namespace

std::vector<ExportResult> CRecordingExport::ExportAll(const std::string& folder,
                                                      const std::vector<std::string>& names,
                                                      Observer& observer) {
  std::vector<ExportResult> results;
  const int count = static_cast<int>(names.size());
  for (int i = 0; i < count && m_busy.load(); ++i) {
    const std::string& name = names[static_cast<size_t>(i)];
    observer.OnFileStart(i, count, name);
    if (!IsSafeExportName(name)) {
      results.push_back({name, {}, {}, ExportOutcome::kBadName, 0, 0});
      continue;
    }
    const std::string path = JoinExportPath(folder, name);
    if (path.size() > kMaxExportPathBytes) {
      results.push_back({name, {}, "path too long", ExportOutcome::kNotCreated, 0, 0});
      continue;
    }
    results.push_back(ConvertRecording(name.c_str(), path.c_str(), &observer, &ObserverFrame));
  }
  return results;
}

bool IsExportProblem(const ExportResult& result) {
  return result.outcome != ExportOutcome::kComplete && result.outcome != ExportOutcome::kCancelled;
}

std::string DescribeExportResult(const ExportResult& r) {
  const std::string frames =
      std::to_string(r.framesCopied) + " of " + std::to_string(r.framesExpected) + " frames";
  switch (r.outcome) {
    case ExportOutcome::kComplete: return "saved, " + frames;
    case ExportOutcome::kCancelled: return "cancelled, the file ends after " + frames;
    case ExportOutcome::kStopped: return "export stopped, the file ends after " + frames;
    case ExportOutcome::kBadName: return "skipped: the name cannot be a file name";
    case ExportOutcome::kNotOpened: return "skipped: the recording cannot be read";
    case ExportOutcome::kNotCreated: return "skipped: the file cannot be created (" + r.detail + ")";
    case ExportOutcome::kReadError: return "incomplete: reading ended after " + frames;
    case ExportOutcome::kWriteFailed:
      return "incomplete: writing failed (" + r.detail + ") after " + frames;
  }
  return {};
}
