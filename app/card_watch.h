// CCardWatch: looks at the removable volumes for recorder cards on a thread of its own
// ("CardWatch"), so a slow volume never stalls the window. The window's timer asks once a
// second, with the card folders it read from the environment (only the GUI thread reads it);
// the cards found are handed back with the folders they were looked for in, and the window
// then chooses among them without reading anything (TatPollFound).
//
// Threads: Request and the destructor on the GUI thread; the looking on "CardWatch"; the
// callback given at construction is called on "CardWatch" and must only queue.
#pragma once

#include <condition_variable>
#include <functional>
#include <mutex>
#include <optional>
#include <string>
#include <thread>

#include <vector>

#include "tat/tat_library.h"

class CCardWatch {
 public:
  using Found = std::function<void(const std::string& cardDirs, std::vector<TatVolume> cards)>;
  // How one look finds the cards for cardDirs; on "CardWatch".
  using Look = std::function<std::vector<TatVolume>(const std::string& cardDirs)>;
  // found(cardDirs, cards) after each look.
  explicit CCardWatch(Found found);
  ~CCardWatch();  // waits for a poll under way to end
  CCardWatch(const CCardWatch&) = delete;
  CCardWatch& operator=(const CCardWatch&) = delete;

  // Polls once, with cardDirs standing for ROADKEEP_CARD_DIRS. A request made while one
  // waits replaces it; one made during a poll runs after it.
  void Request(std::string cardDirs);
  // Replaces how the next looks find cards (the removable volumes' volume records by
  // default); tests stand a volume that hangs in with it.
  void SetLook(Look look);

 private:
  void Run();

  const Found m_found;
  std::mutex m_mutex;
  std::condition_variable m_wake;
  std::optional<std::string> m_request;  // guarded by m_mutex
  Look m_look;                           // guarded by m_mutex
  bool m_stopping = false;               // guarded by m_mutex
  std::thread m_thread;                  // last: started once the rest is ready
};
