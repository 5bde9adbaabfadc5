// The card-store library: finds the recorder's card and reads its recordings. Every call
// takes the handle from TatCreate. Calls from the user-interface thread and from a reader
// thread may overlap; the handle serialises them internally.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct TatHandle;
class CCard;
struct RecordingCounts;

// Device information given at start-up: six zero-padded texts (85 bytes).
struct TatDeviceInfo {
  char serial[12];   // "N/A"
  char company[20];
  char date[12];     // "2014/03/01"
  char version[11];  // "QMVXXX-V1"
  char model[20];    // "QMVXXX"
  char id[10];       // "E000001"
};
static_assert(sizeof(TatDeviceInfo) == 85);

inline constexpr int kTatNameSize = 40;
inline constexpr int kTatHeaderSize = 212;
inline constexpr int kTatStatsSize = 256;
inline constexpr int kTatReadCapacity = 0x100000;

// TatRead results.
enum TatReadResult : int {
  kTatReadOk = 0,
  kTatNothing = 1,
  kTatEnd = 2,
  kTatError = 3,
  kTatTooSmall = 4,
};

TatHandle* TatCreate();
void TatConfigure(TatHandle* handle, TatDeviceInfo info);
void TatRelease(TatHandle* handle);

// Writes 0 to *letter when no recorder card is present, else the card's drive letter. A
// card replaced by another between two polls gets a different letter. With several cards,
// the one found at the last poll stays while it is there. The removable volumes are looked at
// before the handle's lock is taken, so a slow volume never holds up the other calls.
void TatPollCard(TatHandle* handle, char* letter);
// A volume that holds a card store.
struct TatVolume {
  std::string root;
  uint64_t cardId = 0;
};
// The volumes among candidates (roadkeep::platform::RemovableVolumes) that hold a card store,
// in their order. Reads each one's volume record: may be slow, any thread.
std::vector<TatVolume> TatFindCards(const std::vector<std::string>& candidates);
// The folder that holds a card store for a path a user gave: the path itself, a folder above
// it (a path inside the card) or, when neither is one and lookBelow, the first one below it in
// name order down to two levels (a mount point's parent, such as /media/$USER). Empty when
// there is none. Reads folders and volume records: may be slow, any thread.
std::string TatFindCardFolder(const std::string& path, bool lookBelow = true);
// TatPollCard on cards already found, without reading anything.
void TatPollFound(TatHandle* handle, const std::vector<TatVolume>& cards, char* letter);
// The other cards present at the last TatPollFound (several inserted at once), in the order
// found; the current one is not among them.
std::vector<std::shared_ptr<CCard>> TatOtherCards(TatHandle* handle);
// The current card or another one present whose root folder is root; null for none.
std::shared_ptr<CCard> TatCardAt(TatHandle* handle, const std::string& root);
// The current card (tat/card.h), null without one. Each reader opened on it reads on its
// own; the card stays readable by them after the handle has moved on to another.
std::shared_ptr<CCard> TatCurrentCard(TatHandle* handle);
// Drops what the handle remembers of the previous card's recordings.
void TatOnCardFound(TatHandle* handle);

// Recordings of a kind (0 event, 1 driving, 2 parking, 3 manual) on the card `letter`; -1
// when the kind's store file is there but cannot be read (TatStoreError tells why). A
// missing store file is a kind without recordings.
int TatCountRecordings(TatHandle* handle, char letter, int kind);
// Why the kind's store file could not be read at its last count: an errno value (EINVAL: not
// a store file of that kind), 0 when it could.
int TatStoreError(TatHandle* handle, char letter, int kind);
// Fills at most count entries: names (count x 40 bytes), sizes (two words per entry: bytes,
// duration in ms; an unfinished or cut-short recording's duration is that of the front
// frames it holds, not what its header promised), extra (count + 2 words: the entry's start time). Returns the number
// filled. The caller leaves out recordings below 512 KiB.
int TatListRecordings(TatHandle* handle, char letter, int kind, int count, char* names,
                      uint32_t* sizes, uint32_t* extra);

// The recorder's factory settings text (CR LF line ends, not zero-terminated). *length is
// the buffer size on entry and the text's length on return. Nonzero on success.
int TatDefaultSettings(TatHandle* handle, char* text, int* length);

// "cntVideo0=..; cntVideo1=..; cntAudio=..; cntACC=..; cntGPS=..", the statistics text.
std::string StatisticsText(const RecordingCounts& counts);

// Opens a recording of the current card by name (the kind comes from its first field) or
// by its index among the recordings of that kind. Fills the 212-byte header, the front and
// rear frame counts, and the statistics text. Work buffers may be null. Nonzero on success;
// on failure header, counts and text are zero.
int TatOpenByName(TatHandle* handle, const char* name, uint8_t* header, uint32_t counts[2],
                  uint8_t* work244, char* stats256, uint8_t* work40);
int TatOpenByIndex(TatHandle* handle, const char* name, int index, uint8_t* header,
                   uint32_t counts[2], uint8_t* work244, char* stats256, uint8_t* work40);

// Start position of a recording for TatSelect; -1 when there is none.
int TatFindByName(TatHandle* handle, int kind, const char* name);
int TatFindByIndex(TatHandle* handle, int kind, int index);
// Later reads come from that recording; an unknown position leaves nothing selected (reads
// then report the end).
void TatSelect(TatHandle* handle, int kind, int reserved, int position);

// Next chunk of the selected recording: camera (0 front), type (0 front video, 2 rear
// video, 1 audio, 3 text), key flag, *size (capacity in, bytes out). Returns kTatReadOk;
// kTatEnd after the last chunk; kTatError when the store could not be read (I/O error, the
// file cut short under the reader), again on every later read until a seek or select. A
// damaged chunk is skipped: the read resumes at the next sound chunk or seek unit.
// kTatTooSmall when the next chunk is larger than the capacity: *size is its size and nothing
// is consumed (a capacity of kTatReadCapacity never gets it).
int TatRead(TatHandle* handle, uint8_t* camera, uint8_t* type, uint8_t* key, int* size,
            void* buffer, int* scratch);

// Whole chunks of the selected recording from the read position, read in one go into
// buffer (capacity bytes) as they lie in the store, for a reader that keeps them there:
// chunk i's payload is refs[i].offset bytes into buffer. Returns as TatRead (never
// kTatTooSmall); with *count 0 the next chunk is not whole in the buffer or is damaged, and
// TatRead reads (or skips) it.
struct TatChunkRef {
  int offset;
  int size;
  uint8_t camera, type, key;
};
int TatReadBatch(TatHandle* handle, void* buffer, int capacity, TatChunkRef* refs, int maxRefs,
                 int* count);

// Positions the next read at the start of a seek unit (24 front frames): the unit is the
// total unit count minus (b - a), clamped to the recording.
void TatSeek(TatHandle* handle, int a, int b);
