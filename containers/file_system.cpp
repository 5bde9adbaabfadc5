#include "containers/file_system.h"

#include "concurrency/trace.h"

CFSNormal::~CFSNormal() { CloseFile(); }

bool CFSNormal::OpenFile(const char* path, const char* mode) {
  if (m_file != nullptr) {
    roadkeep::Trace(roadkeep::kTraceContainer, "[CFSNormal] FP is Already Opened\n");
    return false;
  }
  if (path == nullptr || mode == nullptr) return false;
  m_file = std::fopen(path, mode);
  if (m_file != nullptr) std::setvbuf(m_file, nullptr, _IOFBF, 1 << 16);
  return m_file != nullptr;
}

int CFSNormal::WriteBytes(const void* data, int count) {
  if (m_file == nullptr || data == nullptr || count <= 0) return 0;
  return static_cast<int>(std::fwrite(data, 1, static_cast<size_t>(count), m_file));
}

void CFSNormal::CloseFile() {
  if (m_file == nullptr) return;
  std::fclose(m_file);
  m_file = nullptr;
}

int CFSNormal::SeekFile(int offset, int origin) {
  if (m_file == nullptr) return -1;
  return std::fseek(m_file, offset, origin);
}
