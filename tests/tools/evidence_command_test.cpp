// roadkeep-tool evidence and verify on a card written by make-card: the package checked by
// sha256sum, pdfinfo and pdftotext, then changed on disk and checked again.
#include <gtest/gtest.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <regex>
#include <sstream>
#include <string>
#include <vector>

#include "tat/card.h"
#include "tests/support/made_card.h"
#include "tests/support/temp_dir.h"

namespace {

namespace fs = std::filesystem;
using roadkeep::test::BinPath;
using roadkeep::test::CommandOutput;
using roadkeep::test::ReadAll;
using roadkeep::test::ReadText;
using roadkeep::test::RunCommand;
using roadkeep::test::TempDir;
using roadkeep::test::WriteAll;
using roadkeep::test::WriteText;

constexpr char kRec[] = "REC_20140301_093000_D.avi";
constexpr char kEvent[] = "EVENT_20140301_093009_D.avi";

std::string Tool(const std::string& args) { return BinPath("roadkeep-tool") + " " + args; }

// One card and one package of both its recordings with their MP4s (the facts band burned in),
// made once for the suite.
class EvidenceCommand : public testing::Test {
 protected:
  static void SetUpTestSuite() {
    s_card = new TempDir;
    s_out = new TempDir;
    ASSERT_EQ(RunCommand(Tool("make-card " + Card() +
                              " --count 2 --seconds 4 --front 320x180@10"
                              " --rear 160x90@10 >/dev/null")),
              0);
    ASSERT_EQ(RunCommand(Tool("evidence " + Card() + " " + Package() + " " + kRec + " " + kEvent +
                              " --overlay >/dev/null")),
              0);
  }
  static void TearDownTestSuite() {
    delete s_card;
    delete s_out;
  }
  static std::string Card() { return s_card->Path().string(); }
  static std::string Package() { return s_out->File("package"); }
  // HASH per file of SHA256SUMS.
  static std::vector<std::pair<std::string, std::string>> Sums() {
    std::vector<std::pair<std::string, std::string>> sums;
    std::istringstream in(ReadText(Package() + "/SHA256SUMS"));
    for (std::string line; std::getline(in, line);)
      sums.emplace_back(line.substr(66), line.substr(0, 64));
    return sums;
  }
  static TempDir* s_card;
  static TempDir* s_out;
};
TempDir* EvidenceCommand::s_card = nullptr;
TempDir* EvidenceCommand::s_out = nullptr;

TEST_F(EvidenceCommand, Sha256sumAndVerifyAcceptTheWholePackage) {
  EXPECT_EQ(RunCommand("cd " + Package() + " && sha256sum --quiet --strict -c SHA256SUMS"), 0);
  EXPECT_EQ(RunCommand(Tool("verify " + Package() + " >/dev/null")), 0);
  // Every file of the folder but the sums themselves is listed.
  std::vector<std::string> listed, present;
  for (const auto& [file, hash] : Sums()) listed.push_back(file);
  for (const auto& e : fs::directory_iterator(Package())) {
    if (e.path().filename() != "SHA256SUMS") present.push_back(e.path().filename().string());
  }
  std::sort(listed.begin(), listed.end());
  std::sort(present.begin(), present.end());
  EXPECT_EQ(listed, present);
  EXPECT_EQ(listed.size(), 2u * 4 + 2);  // AVI, MP4, GPX, CSV per recording; manifest; report
  // The MP4 holds both cameras.
  const std::string mp4 = Package() + "/" + std::string(kRec).substr(0, std::string(kRec).size() - 4) + ".mp4";
  EXPECT_EQ(CommandOutput("ffprobe -v error -select_streams v -show_entries stream=codec_name -of csv=p=0 " + mp4),
            "h264\nh264\n");
}

TEST_F(EvidenceCommand, CopiesAreTheExportsFiles) {
  const TempDir exported;
  ASSERT_EQ(RunCommand(Tool("export " + Card() + " " + exported.Path().string() + " " + kRec + " " +
                            kEvent + " >/dev/null")),
            0);
  for (const char* name : {kRec, kEvent}) {
    EXPECT_EQ(ReadAll(Package() + "/" + name), ReadAll(exported.File(name))) << name;
  }
}

TEST_F(EvidenceCommand, ManifestHashesEachRecordingsBytesOnTheCard) {
  const std::string manifest = ReadText(Package() + "/manifest.json");
  EXPECT_NE(manifest.find("\"complete\": true"), std::string::npos);
  const std::regex entry(
      "\"name\": \"([^\"]+)\"[^]*?\"file\": \"([^\"]+)\", \"offset\": (\\d+), \"bytes\": (\\d+), "
      "\"sha256\": \"([0-9a-f]{64})\"");
  CCard card(Card());
  int seen = 0;
  for (std::sregex_iterator it(manifest.begin(), manifest.end(), entry), end; it != end; ++it) {
    const std::string name = (*it)[1], store = (*it)[2];
    const long long offset = std::stoll((*it)[3]), bytes = std::stoll((*it)[4]);
    const int kind = CCard::KindOfName(name);
    const std::vector<Recording> recordings = card.Recordings(kind);
    ASSERT_EQ(recordings.size(), 1u) << name;
    EXPECT_EQ(bytes, recordings[0].sizeBytes) << name;
    // The range is the entry: its header's magic at the offset, hashed by sha256sum.
    const std::string path = Card() + "/" + store;
    const std::vector<uint8_t> file = ReadAll(path);
    ASSERT_GE(file.size(), static_cast<size_t>(offset + bytes));
    EXPECT_EQ(file[offset], 'T');
    EXPECT_EQ(file[offset + 1], 'E');
    const std::string sum = CommandOutput("tail -c +" + std::to_string(offset + 1) + " " + path +
                                          " | head -c " + std::to_string(bytes) + " | sha256sum");
    EXPECT_EQ(sum.substr(0, 64), (*it)[5]) << name;
    ++seen;
  }
  EXPECT_EQ(seen, 2);
}

TEST_F(EvidenceCommand, ReportOpensAndShowsEveryOtherFilesHash) {
  const std::string pdf = Package() + "/report.pdf";
  EXPECT_EQ(RunCommand("pdfinfo " + pdf + " >/dev/null"), 0);
  const std::string text = CommandOutput("pdftotext " + pdf + " -");
  for (const auto& [file, hash] : Sums()) {
    if (file == "report.pdf") continue;  // a file cannot hold its own hash
    EXPECT_NE(text.find(hash), std::string::npos) << file;
  }
}

TEST_F(EvidenceCommand, VerifyNamesWhatChanged) {
  struct Case {
    const char* what;
    void (*change)(const std::string& folder);
    std::string line;
  };
  const Case cases[] = {
      {"a flipped byte",
       [](const std::string& folder) {
         std::vector<uint8_t> bytes = ReadAll(folder + "/" + kRec);
         bytes[bytes.size() / 2] ^= 0x01;
         WriteAll(folder + "/" + kRec, bytes);
       },
       std::string("CHANGED  ") + kRec},
      {"a deleted file",
       [](const std::string& folder) { fs::remove(folder + "/EVENT_20140301_093009_D.csv"); },
       "MISSING  EVENT_20140301_093009_D.csv"},
      {"an added file",
       [](const std::string& folder) { WriteText(folder + "/notes.txt", "later\n"); },
       "ADDED  notes.txt"},
      {"no sums", [](const std::string& folder) { fs::remove(folder + "/SHA256SUMS"); },
       "NO SHA256SUMS"},
  };
  for (const Case& c : cases) {
    const TempDir copy;
    const std::string folder = copy.File("package");
    fs::copy(Package(), folder);
    c.change(folder);
    const std::string out = CommandOutput(Tool("verify " + folder + "; echo exit=$?"));
    EXPECT_NE(out.find(c.line + "\n"), std::string::npos) << c.what << "\n" << out;
    EXPECT_NE(out.find("exit=1"), std::string::npos) << c.what;
    // Only the changed file is reported.
    EXPECT_EQ(out.find("CHANGED", out.find(c.line) + c.line.size()), std::string::npos) << c.what;
  }
}

TEST_F(EvidenceCommand, RefusesAFolderThatHoldsAFile) {
  const TempDir out;
  WriteText(out.File("mine.txt"), "keep me\n");
  const std::string said = CommandOutput(
      Tool("evidence " + Card() + " " + out.Path().string() + " " + kRec + " 2>&1; echo exit=$?"));
  EXPECT_NE(said.find("exit=1"), std::string::npos) << said;
  EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 2) << said;  // one line, and the exit
  EXPECT_EQ(ReadText(out.File("mine.txt")), "keep me\n");
  EXPECT_EQ(std::distance(fs::directory_iterator(out.Path()), fs::directory_iterator()), 1);
}

// What keeps a package from being whole: no SHA256SUMS, a manifest that says so, a line that
// names the cause, and verify refusing it.
TEST_F(EvidenceCommand, PackagesThatCannotBeWholeSayWhyAndHaveNoSums) {
  const struct {
    const char* what;
    std::string command;
    const char* said;
  } cases[] = {
      {"a name not on the card", "evidence " + Card() + " FOLDER " + kRec + " NOT_THERE.avi",
       "NOT_THERE.avi"},
      // 64 blocks: the first copy cannot be written whole; the signal would end the tool.
      {"a full disk", "evidence " + Card() + " FOLDER " + kRec, "REC_20140301_093000_D.avi"},
  };
  for (const auto& c : cases) {
    const TempDir out;
    const std::string folder = out.File("package");
    std::string command = Tool(c.command);
    command.replace(command.find("FOLDER"), 6, folder);
    if (std::string(c.what) == "a full disk") command = "trap '' XFSZ; ulimit -f 64; " + command;
    const std::string said = CommandOutput("(" + command + ") 2>&1 >/dev/null; echo exit=$?");
    EXPECT_EQ(said.find("exit=0"), std::string::npos) << c.what;
    EXPECT_NE(said.find(c.said), std::string::npos) << c.what << ": " << said;
    EXPECT_FALSE(fs::exists(folder + "/SHA256SUMS")) << c.what;
    EXPECT_NE(ReadText(folder + "/manifest.json").find("\"complete\": false"), std::string::npos) << c.what;
    EXPECT_NE(RunCommand(Tool("verify " + folder + " >/dev/null")), 0) << c.what;
  }
}

// A chunk damaged on the card: the copy leaves that frame out, the package is whole, and its
// manifest says what was skipped.
TEST_F(EvidenceCommand, ADamagedChunkIsCountedAsSkipped) {
  const TempDir copy;
  fs::copy(Card(), copy.Path(), fs::copy_options::recursive);
  // The first recording's entry, as the manifest states it; its first chunk is a front frame.
  const std::string manifest = ReadText(Package() + "/manifest.json");
  const size_t key = manifest.find("\"store_entry\": {\"file\": \"TAT/REC.TAT\", \"offset\": ");
  ASSERT_NE(key, std::string::npos);
  const long entry = std::atol(manifest.c_str() + manifest.find("\"offset\": ", key) + 10);
  const std::string store = copy.Path().string() + "/TAT/REC.TAT";
  std::vector<uint8_t> bytes = ReadAll(store);
  ASSERT_GT(bytes.size(), static_cast<size_t>(entry) + 400);
  bytes[static_cast<size_t>(entry) + 212 + 16 + 40] ^= 0x08;  // a payload bit: its checksum fails
  WriteAll(store, bytes);
  const TempDir out;
  const std::string folder = out.File("package");
  ASSERT_EQ(RunCommand(Tool("evidence " + copy.Path().string() + " " + folder + " " + kRec + " >/dev/null")), 0);
  EXPECT_NE(ReadText(folder + "/manifest.json").find("\"front_frames_skipped\": 1"), std::string::npos);
  EXPECT_EQ(RunCommand(Tool("verify " + folder + " >/dev/null")), 0);
}

// SHA256SUMS lines that reach outside the package, name what must not be read, or name a file
// twice (the right line is already there): each gets its own word and the check fails.
TEST_F(EvidenceCommand, VerifyReadsNothingOutsideThePackage) {
  const TempDir copy;
  const std::string folder = copy.File("package"), rec = kRec;
  fs::copy(Package(), folder);
  WriteText(copy.File("x"), "outside\n");  // ../x
  ASSERT_EQ(::mkfifo((folder + "/pipe").c_str(), 0600), 0);
  fs::create_symlink("/dev/zero", folder + "/zero");
  fs::create_directory_symlink(".", folder + "/up");
  const std::string said[] = {"REFUSED  /etc/hostname", "REFUSED  ../x", "REFUSED  a//b",
                              "NOT A FILE  pipe",       "REFUSED  zero", "REFUSED  up/" + rec,
                              "DUPLICATE  " + rec};
  std::string lines = ReadText(folder + "/SHA256SUMS");
  for (const std::string& s : said) lines += std::string(64, '0') + s.substr(s.find("  ")) + "\n";
  WriteText(folder + "/SHA256SUMS", lines);
  // timeout's 124 would show a hang.
  const std::string out =
      CommandOutput("timeout 20 " + Tool("verify " + folder) + "; echo exit=$?");
  for (const std::string& s : said) {
    EXPECT_NE(out.find(s + "\n"), std::string::npos) << s << "\n" << out;
  }
  EXPECT_NE(out.find("exit=1\n"), std::string::npos) << out;
  // Neither line of a file named twice counts.
  EXPECT_EQ(out.find("OK  " + rec), std::string::npos) << out;
}

}  // namespace
