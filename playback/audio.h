// The audio output as the player and the media clock see it.
#pragma once

// Of the output's operations only these have behaviour in the system; the other slots of the
// original interface do nothing and are left out.
class VAudio {
 public:
  // Opens the default output for mono PCM of bits per sample at rate samples per second.
  // Returns whether the output is ready.
  virtual bool OpenOutput(int bits, int rate) = 0;
  // Not ready afterwards. 1 when the device closed, -1 when there was none.
  virtual int CloseOutput() = 0;
  // Opens the device again with the last format; ready tells whether it worked.
  virtual void ReopenOutput() = 0;
  // Whether Play reaches the device: false before a successful open, after a close or a
  // device error, and while a stalled device has given no buffer back.
  virtual bool IsReady() const = 0;
  // Hands size bytes (at most one buffer) to the device, waiting while both buffers are
  // busy. Returns at once when the output is not ready or discarding. Called from one
  // thread only.
  virtual void Play(const void* data, int size) = 0;
  // on: drops the buffers the device holds and has not begun to play (the one it plays goes
  // on), and until SetDiscard(false) Play writes nothing, a waiting Play included. Any thread.
  virtual void SetDiscard(bool on) = 0;
  virtual ~VAudio() = default;
  // Device error codes that end audio output (invalid handle, no driver, no memory, header
  // not prepared) clear ready. Returns code.
  virtual int CheckResult(int code) = 0;
};
