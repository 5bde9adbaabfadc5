// evidence: recordings of a card as a package for someone else to check: each recording's AVI
// (as export writes it), GPX and CSV, manifest.json (the card, the recordings, the SHA-256 of
// each one's bytes on the card and of every file), report.pdf, and SHA256SUMS last, only
// when everything before it was written. verify: a package checked again.
#include <algorithm>
#include <atomic>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "concurrency/trace.h"
#include "containers/avi_writer.h"
#include "containers/mp4_export.h"
#include "containers/recording_export.h"
#include "platform/ini_profile.h"
#include "platform/sha256.h"
#include "platform/version.h"
#include "sensors/fixed_text.h"
#include "sensors/impacts.h"
#include "sensors/played_track.h"
#include "sensors/recording_track.h"
#include "sensors/track_export.h"
#include "settings/recorder_settings.h"
#include "tat/card.h"
#include "tat/store_reader.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tat/trips.h"
#include "tools/commands.h"
#include "tools/evidence_package.h"
#include "tools/evidence_pictures.h"
#include "tools/evidence_report.h"

namespace fs = std::filesystem;
using namespace roadkeep::sensors;

namespace {

constexpr char kUsage[] = "usage: roadkeep-tool evidence DIR OUT_DIR NAME... [--mp4] [--overlay]\n";
constexpr int kShockUnitsPerG = 100;

int Fail(const std::string& why) {
  std::fprintf(stderr, "roadkeep-tool: evidence: %s\n", why.c_str());
  return 1;
}

class CQuietProgress : public CRecordingExport::Observer {
 public:
  void OnFileStart(int, int, const std::string&) override {}
  bool OnFrame(int, int) override { return true; }
};

std::string Stem(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string Speed(double kmh) { return kmh < 0 ? "unknown" : FixedText(kmh, 0) + " km/h"; }

std::string Seconds(int64_t ms) { return FixedText(static_cast<double>(ms) / 1000.0, 1) + " s"; }

// One package being written: the files so far with their hashes, and what stopped it.
class CPackage {
 public:
  CPackage(std::string folder, std::shared_ptr<CCard> card)
      : m_folder(std::move(folder)), m_card(std::move(card)) {}

  // A new file of the package; false (the failure said) when it was there or not written.
  bool Write(const std::string& name, std::string_view bytes) {
    const std::string path = JoinExportPath(m_folder, name);
    std::error_code error;
    if (fs::exists(fs::symlink_status(path, error))) return Failed(name + ": already there");
    if (!SaveFileWhole(path, bytes)) return Failed(name + ": cannot be written");
    return Add(name);
  }
  // A file already written into the package, hashed as it lies on the disk.
  bool Add(const std::string& name) {
    int error = 0;
    const std::string hash = Sha256OfFile(JoinExportPath(m_folder, name), &error);
    if (hash.empty()) return Failed(name + ": cannot be read back: " + std::strerror(error));
    manifest.files.push_back({name, hash});
    return true;
  }
  bool Failed(const std::string& why) {
    if (manifest.failure.empty()) manifest.failure = why;
    return false;
  }
  bool failed() const { return !manifest.failure.empty(); }
  // Writes manifest.json again (or first) for a package that stopped: not complete, and
  // without its own entry.
  bool SaveManifest() {
    Manifest m = manifest;
    m.complete = !failed();
    std::erase_if(m.files, [](const PackageFile& f) { return f.name == kManifestFile; });
    return SaveFileWhole(JoinExportPath(m_folder, kManifestFile), ManifestJson(m));
  }
  const std::string& folder() const { return m_folder; }
  CCard& card() { return *m_card; }

  Manifest manifest;

 private:
  const std::string m_folder;
  std::shared_ptr<CCard> m_card;
};

// The card: its volume record's id and formatting time, and VOLUME.TAT's hash.
void DescribeCard(const std::string& root, Manifest* m) {
  roadkeep::tat::VolumeRecord volume;
  if (roadkeep::tat::ReadVolume(root, &volume)) {
    char id[24];
    std::snprintf(id, sizeof id, "%016llx", static_cast<unsigned long long>(volume.cardId));
    m->cardId = id;
    m->cardFormatted = IsoTime(static_cast<int64_t>(volume.formatTime), true);
  }
  m->volumeSha256 =
      Sha256OfFile((fs::path(root) / roadkeep::tat::kStoreFolder / "VOLUME.TAT").string());
}

// The recording's entry in its store file: where it lies, and the SHA-256 of its bytes read
// positionally from there (the card's own bytes, not the copy's).
bool HashStoreEntry(const std::string& root, const Recording& r, ManifestRecording* m,
                    std::string* why) {
  m->storeFile =
      std::string(roadkeep::tat::kStoreFolder) + "/" + roadkeep::tat::StoreFileName(r.kindCode);
  roadkeep::tat::CStoreFile file;
  if (!file.Open((fs::path(root) / m->storeFile).string(), r.kindCode)) {
    *why = m->storeFile + ": " + StoreErrorText(file.Error());
    return false;
  }
  const std::vector<roadkeep::tat::EntryInfo> entries = file.ListEntries();
  if (r.index < 0 || r.index >= static_cast<int>(entries.size()) ||
      r.name != entries[static_cast<size_t>(r.index)].header.name) {
    *why = "its entry is no longer where the card listed it";
    return false;
  }
  const roadkeep::tat::EntryInfo& e = entries[static_cast<size_t>(r.index)];
  m->entryOffset = e.position;
  m->entryBytes = e.size;
  std::vector<uint8_t> buffer(1 << 20);
  CSha256 sha;
  for (int64_t at = 0; at < e.size;) {
    const size_t n =
        static_cast<size_t>(std::min<int64_t>(e.size - at, static_cast<int64_t>(buffer.size())));
    if (!file.ReadAt(e.position + at, buffer.data(), n)) {
      *why = m->storeFile + ": its entry cannot be read";
      return false;
    }
    sha.Update(std::span<const uint8_t>(buffer.data(), n));
    at += static_cast<int64_t>(n);
  }
  m->entrySha256 = sha.FinishHex();
  return true;
}

// The recording's lines of the report: facts, impacts and a picture per camera.
ReportRecording ReportOf(CCard& card, const Recording& r, const ManifestRecording& m,
                         const RecordingTrack& track, double thresholdG) {
  ReportRecording out;
  out.name = r.name + " (" + m.kind + ", index " + std::to_string(r.index) + ")";
  out.facts.push_back("Start (recorder clock): " + m.start + "   Length: " + Seconds(r.durationMs) +
                      "   Cameras: " + std::to_string(r.CameraCount()));
  const PlayedPart part{r.name, track, 0, roadkeep::tat::RecordingStart(r), false};
  const PlayedTelemetry joined =
      JoinParts(std::span<const PlayedPart>(&part, 1), thresholdG, kShockUnitsPerG);
  const int64_t offset = joined.parts.empty() ? kNoTime : joined.parts[0].clockOffsetMs;
  out.facts.push_back("Recorder clock against GPS: " +
                      (offset == kNoTime ? std::string("unknown") : OffsetText(offset)));
  double top = -1, sum = 0;
  int known = 0;
  for (const GpsFix& f : track.fixes) {
    if (f.speedKmh < 0) continue;
    top = std::max(top, f.speedKmh);
    sum += f.speedKmh;
    ++known;
  }
  out.facts.push_back(known == 0 ? "Speed: no GPS speed"
                                 : "Speed: top " + FixedText(top, 0) + " km/h, mean " +
                                       FixedText(sum / known, 0) + " km/h over " +
                                       std::to_string(known) + (known == 1 ? " fix" : " fixes"));
  if (!r.damage.empty()) out.facts.push_back("Damage: " + r.damage);
  if (m.frontSkipped > 0 || m.rearSkipped > 0) out.facts.push_back("Copy: " + m.copy);
  const std::vector<Impact> impacts = FindImpacts(track, thresholdG);
  out.facts.push_back("Impacts at " + FixedText(thresholdG, 1) +
                      " g: " + std::to_string(impacts.size()));
  for (const Impact& i : impacts) {
    out.impacts.push_back(Seconds(i.ms) + ", " + FixedText(i.peakG, 2) + " g from the " +
                          SideName(i.side) + ", speed " + Speed(i.speedBeforeKmh) + " before, " +
                          Speed(i.speedAfterKmh) + " after");
  }
  const int64_t at = impacts.empty() ? r.durationMs / 2 : impacts.front().ms;
  std::unique_ptr<CRecordingReader> reader = card.OpenReader(r.kindCode, r.index);
  if (reader != nullptr) out.pictures = DecodePicturesAt(*reader, at);
  const char* cameras[2] = {"front", "rear"};
  for (size_t c = 0; c < out.pictures.size(); ++c) {
    out.pictures[c].label = std::string(cameras[c]) + " at " + Seconds(at) +
                            (impacts.empty() ? " (middle)" : " (first impact)") +
                            (out.pictures[c].width == 0 ? ": not decoded" : "");
  }
  return out;
}

struct Item {
  Recording recording;
  ExportJob job;
  ManifestRecording manifest;
  RecordingTrack track;
};

// Each recording's MP4 beside its AVI ("NAME.mp4"), through the same parser.
void CopyMp4s(CTATParser& parser, CPackage& package, std::vector<Item>& items) {
  CMp4Export exporter(parser);
  for (Item& item : items) {
    const Recording& r = item.recording;
    // The AVI's name, checked and planned by the export, with the MP4's ending.
    const std::string file = Stem(item.job.fileName) + ".mp4";
    const Mp4Result result = exporter.ConvertRecording({r.Source(), r.name, file, r.counts.audio > 0},
                                                       package.folder() + "/" + file, {});
    std::printf("%s: %s\n", file.c_str(), DescribeMp4Result(result).c_str());
    const bool kept =
        result.outcome == ExportOutcome::kComplete || result.outcome == ExportOutcome::kFramesLost;
    if (!kept || result.path.empty()) {
      package.Failed(file + ": " + DescribeMp4Result(result));
    } else if (package.Add(file)) {
      item.manifest.files.push_back(file);
    }
  }
}

// The AVI copies, through the parser and the export code the export command uses.
void CopyRecordings(TatHandle* handle, CPackage& package, std::vector<Item>& items, bool mp4) {
  std::vector<ExportJob> jobs;
  for (const Item& item : items) jobs.push_back(item.job);
  PlanExportFiles(package.folder(), ExistingFiles::kRefuse, &jobs);
  CTATParser parser;
  parser.SetLibrary(handle);
  parser.Start();
  CAVIWriter writer;
  std::atomic<bool> busy{true};
  CRecordingExport exporter(parser, writer, busy);
  CQuietProgress progress;
  const std::vector<ExportResult> results = exporter.ExportAll(package.folder(), jobs, progress);
  for (size_t i = 0; i < items.size(); ++i) {
    items[i].job = jobs[i];
    if (i >= results.size()) {
      package.Failed(jobs[i].fileName + ": not copied");
      continue;
    }
    const ExportResult& r = results[i];
    ManifestRecording& m = items[i].manifest;
    m.copy = DescribeExportResult(r);
    m.frontSkipped = r.framesExpected - r.framesCopied;
    m.rearSkipped = r.rearExpected - r.rearCopied;
    std::printf("%s: %s\n", r.name.c_str(), m.copy.c_str());
    // A copy that lacks frames the store lost is what the card holds; the manifest says so.
    const bool kept =
        r.outcome == ExportOutcome::kComplete || r.outcome == ExportOutcome::kFramesLost;
    if (!kept || r.path.empty()) {
      package.Failed(jobs[i].fileName + ": " + m.copy);
    } else if (package.Add(jobs[i].fileName)) {
      m.files.push_back(jobs[i].fileName);
    }
  }
  if (mp4 && !package.failed()) CopyMp4s(parser, package, items);
  parser.Stop();
}

// Tracks, entry hashes, GPX and CSV of each recording.
void WriteTracks(CPackage& package, std::vector<Item>& items) {
  const std::string creator = std::string("Roadkeep ") + kViewerVersion;
  for (Item& item : items) {
    const Recording& r = item.recording;
    std::string why;
    if (!HashStoreEntry(package.card().Root(), r, &item.manifest, &why)) {
      package.Failed(item.job.fileName + ": " + why);
      return;
    }
    if (!ReadRecordingTrack(package.card(), r, &item.track)) {
      package.Failed(item.job.fileName + ": the recording's sensor records cannot be read");
      return;
    }
    const NamedTrack named[] = {{r.name, item.track}};
    const std::string stem = Stem(item.job.fileName);
    if (!package.Write(stem + ".gpx", GpxText(named, creator))) return;
    item.manifest.files.push_back(stem + ".gpx");
    if (!package.Write(stem + ".csv", CsvText(named))) return;
    item.manifest.files.push_back(stem + ".csv");
  }
}

bool WriteReport(CPackage& package, std::vector<Item>& items) {
  const Manifest& m = package.manifest;
  EvidenceReport report;
  report.heading = {"Made by " + m.tool + " " + m.version + " at " + m.createdUtc,
                    "Card " + (m.cardId.empty() ? std::string("without a volume record")
                                                : m.cardId + ", formatted " + m.cardFormatted)};
  const double threshold = ImpactThresholdG(CardImpactLevel(package.card().Root()));
  for (Item& item : items) {
    report.recordings.push_back(
        ReportOf(package.card(), item.recording, item.manifest, item.track, threshold));
    report.hashes.push_back({item.recording.name + ": its bytes on the card (" +
                                 item.manifest.storeFile + ", " +
                                 std::to_string(item.manifest.entryBytes) + " bytes at " +
                                 std::to_string(item.manifest.entryOffset) + ")",
                             item.manifest.entrySha256});
  }
  if (!m.volumeSha256.empty())
    report.hashes.push_back({"TAT/VOLUME.TAT of the card", m.volumeSha256});
  for (const PackageFile& f : m.files) report.hashes.push_back({f.name, f.sha256});
  std::string why;
  const std::string pdf = EvidenceReportPdf(report, &why);
  if (pdf.empty()) return package.Failed(std::string(kReportFile) + ": " + why);
  return package.Write(kReportFile, pdf);
}

// Every file of the folder but SHA256SUMS, by name.
bool WriteSums(CPackage& package) {
  std::vector<PackageFile> files;
  std::error_code error;
  for (const fs::directory_entry& e : fs::directory_iterator(package.folder(), error)) {
    const std::string name = e.path().filename().string();
    int readError = 0;
    const std::string hash = Sha256OfFile(e.path().string(), &readError);
    if (hash.empty()) return package.Failed(name + ": cannot be read back");
    files.push_back({name, hash});
  }
  if (error) return package.Failed(package.folder() + ": " + error.message());
  std::sort(files.begin(), files.end(),
            [](const PackageFile& a, const PackageFile& b) { return a.name < b.name; });
  return package.Write(kSumsFile, SumsText(files));
}

std::string NowUtc() { return IsoTime(static_cast<int64_t>(std::time(nullptr)), true); }

// The recordings of the names: every one of a name; false (said) for a name the card lacks.
bool Resolve(TatHandle* handle, const std::vector<std::string>& names, std::vector<Item>* items,
             std::string* why) {
  for (const std::string& name : names) {
    const std::vector<Recording> named = RecordingsNamed(handle, name);
    if (named.empty()) {
      *why = name + ": no such recording on the card";
      return false;
    }
    for (const Recording& r : named) {
      Item item;
      item.recording = r;
      item.job = {r.Source(), r.name, r.name, false};
      ManifestRecording& m = item.manifest;
      m.name = r.name;
      m.index = r.index;
      const char* kind = roadkeep::tat::KindWord(r.kindCode);
      m.kind = kind != nullptr ? kind : "";
      m.start = IsoTime(r.startTime, false);
      m.durationMs = r.durationMs;
      m.cameras = r.CameraCount();
      m.damage = r.damage;
      items->push_back(std::move(item));
    }
  }
  return true;
}

int MakePackage(TatHandle* handle, const std::string& out, const std::vector<std::string>& names,
                bool mp4) {
  CPackage package(out, TatCurrentCard(handle));
  Manifest& m = package.manifest;
  m.tool = "roadkeep-tool evidence";
  m.version = kViewerVersion;
  m.createdUtc = NowUtc();
  DescribeCard(package.card().Root(), &m);
  std::error_code error;
  if (!fs::create_directory(out, error) && error) return Fail(out + ": " + error.message());
  std::vector<Item> items;
  std::string why;
  if (!Resolve(handle, names, &items, &why)) {
    package.Failed(why);
  } else {
    CopyRecordings(handle, package, items, mp4);
    if (!package.failed()) WriteTracks(package, items);
  }
  for (const Item& item : items) m.recordings.push_back(item.manifest);
  // The manifest lists the files written before it; the report lists it too.
  m.complete = !package.failed();
  if (m.complete && package.Write(kManifestFile, ManifestJson(m)) && WriteReport(package, items)) {
    WriteSums(package);
  }
  if (package.failed()) {
    // What was written stays, without SHA256SUMS; the manifest says the package is not whole.
    if (!package.SaveManifest()) Fail(std::string(kManifestFile) + ": cannot be written");
    return Fail(m.failure + "; no " + kSumsFile + " written");
  }
  std::printf("%s: %zu files and %s\n", out.c_str(), m.files.size() + 1, kSumsFile);
  return 0;
}

}  // namespace

int EvidenceCommand(int argc, char** argv) {
  std::vector<std::string> args;
  bool mp4 = false;
  for (int i = 0; i < argc; ++i) {
    if (std::strcmp(argv[i], "--mp4") == 0) {
      mp4 = true;
      continue;
    }
    if (std::strcmp(argv[i], "--overlay") == 0) {
      std::fprintf(stderr, "%s: not built yet\n", argv[i]);
      return 1;
    }
    if (std::strncmp(argv[i], "--", 2) == 0) {
      std::fputs(kUsage, stderr);
      return 2;
    }
    args.emplace_back(argv[i]);
  }
  if (args.size() < 3 || args[1].empty()) {
    std::fputs(kUsage, stderr);
    return 2;
  }
  const std::string& out = args[1];
  switch (OutFolderState(out)) {
    case OutFolder::kMissing:
    case OutFolder::kEmpty:
      break;
    case OutFolder::kHoldsFiles:
      return Fail(out + ": not empty; nothing written");
    case OutFolder::kNotFolder:
      return Fail(out + ": not a folder; nothing written");
    case OutFolder::kUnreadable:
      return Fail(out + ": cannot be read; nothing written");
  }
  roadkeep::SetTraceEnabled(false);
  std::string problem;
  TatHandle* handle = OpenCardAt(args[0], &problem);
  if (handle == nullptr) return Fail(problem);
  TatOnCardFound(handle);
  const int status =
      MakePackage(handle, out, std::vector<std::string>(args.begin() + 2, args.end()), mp4);
  TatRelease(handle);
  return status;
}

int VerifyCommand(int argc, char** argv) {
  if (argc != 1) {
    std::fputs("usage: roadkeep-tool verify OUT_DIR\n", stderr);
    return 2;
  }
  if (OutFolderState(argv[0]) != OutFolder::kHoldsFiles &&
      OutFolderState(argv[0]) != OutFolder::kEmpty) {
    return Fail(std::string(argv[0]) + ": not a folder");
  }
  bool whole = true;
  for (const VerifyLine& line : VerifyPackage(argv[0])) {
    std::printf("%s\n", VerifyLineText(line).c_str());
    whole = whole && line.status == VerifyStatus::kOk;
  }
  return whole ? 0 : 1;
}
