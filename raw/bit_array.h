// A growable array of bits kept in 32-bit words: the bitmap pool's map of
// occupied slots, which is saved and loaded with the pool. Copies share one body
// (reference-counted, copied before the first change); each body has its own
// lock, so one array may be used from several threads.
#pragma once

#include <cstdint>

namespace RawLayer {

class RawBitArray {
 public:
  struct Body;

  RawBitArray();
  RawBitArray(const RawBitArray& other);
  RawBitArray& operator=(const RawBitArray& other);
  ~RawBitArray();

  // Bits added each time the array grows (at least 1).
  void SetGrowStep(int32_t bits);
  int32_t GrowStep() const;
  // Makes room for at least `words` words (new bits clear). Never shrinks.
  void ReserveWords(int32_t words);
  int32_t WordCount() const;
  // Bits the array holds; bits beyond it read as clear.
  int32_t BitCapacity() const;
  // One more than the highest bit ever set since the last ClearAll.
  int32_t HighestUsedPlusOne() const;
  uint32_t Word(int32_t index) const;

  bool Get(int32_t bit) const;
  // Sets a bit, growing by whole steps until it fits; negative bits are ignored.
  void Set(int32_t bit);
  void Clear(int32_t bit);
  // Clears every bit and keeps the memory.
  void ClearAll();
  // Frees the words; the growth step stays.
  void Release();

  // The slot rule of the pool: the first word that is not full gives its word
  // index times 32 plus the number of set bits counted up from its lowest bit.
  // The array grows when that bit is beyond its capacity (or every word is full).
  // The bit is set and returned.
  int32_t TakeFirstClear();

  // Copies the words out (`count` of them, zeros beyond the array) or replaces
  // the whole array by `count` words.
  void CopyWords(uint32_t* out, int32_t count) const;
  void AssignWords(const uint32_t* words, int32_t count);

  bool SharesBodyWith(const RawBitArray& other) const { return body_ == other.body_; }
  // Bodies alive in the process (to prove that shared bodies are released).
  static int64_t LiveBodies();

 private:
  // Makes the body private before a change.
  void Detach();
  Body* body_;
};

}  // namespace RawLayer
