// Every skin bitmap of the program with its size in pixels. The skin generator draws one
// PNG per entry; the resource loader refuses ids that are not listed here.
#pragma once

#include <span>

struct SkinBitmapInfo {
  int id;
  int width;
  int height;
};

// Static storage; ids are unique.
std::span<const SkinBitmapInfo> SkinBitmaps();
// The entry of id, or nullptr when the skin has no such bitmap.
const SkinBitmapInfo* FindSkinBitmap(int id);
