#include "containers/file_system.h"

#include <unistd.h>

#include <cerrno>

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

bool CFSNormal::CloseFile() {
  if (m_file == nullptr) return true;
  bool ok = std::fflush(m_file) == 0 && std::ferror(m_file) == 0;
  // A file cut short by a full disk must not look finished after a crash either.
  if (ok && ::fsync(fileno(m_file)) != 0 && errno != EINVAL) ok = false;
  const int error = errno;
  if (std::fclose(m_file) != 0) ok = false;
  m_file = nullptr;
  if (!ok && errno == 0) errno = error;
  return ok;
}

int CFSNormal::SeekFile(int offset, int origin) {
  if (m_file == nullptr) return -1;
  return std::fseek(m_file, offset, origin);
}
