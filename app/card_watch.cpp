#include "app/card_watch.h"

#include <pthread.h>

#include <utility>
#include <vector>

#include "platform/removable_drives.h"

CCardWatch::CCardWatch(Found found)
    : m_found(std::move(found)),
      m_look([](const std::string& dirs) {
        return TatFindCards(roadkeep::platform::RemovableVolumes(dirs));
      }),
      m_thread([this] { Run(); }) {}

void CCardWatch::SetLook(Look look) {
  std::lock_guard<std::mutex> lock(m_mutex);
  m_look = std::move(look);
}

CCardWatch::~CCardWatch() {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_stopping = true;
  }
  m_wake.notify_all();
  m_thread.join();
}

void CCardWatch::Request(std::string cardDirs) {
  {
    std::lock_guard<std::mutex> lock(m_mutex);
    m_request = std::move(cardDirs);
  }
  m_wake.notify_all();
}

void CCardWatch::Run() {
  pthread_setname_np(pthread_self(), "CardWatch");
  for (;;) {
    std::string dirs;
    Look look;
    {
      std::unique_lock<std::mutex> lock(m_mutex);
      m_wake.wait(lock, [this] { return m_stopping || m_request.has_value(); });
      if (m_stopping) return;
      dirs = std::move(*m_request);
      m_request.reset();
      look = m_look;
    }
    m_found(dirs, look(dirs));
  }
}
