#include "media/sync.h"

CSync::CSync(const char*) {}
CSync::~CSync() = default;
void CSync::Lock() { m_mutex.lock(); }
void CSync::Unlock() { m_mutex.unlock(); }
