#include "raw/bit_array.h"

#include <algorithm>
#include <atomic>
#include <bit>
#include <mutex>
#include <vector>

namespace RawLayer {

namespace {
std::atomic<int64_t> g_live_bodies{0};
constexpr int32_t kWordBits = 32;

int32_t WordsFor(int64_t bits) { return static_cast<int32_t>((bits + kWordBits - 1) / kWordBits); }
}  // namespace

struct RawBitArray::Body {
  Body() { g_live_bodies.fetch_add(1, std::memory_order_relaxed); }
  Body(const Body& other)
      : words(other.words), growStep(other.growStep), capacity(other.capacity), highest(other.highest) {
    g_live_bodies.fetch_add(1, std::memory_order_relaxed);
  }
  ~Body() { g_live_bodies.fetch_sub(1, std::memory_order_relaxed); }

  // Grows by whole steps until `bit` is below the capacity.
  void GrowToHold(int32_t bit) {
    if (bit < capacity) return;
    const int64_t steps = (static_cast<int64_t>(bit) - capacity) / growStep + 1;
    capacity = static_cast<int32_t>(capacity + steps * growStep);
    words.resize(static_cast<size_t>(WordsFor(capacity)), 0);
  }

  mutable std::mutex lock;
  std::atomic<int32_t> extra{0};  // holders beyond the first
  std::vector<uint32_t> words;
  int32_t growStep = kWordBits;
  int32_t capacity = 0;  // bits
  int32_t highest = 0;   // highest bit set plus one
};

int64_t RawBitArray::LiveBodies() { return g_live_bodies.load(); }

RawBitArray::RawBitArray() : body_(new Body) {}

RawBitArray::RawBitArray(const RawBitArray& other) : body_(other.body_) {
  body_->extra.fetch_add(1, std::memory_order_relaxed);
}

RawBitArray& RawBitArray::operator=(const RawBitArray& other) {
  if (body_ != other.body_) {
    other.body_->extra.fetch_add(1, std::memory_order_relaxed);
    if (body_->extra.fetch_sub(1, std::memory_order_acq_rel) == 0) delete body_;
    body_ = other.body_;
  }
  return *this;
}

RawBitArray::~RawBitArray() {
  if (body_->extra.fetch_sub(1, std::memory_order_acq_rel) == 0) delete body_;
}

void RawBitArray::Detach() {
  if (body_->extra.load(std::memory_order_acquire) == 0) return;
  Body* copy;
  {
    std::lock_guard<std::mutex> guard(body_->lock);
    copy = new Body(*body_);
  }
  if (body_->extra.fetch_sub(1, std::memory_order_acq_rel) == 0) delete body_;
  body_ = copy;
}

void RawBitArray::SetGrowStep(int32_t bits) {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  body_->growStep = std::max(bits, 1);
}

int32_t RawBitArray::GrowStep() const {
  std::lock_guard<std::mutex> guard(body_->lock);
  return body_->growStep;
}

void RawBitArray::ReserveWords(int32_t words) {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  if (words <= static_cast<int32_t>(body_->words.size())) return;
  body_->words.resize(static_cast<size_t>(words), 0);
  body_->capacity = words * kWordBits;
}

int32_t RawBitArray::WordCount() const {
  std::lock_guard<std::mutex> guard(body_->lock);
  return static_cast<int32_t>(body_->words.size());
}

int32_t RawBitArray::BitCapacity() const {
  std::lock_guard<std::mutex> guard(body_->lock);
  return body_->capacity;
}

int32_t RawBitArray::HighestUsedPlusOne() const {
  std::lock_guard<std::mutex> guard(body_->lock);
  return body_->highest;
}

uint32_t RawBitArray::Word(int32_t index) const {
  std::lock_guard<std::mutex> guard(body_->lock);
  if (index < 0 || index >= static_cast<int32_t>(body_->words.size())) return 0;
  return body_->words[static_cast<size_t>(index)];
}

bool RawBitArray::Get(int32_t bit) const {
  std::lock_guard<std::mutex> guard(body_->lock);
  if (bit < 0 || bit >= body_->capacity) return false;
  return (body_->words[static_cast<size_t>(bit / kWordBits)] >> (bit % kWordBits)) & 1u;
}

void RawBitArray::Set(int32_t bit) {
  if (bit < 0) return;
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  body_->GrowToHold(bit);
  body_->words[static_cast<size_t>(bit / kWordBits)] |= 1u << (bit % kWordBits);
  body_->highest = std::max(body_->highest, bit + 1);
}

void RawBitArray::Clear(int32_t bit) {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  if (bit < 0 || bit >= body_->capacity) return;
  body_->words[static_cast<size_t>(bit / kWordBits)] &= ~(1u << (bit % kWordBits));
}

void RawBitArray::ClearAll() {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  std::fill(body_->words.begin(), body_->words.end(), 0u);
  body_->highest = 0;
}

void RawBitArray::Release() {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  std::vector<uint32_t>().swap(body_->words);
  body_->capacity = 0;
  body_->highest = 0;
}

int32_t RawBitArray::TakeFirstClear() {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  Body& b = *body_;
  const int32_t count = static_cast<int32_t>(b.words.size());
  int32_t bit = count * kWordBits;
  for (int32_t w = 0; w < count; ++w) {
    const uint32_t word = b.words[static_cast<size_t>(w)];
    if (word != 0xFFFFFFFFu) {
      bit = w * kWordBits + std::countr_one(word);
      break;
    }
  }
  b.GrowToHold(bit);
  b.words[static_cast<size_t>(bit / kWordBits)] |= 1u << (bit % kWordBits);
  b.highest = std::max(b.highest, bit + 1);
  return bit;
}

void RawBitArray::CopyWords(uint32_t* out, int32_t count) const {
  std::lock_guard<std::mutex> guard(body_->lock);
  for (int32_t i = 0; i < count; ++i) {
    out[i] = i < static_cast<int32_t>(body_->words.size()) ? body_->words[static_cast<size_t>(i)] : 0u;
  }
}

void RawBitArray::AssignWords(const uint32_t* words, int32_t count) {
  Detach();
  std::lock_guard<std::mutex> guard(body_->lock);
  Body& b = *body_;
  b.words.assign(words, words + std::max(count, 0));
  b.capacity = static_cast<int32_t>(b.words.size()) * kWordBits;
  b.highest = 0;
  for (int32_t w = static_cast<int32_t>(b.words.size()) - 1; w >= 0; --w) {
    if (b.words[static_cast<size_t>(w)] != 0) {
      b.highest = w * kWordBits + kWordBits - std::countl_zero(b.words[static_cast<size_t>(w)]);
      break;
    }
  }
}

}  // namespace RawLayer
