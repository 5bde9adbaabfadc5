#include "resources/skin_table.h"

#include "resources/resource_ids.h"

namespace {

const SkinBitmapInfo kBitmaps[] = {
    {IDB_BACKGROUND, 975, 635},
    {IDB_POS_CHANNEL, 393, 14},
    {IDB_POS_CHANNEL_ACTIVE, 393, 14},
    {IDB_POS_CHANNEL_FULL, 393, 14},
    {IDB_POS_CHANNEL_FULL_ACTIVE, 393, 14},
    {IDB_LIST_TITLE_KO, 325, 18},
    {IDB_LIST_TITLE_EN, 325, 18},
    {IDB_LIST_TITLE_JA, 325, 18},
    {IDB_MAP, 161, 24},
    {IDB_MAP_DOWN, 161, 24},
    {IDB_MAP_DISABLED, 161, 24},
    {IDB_SWAP, 161, 24},
    {IDB_SWAP_DOWN, 161, 24},
    {IDB_SWAP_DISABLED, 161, 24},
    {IDB_SMALL_MAP, 161, 24},
    {IDB_SMALL_MAP_DOWN, 161, 24},
    {IDB_SMALL_MAP_DISABLED, 161, 24},
    {IDB_SMALL_CAMERA, 161, 24},
    {IDB_SMALL_CAMERA_DOWN, 161, 24},
    {IDB_SMALL_CAMERA_DISABLED, 161, 24},
    {IDB_FULL_SWAP, 157, 27},
    {IDB_FULL_SWAP_DOWN, 157, 27},
    {IDB_FULL_SWAP_DISABLED, 157, 27},
    {IDB_DOWNLOAD, 140, 25},
    {IDB_DOWNLOAD_DOWN, 140, 25},
    {IDB_SMALL_CHANNEL, 81, 14},
    {IDB_SMALL_CHANNEL_ACTIVE, 81, 14},
    {IDB_FILTER_ALL, 65, 24},
    {IDB_FILTER_ALL_DOWN, 65, 24},
    {IDB_FILTER_EVENT, 65, 24},
    {IDB_FILTER_EVENT_DOWN, 65, 24},
    {IDB_FILTER_USER, 65, 24},
    {IDB_FILTER_USER_DOWN, 65, 24},
    {IDB_FILTER_PARKING, 65, 24},
    {IDB_FILTER_PARKING_DOWN, 65, 24},
    {IDB_FILTER_DRIVING, 65, 24},
    {IDB_FILTER_DRIVING_DOWN, 65, 24},
    {IDB_NEXT, 31, 17},
    {IDB_NEXT_DOWN, 31, 17},
    {IDB_PRE, 31, 17},
    {IDB_PRE_DOWN, 31, 17},
    {IDB_MIRROR, 30, 23},
    {IDB_MIRROR_DOWN, 30, 23},
    {IDB_CAPTURE, 30, 20},
    {IDB_CAPTURE_DOWN, 30, 20},
    {IDB_MUTE, 27, 22},
    {IDB_MUTE_DOWN, 27, 22},
    {IDB_CLOSE, 25, 25},
    {IDB_CLOSE_DOWN, 25, 25},
    {IDB_FULLSCREEN, 25, 25},
    {IDB_FULLSCREEN_DOWN, 25, 25},
    {IDB_MINIMIZE, 25, 25},
    {IDB_MINIMIZE_DOWN, 25, 25},
    {IDB_WINDOW, 25, 25},
    {IDB_WINDOW_DOWN, 25, 25},
    {IDB_BACK10, 25, 16},
    {IDB_BACK10_DOWN, 25, 16},
    {IDB_FWD10, 25, 16},
    {IDB_FWD10_DOWN, 25, 16},
    {IDB_BRIGHTNESS, 24, 25},
    {IDB_SETTINGS, 21, 21},
    {IDB_SETTINGS_DOWN, 21, 21},
    {IDB_ZOOM, 21, 21},
    {IDB_ZOOM_DOWN, 21, 21},
    {IDB_OPEN, 19, 17},
    {IDB_OPEN_DOWN, 19, 17},
    {IDB_STOP, 17, 16},
    {IDB_STOP_DOWN, 17, 16},
    {IDB_PLAY, 15, 17},
    {IDB_PAUSE, 15, 17},
    {IDB_THUMB, 14, 14},
    {IDB_BAR_BOTTOM, 14, 45},
    {IDB_BAR_TOP, 14, 40},
};

}  // namespace

std::span<const SkinBitmapInfo> SkinBitmaps() { return kBitmaps; }

const SkinBitmapInfo* FindSkinBitmap(int id) {
  for (const SkinBitmapInfo& b : kBitmaps) {
    if (b.id == id) return &b;
  }
  return nullptr;
}
