// A worker thread that calls a step function again and again until stopped.
#pragma once

#include <atomic>
#include <string>
#include <thread>

class CSingleThread {
 public:
  using StepFn = bool (*)(void*);

  // name: the OS thread name ("MediaSync", "TATParser"); null leaves the default name.
  explicit CSingleThread(const char* name = nullptr);
  // Stops the thread when it still runs.
  virtual ~CSingleThread();
  CSingleThread(const CSingleThread&) = delete;
  CSingleThread& operator=(const CSingleThread&) = delete;

  // Starts a thread calling step(argument) until the step returns false or StopThread is
  // called. The last two parameters are unused (callers pass 0, 0). Returns false when a
  // thread already runs.
  bool BeginThread(StepFn step, void* argument, unsigned = 0, int = 0);

  // Returns only after the step has returned for the last time; safe on a thread never
  // begun and on one already stopped. Called from the worker itself, it ends the thread
  // after the current step without waiting.
  void StopThread();

  bool IsRunning() const { return m_thread.joinable(); }

 private:
  void Run(StepFn step, void* argument);

  std::string m_name;
  std::atomic<bool> m_stop{false};
  std::thread m_thread;
};
