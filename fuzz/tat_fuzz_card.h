// What both store fuzz targets do with their input: it becomes the driving store file of a
// card in a temporary folder (made for the input and removed after it), which is then
// listed, and every listed recording opened (by index and by name) and read to its end three
// times: as the player's reader does (whole chunks in batches, the rest alone in room that
// grows only when a chunk asks for it), with room for any chunk, and after a seek near the
// end; then its text chunks alone (ReadText), and the recordings grouped into trips.
#pragma once

#include <cstddef>
#include <cstdint>

namespace roadkeep::fuzz {

void ReadAsDrivingStore(const uint8_t* data, size_t size);

}  // namespace roadkeep::fuzz
