// Private-profile INI access: one value read with a default and a buffer size, one value
// written at once, section and key names without regard to case, every other line kept.
// Files are written whole: a temporary file beside the old one, flushed, then renamed over
// it, so a failed write leaves the old file as it was. Only where the folder takes no new
// file but the old file is writable is it rewritten in place. Any thread; no locking
// between processes.
#pragma once

#include <string>

// The value of key in section of the file at path, at most size - 1 bytes of it (as a
// profile read into a size-byte buffer). defaultValue (cut the same way) when the file,
// the section or the key is missing or the file cannot be read. size < 1 gives "".
std::string ReadIniString(const char* section, const char* key, const char* defaultValue, int size,
                          const char* path);

// Sets key in section (both made when missing) and saves the file. False, with the file
// unchanged, when it cannot be read, parsed or written.
bool WriteIniString(const char* section, const char* key, const char* value, const char* path);
