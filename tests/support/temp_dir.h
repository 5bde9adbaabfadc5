// A fresh directory under the system temp folder, removed with everything in it.
#pragma once

#include <cstdint>
#include <filesystem>
#include <string>
#include <vector>

namespace roadkeep::test {

class TempDir {
 public:
  TempDir();
  ~TempDir();
  TempDir(const TempDir&) = delete;
  TempDir& operator=(const TempDir&) = delete;

  const std::filesystem::path& Path() const { return m_path; }
  std::string File(const std::string& name) const { return (m_path / name).string(); }

 private:
  std::filesystem::path m_path;
};

std::vector<uint8_t> ReadAll(const std::string& path);
void WriteAll(const std::string& path, const std::vector<uint8_t>& bytes);
// A whole file as text (empty when it cannot be read), and a file written from text.
std::string ReadText(const std::string& path);
void WriteText(const std::string& path, const std::string& text);
// Runs a shell command; returns its exit status (-1 when it could not run).
int RunCommand(const std::string& command);
// Whether a program is on PATH.
bool HaveProgram(const std::string& name);

}  // namespace roadkeep::test

namespace roadkeep::test {
// Runs a shell command and returns what it printed on standard output.
std::string CommandOutput(const std::string& command);
}  // namespace roadkeep::test
