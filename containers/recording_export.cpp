#include "containers/recording_export.h"

#include <fcntl.h>
#include <stdio.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <set>

#include "containers/avi_writer.h"
#include "containers/media_parser.h"
#include "platform/part_file.h"
#include "platform/safe_text.h"

namespace {

std::string ErrorText(int error) { return error != 0 ? std::strerror(error) : "write failed"; }

// Size of the open file on disk, -1 when it cannot be read.
int64_t FileSize(int fd) {
  struct stat st {};
  return ::fstat(fd, &st) == 0 ? static_cast<int64_t>(st.st_size) : -1;
}

constexpr char kPartPrefix[] = ".rk-export-";

// "NAME (n).avi" for "NAME.avi"; the number goes before the extension.
std::string Numbered(const std::string& name, int n) {
  const size_t dot = name.rfind('.');
  const size_t cut = dot == std::string::npos || dot == 0 ? name.size() : dot;
  return name.substr(0, cut) + " (" + std::to_string(n) + ")" + name.substr(cut);
}

}  // namespace

bool IsSafeExportName(const std::string& name) {
  if (name.empty() || name.size() > kMaxExportNameBytes) return false;
  if (name.find("..") != std::string::npos) return false;
  bool usable = false;
  // Valid UTF-8 without controls, line breaks or reordering marks: the name shows as it is in
  // a file manager, a terminal and the viewer.
  for (size_t at = 0; at < name.size();) {
    char32_t c = 0;
    const size_t length = roadkeep::platform::Utf8At(name, at, &c);
    if (length == 0 || c == '/' || c == '\\' || roadkeep::platform::IsHiddenCharacter(c)) {
      return false;
    }
    if (c != '.' && c != ' ') usable = true;
    at += length;
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

ExportResult CRecordingExport::ConvertRecording(const MediaSource& source,
                                                const char* destination, bool replace,
                                                void* context, ExportFrameCallback callback) {
  ExportResult result;
  result.name = source.path;
  MediaInfo info;
  if (destination == nullptr || m_parser.OpenSource(source, &info) == 0) {
    result.outcome = ExportOutcome::kNotOpened;
    return result;
  }
  result.framesExpected = info.frontFrameCount;
  // A camera is there when the store has frames for it, whatever its rate says.
  const bool dual = info.rearFrameCount > 0;
  result.rearExpected = dual ? info.rearFrameCount : 0;
  const auto refuse = [&](ExportOutcome outcome, std::string detail) {
    result.outcome = outcome;
    result.detail = std::move(detail);
    m_parser.Close();
    return result;
  };
  if (!info.damage.empty()) return refuse(ExportOutcome::kDamaged, info.damage);
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
  m_writer.SetDualVideo(dual);

  // Only a regular file is replaced: a link could lead the file out of the folder.
  struct stat st {};
  if (::lstat(destination, &st) == 0) {
    if (!S_ISREG(st.st_mode)) return refuse(ExportOutcome::kNotCreated, "not a regular file");
    if (!replace) return refuse(ExportOutcome::kExists, {});
  }
  CPartFile part;
  if (const int made = part.Create(destination, kPartPrefix); made != 0) {
    return refuse(ExportOutcome::kNotCreated, ErrorText(made));
  }
  errno = 0;
  // Written through the part's own descriptor: its name could be swapped, the file cannot.
  if (!m_writer.Open(part.FdPath().c_str())) {
    return refuse(ExportOutcome::kNotCreated, ErrorText(errno));
  }

  bool cancelled = false, writeFailed = false;
  int frame = 0, rear = 0;
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
    } else if (id[2] == 't' && id[3] == 'x') {
      slot = CAVIWriter::kSlotText;  // the GPS and G-sensor records, as the recorder's files
    } else {
      continue;
    }
    if (slot == CAVIWriter::kSlotRear && !dual) continue;  // never mixed into the front stream
    if (slot == CAVIWriter::kSlotFront) {
      if (callback != nullptr && !callback(context, frame, info.frontFrameCount)) {
        // A cancel when the flag was still set; otherwise the export was already stopped.
        cancelled = m_busy.exchange(false);
        break;
      }
    }
    errno = 0;
    if (!m_writer.AddData(m_buffer.data(), chunk, slot)) {
      writeFailed = true;
      result.detail = ErrorText(errno);
      break;
    }
    if (slot == CAVIWriter::kSlotFront) ++frame;
    if (slot == CAVIWriter::kSlotRear) ++rear;
  }
  const bool stopped = !m_busy.load();
  const bool readFailed = m_parser.ReadFailed();
  errno = 0;
  const int riff = m_writer.Close();
  if (!writeFailed && riff <= 0) {
    writeFailed = true;
    result.detail = ErrorText(errno != 0 ? errno : ENOSPC);
  }
  m_parser.Close();
  result.framesCopied = frame;
  result.rearCopied = rear;
  // The index and the final header go through the stdio buffer: a full disk shows as a file
  // shorter than its RIFF size says (the file is the RIFF size plus 12 bytes).
  if (!writeFailed && FileSize(part.Fd()) != int64_t{riff} + 12) {
    writeFailed = true;
    result.detail = ErrorText(ENOSPC);
  }
  const bool allFrames = frame >= info.frontFrameCount && rear >= result.rearExpected;
  if (writeFailed) {
    result.outcome = ExportOutcome::kWriteFailed;
  } else if (cancelled) {
    result.outcome = ExportOutcome::kCancelled;
  } else if (!readFailed && allFrames && (!stopped || info.frontFrameCount > 0)) {
    result.outcome = ExportOutcome::kComplete;  // also when a stop came after the last frame
  } else if (stopped) {
    result.outcome = ExportOutcome::kStopped;
  } else if (readFailed) {
    result.outcome = ExportOutcome::kReadError;
  } else {
    result.outcome = ExportOutcome::kFramesLost;
  }
  // What the card gave is kept; a copy the user or the disk cut short is not.
  const bool keep = result.outcome == ExportOutcome::kComplete ||
                    result.outcome == ExportOutcome::kFramesLost ||
                    result.outcome == ExportOutcome::kReadError;
  if (!keep) {
    part.Discard();
    return result;
  }
  const int error = part.MoveIntoPlace(replace);
  if (error != 0) {
    result.outcome = error == EEXIST ? ExportOutcome::kExists : ExportOutcome::kNotCreated;
    result.detail = error == EEXIST ? std::string() : ErrorText(error);
    return result;
  }
  result.path = destination;
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

void PlanExportFiles(const std::string& folder, ExistingFiles existing,
                     std::vector<ExportJob>* jobs) {
  std::set<std::string> taken;
  for (ExportJob& job : *jobs) {
    const auto inFolder = [&](const std::string& file) {
      struct stat st {};
      return ::lstat(JoinExportPath(folder, file).c_str(), &st) == 0;
    };
    const auto busy = [&](const std::string& file) {
      return taken.count(file) > 0 || (existing == ExistingFiles::kKeepBoth && inFolder(file));
    };
    std::string file = job.name;
    for (int n = 2; busy(file) && n < 10000; ++n) file = Numbered(job.name, n);
    // A numbered name too long for the folder keeps the plain one; the export refuses it.
    if (!IsSafeExportName(file)) file = job.name;
    taken.insert(file);
    job.fileName = file;
    job.replace = existing == ExistingFiles::kReplace;
  }
}

std::vector<ExportResult> CRecordingExport::ExportAll(const std::string& folder,
                                                      const std::vector<ExportJob>& jobs,
                                                      Observer& observer) {
  std::vector<ExportResult> results;
  if (!folder.empty()) RemoveDeadParts(folder, kPartPrefix);
  const int count = static_cast<int>(jobs.size());
  for (int i = 0; i < count && m_busy.load(); ++i) {
    const ExportJob& job = jobs[static_cast<size_t>(i)];
    observer.OnFileStart(i, count, job.name);
    ExportResult refused;
    refused.name = job.name;
    if (!IsSafeExportName(job.fileName)) {
      refused.outcome = ExportOutcome::kBadName;
      results.push_back(refused);
      continue;
    }
    const std::string path = JoinExportPath(folder, job.fileName);
    if (folder.empty() || path.size() > kMaxExportPathBytes) {
      refused.outcome = ExportOutcome::kNotCreated;
      refused.detail = folder.empty() ? "no folder given" : "path too long";
      results.push_back(refused);
      continue;
    }
    ExportResult result =
        ConvertRecording(job.source, path.c_str(), job.replace, &observer, &ObserverFrame);
    result.name = job.name;
    results.push_back(std::move(result));
  }
  return results;
}

bool IsExportProblem(const ExportResult& result) {
  return result.outcome != ExportOutcome::kComplete && result.outcome != ExportOutcome::kCancelled;
}

std::string DescribeExportResult(const ExportResult& r) {
  std::string frames =
      std::to_string(r.framesCopied) + " of " + std::to_string(r.framesExpected);
  frames += r.rearExpected > 0 ? " front and " + std::to_string(r.rearCopied) + " of " +
                                     std::to_string(r.rearExpected) + " rear frames"
                               : " frames";
  switch (r.outcome) {
    case ExportOutcome::kComplete: return "saved, " + frames;
    case ExportOutcome::kFramesLost: return "incomplete: frames lost to damage, " + frames;
    case ExportOutcome::kReadError: return "incomplete: reading ended after " + frames;
    case ExportOutcome::kCancelled: return "cancelled, nothing saved";
    case ExportOutcome::kStopped: return "export stopped, nothing saved";
    case ExportOutcome::kBadName: return "skipped: the name cannot be a file name";
    case ExportOutcome::kNotOpened: return "skipped: the recording cannot be read";
    case ExportOutcome::kDamaged: return "skipped: damaged recording (" + r.detail + ")";
    case ExportOutcome::kExists: return "skipped: a file of that name is in the folder";
    case ExportOutcome::kNotCreated: return "skipped: the file cannot be created (" + r.detail + ")";
    case ExportOutcome::kWriteFailed:
      return "not saved: writing failed (" + r.detail + ") after " + frames;
  }
  return {};
}
