// The file the AVI writer writes through, and its plain stdio implementation.
#pragma once

#include <cstdio>

class VFileSystem {
 public:
  // False when a file is already open or the open fails.
  virtual bool OpenFile(const char* path, const char* mode) = 0;
  // Returns the bytes written.
  virtual int WriteBytes(const void* data, int count) = 0;
  // Flushes the file to the disk and closes it; false when some of what was written did
  // not get there (a full disk, an I/O error).
  virtual bool CloseFile() = 0;
  // stdio seek; 0 on success.
  virtual int SeekFile(int offset, int origin) = 0;
  virtual bool IsOpen() = 0;
  virtual ~VFileSystem() = default;
};

class CFSNormal : public VFileSystem {
 public:
  CFSNormal() = default;
  ~CFSNormal() override;
  CFSNormal(const CFSNormal&) = delete;
  CFSNormal& operator=(const CFSNormal&) = delete;

  bool OpenFile(const char* path, const char* mode) override;
  int WriteBytes(const void* data, int count) override;
  bool CloseFile() override;
  int SeekFile(int offset, int origin) override;
  bool IsOpen() override { return m_file != nullptr; }

 private:
  FILE* m_file = nullptr;  // owned; closed by CloseFile and the destructor
};
