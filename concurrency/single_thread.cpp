#include "concurrency/single_thread.h"

#include <pthread.h>

CSingleThread::CSingleThread(const char* name) : m_name(name ? name : "") {}

CSingleThread::~CSingleThread() { StopThread(); }

bool CSingleThread::BeginThread(StepFn step, void* argument, unsigned, int) {
  if (m_thread.joinable() || step == nullptr) return false;
  m_stop = false;
  m_thread = std::thread(&CSingleThread::Run, this, step, argument);
  return true;
}

void CSingleThread::StopThread() {
  m_stop = true;
  if (!m_thread.joinable()) return;
  if (m_thread.get_id() == std::this_thread::get_id()) {
    m_thread.detach();  // the loop sees m_stop after this step and ends
    return;
  }
  m_thread.join();
}

void CSingleThread::Run(StepFn step, void* argument) {
  if (!m_name.empty()) {
    // Linux limits thread names to 15 characters.
    pthread_setname_np(pthread_self(), m_name.substr(0, 15).c_str());
  }
  while (!m_stop.load()) {
    if (!step(argument)) break;
  }
}
