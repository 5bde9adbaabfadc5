// Files written beside a user's files under a temporary name and moved into place only when
// whole, so a folder never holds half a file under the name the user asked for, and nothing a
// neighbour plants there is ever written through.
//
// The part's name is PREFIX, ten random characters and ".part" (PartNameOf). It is made with
// O_CREAT|O_EXCL|O_NOFOLLOW, so a link or file planted under it makes the create fail and a new
// name is drawn; it is locked (flock) for as long as its CPartFile lives, which is how a cleanup
// tells a part still being written (by any process, in any PID namespace) from one whose writer
// died. Moving into place never follows a link and never replaces anything but a regular file.
//
// Threads: a CPartFile belongs to one thread at a time; RemoveDeadParts may run on any.
#pragma once

#include <string>
#include <string_view>

class CPartFile {
 public:
  CPartFile() = default;
  // Removes the part unless it was moved into place.
  ~CPartFile();
  CPartFile(const CPartFile&) = delete;
  CPartFile& operator=(const CPartFile&) = delete;

  // Creates and locks a new part in destination's folder. 0 or an errno value; a part that
  // exists already is dropped first.
  int Create(const std::string& destination, const char* prefix);

  // The open part (read and write), owned by this object; -1 before Create.
  int Fd() const { return m_fd; }
  const std::string& Path() const { return m_path; }
  // A name that opens this very file whatever happens to its folder entry
  // ("/proc/self/fd/N"), for libraries that open files by name. Valid while this lives.
  std::string FdPath() const;

  // Flushes the part to the disk, gives it the permissions of a new file (or of the regular
  // file it replaces) and renames it to destination: over an existing regular file only when
  // replace, and never over a link, folder or anything else, nor over a file that appeared
  // meanwhile. 0 or an errno value (EEXIST: there is a file; ELOOP: a link or other
  // non-regular file stands there); the part is removed on failure.
  int MoveIntoPlace(bool replace);
  // Removes the part now.
  void Discard();

 private:
  void Close();

  int m_fd = -1;
  std::string m_path;         // the part, in destination's folder
  std::string m_destination;  // as given to Create
};

// Whether name (without its folder) is one a CPartFile with prefix makes.
bool IsPartName(std::string_view name, std::string_view prefix);

// Removes the parts with prefix in folder whose writer is gone: regular files of this user,
// not locked by anyone. Links, other users' files and parts in use stay. Returns how many
// went. Any thread.
int RemoveDeadParts(const std::string& folder, const char* prefix);

// The regular file at path, for reading, without following a link at the end of the path:
// opened with O_NOFOLLOW and O_NONBLOCK (a FIFO never blocks), then checked to be a regular
// file. The open fd (owned by the caller), or -1 with errno set (ELOOP for a link, EINVAL for
// anything else that is not a regular file).
int OpenRegularFile(const std::string& path);
