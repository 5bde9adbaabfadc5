// CQMVMediaPlayer: plays one recording at a time. Its worker thread reads chunks through a
// VMediaParser, waits for a key frame, pre-buffers about 700 ms of front video, then decodes
// and shows front and rear frames through a VMediaDecoder at the front camera's rate, hands
// audio to the media clock (CMediaSync, which the audio device drains) and text chunks to
// the owner, and reports the end of the recording through the status callback.
//
// Recordings in a row (a trip) play without a stop: the owner opens the next one in a second
// parser and queues it (QueueNext). When the open recording's chunks run out, the worker
// reads on from the queued parser at once, behind a marker in the packet queue; the output
// passes the marker after the last packet of the old recording, and from there the position
// counts in the new one. Nothing is flushed, so picture and sound go on.
//
// Threads: every public operation is for the owner's (user-interface) thread; the callbacks
// run on the worker ("Player"). Lock order: m_lock -> packet-queue lock, m_lock -> media-clock
// lock, m_lock -> decoder lock. The worker holds m_lock for a pump, which gives it up at its
// next turn (at most one chunk and one video packet) once an owner call waits for it; the
// text callback runs with it held, the status callback after it has been released.
#pragma once

#include <atomic>
#include <cstdint>
#include <deque>
#include <opencv2/core.hpp>
#include <vector>

#include "containers/media_parser.h"
#include "playback/frame_pacer.h"
#include "playback/media_sync.h"
#include "playback/packet_queue.h"
#include "playback/time_stretch.h"
#include "concurrency/single_thread.h"
#include "concurrency/sync.h"

class VAudio;
class VMediaDecoder;
class VMediaParser;
class VideoSurface;

class CQMVMediaPlayer {
 public:
  // data: the chunk's bytes and one zero byte; size: chunk size + 1; timeMs: time of the
  // last shown front frame. Runs on the worker with the player's lock held.
  using TextCallback = void (*)(void* user, const char* data, int size, int timeMs);
  // code 1: the open recording has ended (a = 0) or could not be read (a = 1: the parser
  // could not open it or reported a read error); never for a stop, a seek or anything else
  // after StopMedia, nor while the card gives no data (the worker waits for it). Runs on
  // the worker, unlocked.
  using StatusCallback = void (*)(void* user, int code, int a, int b);
  // The output has passed into the queued recording tagged tag (its first packet is next).
  // Runs on the worker with the player's lock held, before any text of that recording.
  using NextCallback = void (*)(void* user, int tag);

  enum Command : int32_t { kIdle = 0, kPlay = 1, kShowOneFrame = 10 };
  enum Status : int32_t { kPlaying = 0, kStill = 1, kStopped = 2 };
  static constexpr int kBufferBytes = 0x100000;
  static constexpr int kPreBufferMs = 700;
  // Front frames decoded ahead of the screen at a time (with the rear frames between them),
  // and the most bytes their pictures may take.
  static constexpr int kFramesAhead = 10;
  static constexpr int64_t kAheadBytes = 64 << 20;

  CQMVMediaPlayer();
  virtual ~CQMVMediaPlayer();
  CQMVMediaPlayer(const CQMVMediaPlayer&) = delete;
  CQMVMediaPlayer& operator=(const CQMVMediaPlayer&) = delete;

  // Wiring, before StartEngine; none is owned. SetParser may also come later, while nothing
  // is open (after StopMedia): the next OpenMedia reads through the new parser.
  void SetParser(VMediaParser* parser);
  void SetDecoder(VMediaDecoder* decoder) { m_decoder = decoder; }
  void SetAudio(VAudio* audio) { m_audio = audio; }
  void SetTextCallback(TextCallback fn, void* user);
  void SetStatusCallback(StatusCallback fn, void* user);
  void SetNextCallback(NextCallback fn, void* user);

  // Starts the parser, the codecs, the audio output and the clock's thread, then the worker.
  // The surfaces (not owned, may be null) must outlive Shutdown. Always true.
  bool StartEngine(VideoSurface* front, VideoSurface* rear);
  // Opens source and starts playing at once. Always true: a recording that cannot be opened
  // plays nothing and ends through the status callback.
  bool OpenMedia(const MediaSource& source, int tag = 0);
  // A file path or a recording's name as a user typed it (MediaSource::Named).
  bool OpenMedia(const char* name, int tag = 0);
  // parser (not owned) holds the recording that follows the open one, opened by the owner
  // (info: what its Open gave); it is read as soon as the open recording's chunks run out
  // (or cannot be read), without a stop. One at a time: a second call replaces the first
  // while the worker has not begun it. The owner may reuse a parser again once the
  // next-callback has reported the recording after it, or after StopMedia / OpenMedia,
  // which forget the queued one.
  void QueueNext(VMediaParser* parser, const MediaInfo& info, int tag);
  // Whether a queued parser still waits to be read (false once the worker has begun it).
  bool HasQueuedNext() const { return m_nextQueued; }
  // Stops playback: status 2, the parser closed, the pipeline and the audio queue emptied.
  // Until the next OpenMedia the worker reads nothing, shows nothing and reports no end.
  void StopMedia();
  void PausePlayback() { m_command = kIdle; }
  void ResumePlayback() { m_command = kPlay; }
  // While playing: the worker moves to the frame at its next chunk. While paused: moves now
  // and shows that one frame (command 10); after StopMedia it does nothing. Either way the
  // audio still queued is dropped. Always true. The frame shown is the first of the seek
  // unit that holds ms; with exact, the frame at ms itself (those before it in the unit are
  // decoded unseen, their sound dropped).
  bool SeekToMs(int ms, bool exact = false);
  // Single-frame moves relative to the current frame, carried out while playing.
  void RequestStep(int frames) { m_stepRequest = frames; }
  // Shows frame n of the open recording exactly (clamped into it), as SeekToMs with exact.
  void SeekToFrame(int frame);
  // While paused: shows the frame delta frames from the one on screen, both cameras. One
  // frame on is the next one out of the pipeline (nothing is read again); any other, an
  // exact seek. Nothing after StopMedia.
  void StepFrames(int delta);
  // Playback speed (one of the steps of play_speed.h), taken at the worker's next turn and
  // kept across recordings: the frames at the rate times speed, the sound with its pitch kept
  // from 1/2x to 2x and silent outside. Where decoding cannot keep up with a speed above 1x,
  // only key frames are shown, each at its time. Any thread.
  void SetSpeed(double speed) { m_speed = speed > 0 ? speed : 1.0; }
  double Speed() const { return m_speed; }
  // Whether the last key frame began a run of key frames only (decoding fell behind).
  bool ShowsKeyFramesOnly() const { return m_keyOnly; }
  // Shutdown: worker (at its next pump turn, even mid-recording), media clock, parser
  // reader, audio output. Safe to call twice.
  void Shutdown();

  // Time of the front frame last shown; after a seek, of the frame the seek reached.
  int GetPositionMs() const;
  // The same, with the tag of the recording that time is in (as given to OpenMedia or
  // QueueNext), read together.
  int GetPlace(int* tag) const;
  int DurationMs() const { return m_durationMs; }
  int Status() const { return m_status; }
  int CommandValue() const { return m_command; }
  // 2 when the open recording has rear frames, else 1; before any open, 2 when the rear
  // frame rate is nonzero.
  int GetCameraCount() const;

  // While paused: draws both cameras' last pictures again.
  void RedrawStill();
  // False when stopped; otherwise the decoder's SaveFrame of camera.
  bool SaveSnapshot(int camera, const char* path);
  void SetCameraBrightness(int camera, int level);
  void SetCameraFlip(int camera, int mode);

 private:
  // Holds m_lock for an owner call. While one waits, the pump returns at its next turn.
  class OwnerLock {
   public:
    explicit OwnerLock(CQMVMediaPlayer& player);
    ~OwnerLock();
    OwnerLock(const OwnerLock&) = delete;
    OwnerLock& operator=(const OwnerLock&) = delete;

   private:
    CQMVMediaPlayer& m_player;
  };
  enum class Output { kShown, kEmpty, kHeld };

  static bool ThreadStep(void* self);
  void Step();
  // The pump and its parts. REQUIRES: m_lock held.
  bool Pump();
  // Handles one chunk read into m_readBuffer. Returns false when Pump is to return true
  // (dropped, text, or still pre-buffering); sets *ready when a packet is to be output.
  bool HandleChunk(const char id[4], int size, bool* ready);
  bool HandleVideo(int camera, int size, bool* ready);
  // Pops packets until one video packet (untilFront: one front packet) has been handled.
  // kEmpty when the queue ran empty; kHeld when a front packet waits for the audio while an
  // owner waits for the lock.
  Output OutputOne(bool untilFront = false);
  // Shows the held front packet once the audio lets it through; false while it is still held.
  bool OutputHeldFront();
  // Decoding ahead: while playing at up to 1x with nothing unseen or entered, the queued
  // packets are decoded in a burst of up to kFramesAhead front frames (FillAhead), and
  // handed out one at a time at their time (OutputAhead: kEmpty once the burst is out).
  bool DecodesAhead() const;
  void FillAhead();
  Output OutputAhead(bool untilFront);
  // Paused with pictures decoded ahead: they are dropped, the decoder's pictures become the
  // ones on screen again, and playing or stepping on starts from the frame on screen.
  void SettleAhead();
  void OutputFront(int size);
  void OutputRear(int size);
  // A front or rear packet left out at a speed decoding cannot keep up with (key frames only,
  // and after that until the camera's next key frame).
  bool LeavesOutFront(bool key);
  bool LeavesOutRear(bool key);
  // The new speed at the worker's turn: the audio queued at the old one dropped, the schedule
  // restarted.
  void TakeSpeed();
  // Playing again after single frames: the kept pictures let go, and the pipeline brought
  // back to the frame on screen when a step was shown from them.
  void LeaveSteps();
  // Queues sound read at the played speed (stretched, or nothing when silent).
  void PushSound(const uint8_t* pcm, int size);
  // Single-frame command done: both cameras' pictures drawn again, status still, idle.
  void ShowStill();
  void ResetPipeline();
  void MoveToFrame(int frame, bool exact);
  int TimeOfFrameMs(int frame) const;
  // A text chunk's bytes and the zero after them, as queued, to the text callback.
  void DeliverText(const uint8_t* bytes, int size);
  // Takes the recording's rates, length and cameras as the ones played. REQUIRES: m_lock.
  void TakeInfo(const MediaInfo& info);
  // The read side reached the end of the open recording: reads on from the queued one.
  void ReadOnFromNext();
  // The output reached the marker of the next recording: the position counts in it.
  void EnterNext();
  // A seek or step while the read side is already in the next recording: back to the one
  // still shown, the next one queued again from its start.
  void TakeBackNext();
  // Drops the queued recording (an open replaces the sequence).
  void ForgetQueued();
  int64_t PlaceOf(int frame) const {
    return (static_cast<int64_t>(m_shownTag) << 32) | static_cast<uint32_t>(frame);
  }
  void SetShownFrame(int frame) { m_shownPlace = PlaceOf(frame); }
  // Shows frame target from the pictures the decoder kept while stepping; false when they
  // are not all kept. REQUIRES: m_lock, paused.
  bool ShowKept(int target);

  // Set by the owner before StartEngine.
  VMediaParser* m_parser = nullptr;
  VAudio* m_audio = nullptr;
  VMediaDecoder* m_decoder = nullptr;
  TextCallback m_textCallback = nullptr;
  void* m_textUser = nullptr;
  StatusCallback m_statusCallback = nullptr;
  void* m_statusUser = nullptr;
  VideoSurface* m_frontSurface = nullptr;
  VideoSurface* m_rearSurface = nullptr;

  // Written by one thread, read by the other without the lock.
  std::atomic<int32_t> m_command{kIdle};
  std::atomic<int32_t> m_status{kStopped};
  std::atomic<int32_t> m_stepRequest{0};
  std::atomic<int32_t> m_seekRequest{-1};  // frame * 2, + 1 for an exact seek; -1 none
  std::atomic<int32_t> m_frontRate{0};
  std::atomic<int32_t> m_rearRate{0};
  std::atomic<int32_t> m_durationMs{0};
  std::atomic<int32_t> m_currentFrame{0};   // index of the next front frame to show
  // The front frame on screen: its recording's tag (high half) and index (low half).
  std::atomic<int64_t> m_shownPlace{0};
  std::atomic<bool> m_nextQueued{false};  // m_next holds a parser the worker has not begun
  std::atomic<int32_t> m_ownersWaiting{0};  // owner calls waiting for m_lock (and Shutdown)
  std::atomic<int32_t> m_cameraCount{0};  // of the last recording opened; 0 before any
  std::atomic<double> m_speed{1.0};        // as asked for by the owner
  std::atomic<bool> m_keyOnly{false};      // key frames only since the last front key frame

  // Guarded by m_lock.
  CSync m_lock{"none"};
  bool m_open = false;  // OpenMedia called and no StopMedia since
  CMediaSync m_mediaSync;
  CPacketQueue m_packets;
  int32_t m_framesQueued = 0;  // front packets since the last reset
  bool m_preBuffering = true;
  int32_t m_totalFrames = 0;
  bool m_awaitFrontKey = false;
  bool m_awaitRearKey = false;
  bool m_droppedBeforeKey = false;  // front frames dropped while waiting for the key frame
  int32_t m_audioBits = 16;
  int32_t m_audioRate = 8000;
  int32_t m_heldFrontSize = 0;  // bytes of the front packet held in m_frameBuffer; 0 none
  bool m_readError = false;     // the parser's last read was an error, not the end
  // After an exact seek: the first front frame to show (those before it are decoded unseen),
  // and the index of the last front frame read; -1 otherwise.
  int32_t m_showFrom = -1;
  int32_t m_frontRead = -1;
  int32_t m_shownTag = 0;       // tag of the recording the output is in
  // The recording queued next; the one the read side is in while the output is not yet
  // (m_entering), with the parser of the one still shown (m_left, read to its end).
  struct Queued {
    VMediaParser* parser = nullptr;
    MediaInfo info;
    int tag = 0;
  };
  Queued m_next;
  Queued m_entering;                      // parser null when none
  VMediaParser* m_left = nullptr;         // the one read to its end, while m_entering is set
  NextCallback m_nextCallback = nullptr;
  void* m_nextUser = nullptr;

  // Worker thread only (under m_lock).
  CFramePacer m_pacer;
  CTimeStretch m_stretch;
  std::vector<uint8_t> m_stretched;     // stretched sound on its way to the media clock
  double m_playedSpeed = 1.0;           // the speed the worker plays at
  double m_decodeCostMs = 0;            // running mean of a front frame's and its rear frames' decode
  double m_rearCostMs = 0;              // rear decode time since the last front frame
  bool m_rearLeftOut = false;           // rear frames left out until its next key frame
  int m_keyOnlyRuns = 0;                // key frames only since this many key frames
  // A step was shown from kept pictures while the pipeline stayed where it was: playing on
  // starts with an exact seek to the frame after the one on screen.
  bool m_pipelineAhead = false;
  bool m_keptPictures = false;          // the decoder keeps pictures of single frames
  // Pictures decoded ahead, with the text between them, in the order they were written.
  struct Ahead {
    int32_t kind = 0;                 // CPacketQueue's kinds
    cv::Mat picture;                  // front or rear; empty when nothing came out
    std::vector<uint8_t> bytes;       // text
  };
  std::deque<Ahead> m_ahead;
  std::vector<uint8_t> m_readBuffer;   // chunk payloads are read into this
  std::vector<uint8_t> m_frameBuffer;  // and popped out of the queue into this

  CSingleThread m_worker{"Player"};  // last: stopped first on destruction
};
