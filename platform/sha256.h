// SHA-256 (FIPS 180-4) of bytes and of files, as lower-case hex. Qt-free; any thread (a
// CSha256 belongs to one thread at a time).
#pragma once

#include <cstddef>
#include <cstdint>
#include <span>
#include <string>

class CSha256 {
 public:
  CSha256();
  void Update(std::span<const uint8_t> bytes);
  // The digest of everything given, as 64 lower-case hex digits. The object is spent after it.
  std::string FinishHex();

 private:
  void Block(const uint8_t* block);

  uint32_t m_state[8];
  uint64_t m_length = 0;  // bytes given
  uint8_t m_buffer[64];
  size_t m_held = 0;  // bytes of m_buffer in use
};

std::string Sha256Hex(std::span<const uint8_t> bytes);

// The file's digest, read 1 MiB at a time. Empty, with *error (optional) the errno, when the
// file cannot be opened or read.
std::string Sha256OfFile(const std::string& path, int* error = nullptr);
// The same of what is left to read from fd; the caller keeps the fd and closes it.
std::string Sha256OfFd(int fd, int* error = nullptr);
