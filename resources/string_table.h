// The raw string table: one entry per message, naming the id and the UTF-8 text of each of
// its three languages. Most callers want LoadString (resources/resources.h) instead.
#pragma once

#include <span>

struct StringIds {
  int korean;
  int english;
  int japanese;
};

struct StringMessage {
  StringIds ids;
  const char* korean;
  const char* english;
  const char* japanese;
};

// Every message of the program, in no particular order. Static storage.
std::span<const StringMessage> StringMessages();
