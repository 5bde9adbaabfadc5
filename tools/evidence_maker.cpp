#include "tools/evidence_maker.h"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <memory>
#include <string>
#include <vector>

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
#include "tat/card_export.h"
#include "tat/store_reader.h"
#include "tat/tat_library.h"
#include "tat/tat_parser.h"
#include "tat/trips.h"
#include "tools/evidence_package.h"
#include "tools/evidence_pictures.h"
#include "tools/evidence_report.h"
#include "tools/overlay_band.h"

namespace fs = std::filesystem;
using namespace roadkeep::sensors;

namespace {

constexpr int kShockUnitsPerG = 100;
constexpr char kCancelled[] = "cancelled";

std::string Stem(const std::string& fileName) {
  const size_t dot = fileName.rfind('.');
  return dot == std::string::npos || dot == 0 ? fileName : fileName.substr(0, dot);
}

std::string Speed(double kmh) { return kmh < 0 ? "unknown" : FixedText(kmh, 0) + " km/h"; }

std::string Seconds(int64_t ms) { return FixedText(static_cast<double>(ms) / 1000.0, 1) + " s"; }

std::string StoreErrorText(int error) {
  return error == EINVAL ? "not a store file of its kind" : std::strerror(error);
}

// The share of the package done, by step: each copy weighs a unit, the hashes and tracks of
// a recording a third of one, the report and the sums one between them.
class CSteps {
 public:
  CSteps(const EvidenceProgress& progress, size_t recordings, bool mp4)
      : m_progress(progress),
        m_total(static_cast<double>(recordings) * (mp4 ? 2.33 : 1.33) + 1.0) {}

  // At units done (of the whole) plus part (0..1) of the next one; false once cancelled.
  bool At(const std::string& step, double units, double part = 0) {
    if (m_cancelled) return false;
    if (m_progress && !m_progress(step, std::min(1.0, (units + part) / m_total))) {
      m_cancelled = true;
    }
    return !m_cancelled;
  }
  bool cancelled() const { return m_cancelled; }

 private:
  const EvidenceProgress& m_progress;
  const double m_total;
  bool m_cancelled = false;
};

// The AVI copies' progress as steps.
class CCopyProgress : public CRecordingExport::Observer {
 public:
  explicit CCopyProgress(CSteps& steps) : m_steps(steps) {}
  void OnFileStart(int index, int, const std::string& name) override {
    m_index = index;
    m_step = "AVI " + name;
  }
  bool OnFrame(int frame, int total) override {
    return m_steps.At(m_step, m_index, total > 0 ? static_cast<double>(frame) / total : 0);
  }

 private:
  CSteps& m_steps;
  int m_index = 0;
  std::string m_step;
};

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
// positionally from there (the card's own bytes, not the copy's). False with *why, or
// without it after a cancel.
bool HashStoreEntry(const std::string& root, const Recording& r, ManifestRecording* m,
                    CSteps& steps, double units, std::string* why) {
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
    if (!steps.At("SHA-256 " + r.name, units, 0.2 * static_cast<double>(at) / e.size)) {
      return false;
    }
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

// Each recording's MP4 beside its AVI ("NAME.mp4"), through a card reader of its own.
void CopyMp4s(TatHandle* handle, CPackage& package, std::vector<Item>& items, CSteps& steps,
              bool overlay, EvidenceResult* result) {
  CTATParser parser;
  parser.SetLibrary(handle);
  parser.Start();
  CMp4Export exporter(parser);
  const double first = static_cast<double>(items.size());
  for (size_t i = 0; i < items.size(); ++i) {
    Item& item = items[i];
    const Recording& r = item.recording;
    // The AVI's name, checked and planned by the export, with the MP4's ending.
    const std::string file = Stem(item.job.fileName) + ".mp4";
    const double units = first + static_cast<double>(i);
    if (!steps.At("MP4 " + file, units)) break;
    Mp4Job job{r.Identity(), r.name, file, r.counts.audio > 0};
    std::unique_ptr<COverlayBand> band;
    if (overlay) {
      band = MakeOverlayBand(package.card(), r);
      job.video = Mp4Video::kReencode;
      job.overlay = band.get();
    }
    const Mp4Result mp4 = exporter.ConvertRecording(
        job, package.folder() + "/" + file,
        [&steps, &file, units](int done, int total) {
          return steps.At("MP4 " + file, units, total > 0 ? static_cast<double>(done) / total : 0);
        });
    result->copies.push_back(file + ": " + DescribeMp4Result(mp4));
    if (steps.cancelled()) break;
    const bool kept =
        mp4.outcome == ExportOutcome::kComplete || mp4.outcome == ExportOutcome::kFramesLost;
    if (!kept || mp4.path.empty()) {
      package.Failed(file + ": " + DescribeMp4Result(mp4));
    } else if (package.Add(file)) {
      item.manifest.files.push_back(file);
    }
  }
  parser.Stop();
}

// The AVI copies, through the parser and the export code the export command uses.
void CopyRecordings(TatHandle* handle, CPackage& package, std::vector<Item>& items,
                    const EvidenceOptions& options,
                    CSteps& steps, EvidenceResult* result) {
  std::vector<ExportJob> jobs;
  for (const Item& item : items) jobs.push_back(item.job);
  PlanExportFiles(package.folder(), ExistingFiles::kRefuse, &jobs);
  CCopyProgress progress(steps);
  const std::vector<ExportResult> results = ExportFromCard(handle, package.folder(), jobs, progress);
  // A cancelled copy leaves no file; the package says why it stopped before any file does.
  if (steps.cancelled()) package.Failed(kCancelled);
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
    result->copies.push_back(r.name + ": " + m.copy);
    // A copy that lacks frames the store lost is what the card holds; the manifest says so.
    const bool kept =
        r.outcome == ExportOutcome::kComplete || r.outcome == ExportOutcome::kFramesLost;
    if (!kept || r.path.empty()) {
      package.Failed(jobs[i].fileName + ": " + m.copy);
    } else if (package.Add(jobs[i].fileName)) {
      m.files.push_back(jobs[i].fileName);
    }
  }
  if ((options.mp4 || options.overlay) && !package.failed()) {
    CopyMp4s(handle, package, items, steps, options.overlay, result);
  }
  if (steps.cancelled()) package.Failed(kCancelled);
}

// Tracks, entry hashes, GPX and CSV of each recording.
void WriteTracks(CPackage& package, std::vector<Item>& items, CSteps& steps, double units) {
  const std::string creator = std::string("Roadkeep ") + kViewerVersion;
  for (Item& item : items) {
    const Recording& r = item.recording;
    std::string why;
    if (!HashStoreEntry(package.card().Root(), r, &item.manifest, steps, units, &why)) {
      package.Failed(steps.cancelled() ? kCancelled : item.job.fileName + ": " + why);
      return;
    }
    if (!steps.At("GPX, CSV " + r.name, units, 0.2)) {
      package.Failed(kCancelled);
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
    units += 0.33;
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

Item ItemOf(const Recording& r) {
  Item item;
  item.recording = r;
  item.job = {r.Identity(), r.name, r.name, false};
  ManifestRecording& m = item.manifest;
  m.name = r.name;
  m.index = r.index;
  const char* kind = roadkeep::tat::KindWord(r.kindCode);
  m.kind = kind != nullptr ? kind : "";
  m.start = IsoTime(r.startTime, false);
  m.durationMs = r.durationMs;
  m.cameras = r.CameraCount();
  m.damage = r.damage;
  return item;
}

// The manifest, report and sums of a package whose files are all there.
void Finish(CPackage& package, std::vector<Item>& items, CSteps& steps, double units) {
  // The manifest lists the files written before it; the report lists it too.
  Manifest& m = package.manifest;
  m.complete = true;
  if (!steps.At(kReportFile, units)) {
    package.Failed(kCancelled);
  } else if (package.Write(kManifestFile, ManifestJson(m)) && WriteReport(package, items)) {
    if (!steps.At(kSumsFile, units + 0.8)) {
      package.Failed(kCancelled);
    } else {
      WriteSums(package);
    }
  }
}

}  // namespace

EvidenceResult MakeEvidencePackage(TatHandle* library, const std::string& folder,
                                   const std::vector<Recording>& recordings,
                                   const EvidenceOptions& options,
                                   const EvidenceProgress& progress) {
  EvidenceResult result;
  std::shared_ptr<CCard> card = TatCurrentCard(library);
  if (!card) {
    result.failure = "no card";
    return result;
  }
  std::error_code error;
  if (!fs::create_directory(folder, error) && error) {
    result.failure = folder + ": " + error.message();
    return result;
  }
  result.begun = true;
  CPackage package(folder, std::move(card));
  Manifest& m = package.manifest;
  m.tool = options.maker;
  m.version = kViewerVersion;
  m.createdUtc = NowUtc();
  DescribeCard(package.card().Root(), &m);
  std::vector<Item> items;
  for (const Recording& r : recordings) items.push_back(ItemOf(r));
  const bool mp4 = options.mp4 || options.overlay;
  CSteps steps(progress, items.size(), mp4);
  if (!options.failedBefore.empty()) {
    package.Failed(options.failedBefore);
  } else {
    CopyRecordings(library, package, items, options, steps, &result);
    if (!package.failed()) {
      WriteTracks(package, items, steps, static_cast<double>(items.size()) * (mp4 ? 2 : 1));
    }
  }
  for (const Item& item : items) m.recordings.push_back(item.manifest);
  if (!package.failed()) {
    Finish(package, items, steps, static_cast<double>(items.size()) * (mp4 ? 2.33 : 1.33));
  }
  // What was written stays, without SHA256SUMS; the manifest says the package is not whole.
  if (package.failed()) result.manifestSaved = package.SaveManifest();
  result.complete = !package.failed();
  result.cancelled = steps.cancelled();
  result.failure = m.failure;
  for (const PackageFile& f : m.files) result.files.push_back(f.name);
  return result;
}
