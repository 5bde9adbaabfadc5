// Builds AVI files byte by byte, so tests can shape every field, including wrong ones.
#pragma once

#include <cstdint>
#include <cstring>
#include <string>
#include <vector>

#include "platform/byte_order.h"

namespace roadkeep::test {

struct RawChunk {
  std::string id;
  std::vector<uint8_t> payload;
};

struct RawAvi {
  std::vector<uint32_t> videoRates = {30000};  // one vids stream per rate (scale 1000)
  bool audio = true;
  bool text = true;
  bool junkBeforeMovi = false;
  bool withIndex = true;
  std::vector<RawChunk> chunks;
};

class ByteWriter {
 public:
  std::vector<uint8_t> bytes;
  // resize + memcpy rather than insert: GCC 12 warns falsely on vector::insert here.
  uint8_t* Grow(size_t n) {
    bytes.resize(bytes.size() + n);
    return bytes.data() + bytes.size() - n;
  }
  void Raw(const void* p, size_t n) {
    if (n) std::memcpy(Grow(n), p, n);
  }
  void Code(const char* c) { Raw(c, 4); }
  void U32(uint32_t v) { PutU32(Grow(4), v); }
  void Zeros(size_t n) { Grow(n); }
  size_t Mark() const { return bytes.size(); }
  void Patch(size_t at, uint32_t v) { PutU32(bytes.data() + at, v); }
};

inline std::vector<uint8_t> BuildRawAvi(const RawAvi& shape) {
  ByteWriter w;
  w.Code("RIFF");
  const size_t riff = w.Mark();
  w.U32(0);
  w.Code("AVI ");
  w.Code("LIST");
  const size_t hdrl = w.Mark();
  w.U32(0);
  w.Code("hdrl");
  w.Code("avih");
  w.U32(56);
  uint8_t main[56] = {};
  PutU32(main + 16, static_cast<uint32_t>(shape.chunks.size()));
  w.Raw(main, 56);
  auto streamList = [&](const char* type, uint32_t scale, uint32_t rate, uint32_t strfSize,
                        uint32_t width, uint32_t height) {
    w.Code("LIST");
    w.U32(4 + 8 + 56 + (strfSize ? 8 + strfSize : 8));
    w.Code("strl");
    w.Code("strh");
    w.U32(56);
    uint8_t h[56] = {};
    std::memcpy(h, type, 4);
    PutU32(h + 20, scale);
    PutU32(h + 24, rate);
    w.Raw(h, 56);
    w.Code("strf");
    w.U32(strfSize);
    std::vector<uint8_t> f(strfSize, 0);
    if (strfSize == 40) {
      PutU32(f.data(), 40);
      PutU32(f.data() + 4, width);
      PutU32(f.data() + 8, height);
    } else if (strfSize == 16) {
      PutU16(f.data(), 1);
      PutU16(f.data() + 2, 1);
      PutU32(f.data() + 4, 8000);
      PutU32(f.data() + 8, 16000);
      PutU16(f.data() + 12, 2);
      PutU16(f.data() + 14, 16);
    }
    w.Raw(f.data(), f.size());
  };
  uint32_t width = 640;
  for (uint32_t rate : shape.videoRates) {
    streamList("vids", 1000, rate, 40, width, width * 9 / 16);
    width /= 2;
  }
  if (shape.audio) streamList("auds", 2, 16000, 16, 0, 0);
  if (shape.text) streamList("txts", 1000, 100000, 0, 0, 0);
  w.Patch(hdrl, static_cast<uint32_t>(w.Mark() - hdrl - 4));
  if (shape.junkBeforeMovi) {
    w.Code("LIST");
    w.U32(4 + 8 + 6);
    w.Code("INFO");
    w.Code("ISFT");
    w.U32(6);
    w.Code("test");
    w.Zeros(2);
    w.Code("JUNK");
    w.U32(10);
    w.Zeros(10);
  }
  w.Code("LIST");
  const size_t movi = w.Mark();
  w.U32(0);
  const size_t moviCode = w.Mark();
  w.Code("movi");
  std::vector<uint32_t> offsets;
  for (const RawChunk& c : shape.chunks) {
    offsets.push_back(static_cast<uint32_t>(w.Mark() - moviCode));
    w.Code(c.id.c_str());
    w.U32(static_cast<uint32_t>(c.payload.size()));
    w.Raw(c.payload.data(), c.payload.size());
    if (c.payload.size() % 2) w.Zeros(1);
  }
  w.Patch(movi, static_cast<uint32_t>(w.Mark() - movi - 4));
  if (shape.withIndex) {
    w.Code("idx1");
    w.U32(static_cast<uint32_t>(16 * shape.chunks.size()));
    for (size_t i = 0; i < shape.chunks.size(); ++i) {
      w.Code(shape.chunks[i].id.c_str());
      w.U32(16);
      w.U32(offsets[i]);
      w.U32(static_cast<uint32_t>(shape.chunks[i].payload.size()));
    }
  }
  w.Patch(riff, static_cast<uint32_t>(w.Mark() - 8));
  return w.bytes;
}

// A payload whose bytes say which chunk it is.
inline std::vector<uint8_t> Payload(int n, int tag) {
  std::vector<uint8_t> p(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) p[static_cast<size_t>(i)] = static_cast<uint8_t>(tag * 7 + i);
  return p;
}

}  // namespace roadkeep::test
