#include "raw/string.h"

#include <bit>
#include <cstring>
#include <new>

namespace RawLayer {

const char kBlanks[] = " \t";
const char kWhiteSpace[] = " \t\r\n";

struct RawString::Body {
  uint8_t kind;
  TextCode code;
  char* data;
  int32_t length;    // code units
  int32_t capacity;  // code units; an owned buffer holds one more for the zero unit
  std::atomic<int32_t> extra;  // further holders; 0 means one
};

namespace {

std::atomic<int64_t> g_liveBodies{0};

// The zero units every empty body points at; never written, because every change
// first moves the text into an owned buffer.
alignas(4) char g_zeroUnits[4] = {};

// One empty body per code for default-constructed, moved-from and cleared strings.
// They are never freed and always count as shared, so the first change of a
// string that holds one makes a private body.
constinit RawString::Body g_emptyBodies[kTextCodeCount] = {
    {RawString::KindEmpty, CodeAnsi, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeShiftJis, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeUtf8, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeUtf7, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeMac, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeUtf16Big, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeUtf16Little, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeWide, g_zeroUnits, 0, 0, {1}},
    {RawString::KindEmpty, CodeBinary, g_zeroUnits, 0, 0, {1}},
};

using Body = RawString::Body;

bool IsStatic(const Body* body) { return body >= g_emptyBodies && body < g_emptyBodies + kTextCodeCount; }

Body* StaticEmpty(TextCode code) {
  return &g_emptyBodies[static_cast<unsigned>(code) < kTextCodeCount ? code : CodeBinary];
}

void AddRef(Body* body) {
  if (!IsStatic(body)) body->extra.fetch_add(1, std::memory_order_relaxed);
}

void ReleaseBody(Body* body) {
  if (IsStatic(body)) return;
  if (body->extra.fetch_sub(1, std::memory_order_acq_rel) == 0) {
    if (body->kind == RawString::KindHeap) delete[] body->data;
    delete body;
    g_liveBodies.fetch_sub(1, std::memory_order_relaxed);
  }
}

bool IsShared(const Body* body) { return body->extra.load(std::memory_order_acquire) > 0; }

struct Span {
  int32_t begin;
  int32_t end;
  int32_t Size() const { return end - begin; }
};

Span Clamp(RawRange range, int32_t length) {
  int32_t begin = range.begin < 0 ? 0 : (range.begin > length ? length : range.begin);
  int32_t end = range.end > length ? length : (range.end < begin ? begin : range.end);
  return {begin, end};
}

// Over-allocation keeps character-by-character building linear.
int32_t GrowthFor(int32_t units) {
  int64_t capacity = units < 200 ? 20 + 2 * int64_t{units} : 100 + 2 * int64_t{units};
  if (capacity < INT32_MAX - 1) return static_cast<int32_t>(capacity);
  if (units < INT32_MAX - 1) return units;
  throw std::bad_alloc();
}

char* AllocateUnits(int32_t capacity, int size) {
  return new char[(static_cast<size_t>(capacity) + 1) * static_cast<size_t>(size)];
}

uint32_t ReadUnit(TextCode code, const char* data, int32_t position) {
  if (code == CodeWide) {
    char16_t unit;
    std::memcpy(&unit, data + 2 * static_cast<size_t>(position), 2);
    return unit;
  }
  return static_cast<uint8_t>(data[position]);
}

// The value a search compares at a character start: the 16-bit unit for the
// UTF-16 byte codes (so a byte of another character is never taken for it), the
// code unit otherwise.
uint32_t CharUnit(TextCode code, const char* data, int32_t length, int32_t position) {
  if ((code == CodeUtf16Big || code == CodeUtf16Little) && position + 1 < length) {
    auto hi = static_cast<uint8_t>(data[code == CodeUtf16Big ? position : position + 1]);
    auto lo = static_cast<uint8_t>(data[code == CodeUtf16Big ? position + 1 : position]);
    return (uint32_t{hi} << 8) | lo;
  }
  return ReadUnit(code, data, position);
}

bool InSet(uint32_t unit, const char* set) {
  return unit != 0 && unit < 0x80 && std::strchr(set, static_cast<int>(unit)) != nullptr;
}

uint32_t FoldAscii(uint32_t unit) { return unit >= 'a' && unit <= 'z' ? unit - ('a' - 'A') : unit; }

int DigitValue(uint32_t unit) {
  if (unit >= '0' && unit <= '9') return static_cast<int>(unit - '0');
  if (unit >= 'A' && unit <= 'Z') return static_cast<int>(unit - 'A') + 10;
  if (unit >= 'a' && unit <= 'z') return static_cast<int>(unit - 'a') + 10;
  return 99;
}

constexpr char kDigits[] = "0123456789ABCDEFGHIJKLMNOPQRSTUVWXYZ";

}  // namespace

TextCode NativeWideCode() {
  static const TextCode native = std::endian::native == std::endian::little ? CodeUtf16Little : CodeUtf16Big;
  return native;
}

// --- bodies --------------------------------------------------------------

RawString::Body* RawString::NewBody(uint8_t kind, TextCode code, const void* data, int32_t length,
                                    int32_t capacity) {
  Body* body = new Body{kind, code, nullptr, length, capacity, {0}};
  if (kind == KindHeap) {
    const int size = UnitSize(code);
    try {
      body->data = AllocateUnits(capacity, size);
    } catch (...) {
      delete body;
      throw;
    }
    if (length > 0) std::memcpy(body->data, data, static_cast<size_t>(length) * size);
    std::memset(body->data + static_cast<size_t>(length) * size, 0, size);
  } else {
    body->data = static_cast<char*>(const_cast<void*>(data));
  }
  g_liveBodies.fetch_add(1, std::memory_order_relaxed);
  return body;
}

RawString::Body* RawString::CopyBody(TextCode code, const void* data, int32_t length, int32_t capacity) {
  if (length <= 0 && capacity <= 0) return StaticEmpty(code);
  if (length < 0) length = 0;
  return NewBody(KindHeap, code, data, length, capacity < length ? length : capacity);
}

RawString::RawString() : body_(StaticEmpty(CodeUtf8)) {}

RawString::RawString(LiteralTag, const char* text, int32_t length)
    : body_(length > 0 ? NewBody(KindLiteral, CodeUtf8, text, length, length) : StaticEmpty(CodeUtf8)) {}

RawString::RawString(const RawString& other) : body_(other.body_) {
  if (body_->kind == KindView) {
    body_ = CopyBody(body_->code, body_->data, body_->length, body_->length);
  } else {
    AddRef(body_);
  }
}

RawString::RawString(RawString&& other) noexcept : body_(other.body_) { other.body_ = StaticEmpty(CodeUtf8); }

RawString& RawString::operator=(const RawString& other) {
  if (body_ != other.body_) {
    RawString copy(other);
    std::swap(body_, copy.body_);
  }
  return *this;
}

RawString& RawString::operator=(RawString&& other) noexcept {
  if (this != &other) {
    ReleaseBody(body_);
    body_ = other.body_;
    other.body_ = StaticEmpty(CodeUtf8);
  }
  return *this;
}

RawString::~RawString() { ReleaseBody(body_); }

RawString::RawString(TextCode code, const RawString& other, RawRange range) : body_(StaticEmpty(code)) {
  const Span span = Clamp(range, other.body_->length);
  const int size = UnitSize(other.body_->code);
  const char* start = other.body_->data + static_cast<size_t>(span.begin) * size;
  if (other.body_->code == code) {
    body_ = CopyBody(code, start, span.Size(), span.Size());
  } else if (!ConvertUnits(other.body_->code, start, span.Size(), code, *this, false)) {
    Clear();
  }
}

RawString RawString::WithCapacity(TextCode code, int32_t units) {
  return RawString(units > 0 ? NewBody(KindHeap, code, nullptr, 0, units) : StaticEmpty(code));
}

RawString RawString::FromUnits(TextCode code, const void* data, int32_t length) {
  return RawString(CopyBody(code, data, length, length));
}

RawString RawString::View(TextCode code, const void* data, int32_t length) {
  return RawString(length > 0 ? NewBody(KindView, code, data, length, length) : StaticEmpty(code));
}

void RawString::AimView(TextCode code, const void* data, int32_t length) {
  // An empty view keeps its body too: a blank line between sections must not make the
  // next line's view allocate again.
  if (body_->kind == KindView && !IsShared(body_) && length >= 0) {
    body_->code = code;
    body_->data = static_cast<char*>(const_cast<void*>(data));
    body_->length = length;
    body_->capacity = length;
    return;
  }
  *this = View(code, data, length);
}

const RawString& RawString::Empty() {
  static const RawString empty;
  return empty;
}

TextCode RawString::Code() const { return body_->code; }
int32_t RawString::Length() const { return body_->length; }
const char* RawString::Data() const { return body_->data; }
const char16_t* RawString::WideData() const { return reinterpret_cast<const char16_t*>(body_->data); }
RawString::Kind RawString::StorageKind() const { return static_cast<Kind>(body_->kind); }
int64_t RawString::LiveBodies() { return g_liveBodies.load(std::memory_order_relaxed); }

uint32_t RawString::UnitAt(int32_t position) const {
  if (position < 0 || position >= body_->length) return 0;
  return ReadUnit(body_->code, body_->data, position);
}

std::string_view RawString::View() const {
  return std::string_view(body_->data, static_cast<size_t>(body_->length) * UnitSize(body_->code));
}

// --- changes -------------------------------------------------------------

// Every change comes through here: a shared, literal, view or empty body is first
// copied into a private owned buffer, so no other handle ever sees a write.
char* RawString::MakeRoom(int32_t units) {
  Body* body = body_;
  const bool shared = IsShared(body);
  if (body->kind == KindHeap && !shared && body->capacity >= units) return body->data;
  const int32_t need = units > body->length ? units : body->length;
  int32_t capacity = need;
  if (body->kind == KindHeap && body->capacity >= need) {
    capacity = body->capacity;
  } else if (need > body->length) {
    capacity = GrowthFor(need);
  }
  const int size = UnitSize(body->code);
  if (shared) {
    Body* copy = NewBody(KindHeap, body->code, body->data, body->length, capacity);
    ReleaseBody(body);
    body_ = copy;
    return copy->data;
  }
  char* data = AllocateUnits(capacity, size);
  std::memcpy(data, body->data, static_cast<size_t>(body->length) * size);
  std::memset(data + static_cast<size_t>(body->length) * size, 0, size);
  if (body->kind == KindHeap) delete[] body->data;
  body->data = data;
  body->capacity = capacity;
  body->kind = KindHeap;
  return data;
}

void RawString::Detach() { MakeRoom(body_->length); }

void RawString::Assign(const RawString& other) { *this = other; }

void RawString::Reserve(int32_t units) {
  Body* body = body_;
  if (units < body->length) units = body->length;
  if (body->kind == KindHeap && !IsShared(body) && body->capacity >= units) return;
  Body* copy = NewBody(KindHeap, body->code, body->data, body->length, units);
  ReleaseBody(body);
  body_ = copy;
}

void RawString::Clear() {
  if (body_->kind == KindHeap && !IsShared(body_)) {
    body_->length = 0;
    std::memset(body_->data, 0, UnitSize(body_->code));
    return;
  }
  Body* old = body_;
  body_ = StaticEmpty(old->code);
  ReleaseBody(old);
}

void RawString::SetCode(TextCode code) {
  Body* body = body_;
  if (body->code == code) return;
  if (body->length == 0) {
    body_ = StaticEmpty(code);
    ReleaseBody(body);
    return;
  }
  if (UnitSize(code) != UnitSize(body->code)) {
    // The bytes stay; the length is counted again in the new units.
    const int32_t bytes = body->length * UnitSize(body->code);
    const int32_t units = bytes / UnitSize(code);
    body_ = CopyBody(code, body->data, units, units);
    ReleaseBody(body);
    return;
  }
  Detach();
  body_->code = code;
}

char* RawString::AppendRaw(int32_t units) {
  const int size = UnitSize(body_->code);
  const int32_t length = body_->length;
  if (units <= 0) return MakeRoom(length) + static_cast<size_t>(length) * size;
  if (units > INT32_MAX - 2 - length) throw std::bad_alloc();
  char* data = MakeRoom(length + units);
  body_->length = length + units;
  std::memset(data + static_cast<size_t>(length + units) * size, 0, size);
  return data + static_cast<size_t>(length) * size;
}

void RawString::Truncate(int32_t length) {
  if (length < 0) length = 0;
  if (length >= body_->length) return;
  char* data = MakeRoom(body_->length);
  body_->length = length;
  std::memset(data + static_cast<size_t>(length) * UnitSize(body_->code), 0, UnitSize(body_->code));
}

void RawString::AppendChar(uint32_t unit) {
  Body* body = body_;
  if (body->kind == KindHeap && body->length < body->capacity && body->code != CodeWide && !IsShared(body)) {
    // The common case of building a text: room in a private buffer.
    body->data[body->length++] = static_cast<char>(unit);
    body->data[body->length] = '\0';
    return;
  }
  if (body->code == CodeWide) {
    const auto wide = static_cast<char16_t>(unit);
    std::memcpy(AppendRaw(1), &wide, 2);
  } else {
    *AppendRaw(1) = static_cast<char>(unit);
  }
}

void RawString::AppendUnits(const void* data, int32_t length) {
  if (length <= 0) return;
  const size_t bytes = static_cast<size_t>(length) * UnitSize(body_->code);
  const char* source = static_cast<const char*>(data);
  const auto at = reinterpret_cast<uintptr_t>(source);
  const auto own = reinterpret_cast<uintptr_t>(body_->data);
  if (at >= own && at - own < (static_cast<size_t>(body_->capacity) + 1) * UnitSize(body_->code)) {
    // Appending part of itself: growing may move the buffer.
    std::string copy(source, bytes);
    std::memcpy(AppendRaw(length), copy.data(), bytes);
    return;
  }
  std::memcpy(AppendRaw(length), source, bytes);
}

void RawString::Append(const RawString& other, RawRange range) {
  const Span span = Clamp(range, other.body_->length);
  if (span.Size() == 0) return;
  const char* start = other.body_->data + static_cast<size_t>(span.begin) * UnitSize(other.body_->code);
  if (other.body_->code == body_->code) {
    AppendUnits(start, span.Size());
  } else {
    (void)ConvertUnits(other.body_->code, start, span.Size(), body_->code, *this, false);
  }
}

void RawString::AppendAll(const RawString& a, const RawString& b, const RawString& c, const RawString& d,
                          const RawString& e) {
  const RawString* parts[] = {&a, &b, &c, &d, &e};
  int64_t total = body_->length;
  bool sameCode = true;
  for (const RawString* part : parts) {
    total += part->Length();
    sameCode = sameCode && (part->IsEmpty() || part->Code() == body_->code);
  }
  if (total == body_->length) return;
  if (sameCode && total < INT32_MAX - 2) Reserve(static_cast<int32_t>(total));
  for (const RawString* part : parts) Append(*part);
}

void RawString::AppendAscii(const char* text, int32_t length) {
  if (length <= 0) return;
  switch (body_->code) {
    case CodeWide: {
      char* out = AppendRaw(length);
      for (int32_t i = 0; i < length; ++i) {
        const char16_t unit = static_cast<uint8_t>(text[i]);
        std::memcpy(out + 2 * static_cast<size_t>(i), &unit, 2);
      }
      break;
    }
    case CodeUtf16Big:
    case CodeUtf16Little: {
      char* out = AppendRaw(2 * length);
      const int high = body_->code == CodeUtf16Big ? 0 : 1;
      for (int32_t i = 0; i < length; ++i) {
        out[2 * i + high] = 0;
        out[2 * i + 1 - high] = text[i];
      }
      break;
    }
    default:
      std::memcpy(AppendRaw(length), text, static_cast<size_t>(length));
  }
}

void RawString::Replace(RawRange range, const RawString& other, RawRange otherRange) {
  const Span span = Clamp(range, body_->length);
  RawString converted;
  const RawString* source = &other;
  Span from = Clamp(otherRange, other.body_->length);
  if (other.body_->code != body_->code || other.body_ == body_) {
    // A private copy: either converted, or a copy of this very text that the
    // change below would otherwise overwrite.
    converted = RawString(body_->code, other, otherRange);
    source = &converted;
    from = {0, converted.Length()};
  }
  if (span.Size() == 0 && from.Size() == 0) return;
  const int size = UnitSize(body_->code);
  const int32_t oldLength = body_->length;
  const int64_t newLength = int64_t{oldLength} - span.Size() + from.Size();
  if (newLength > INT32_MAX - 2) throw std::bad_alloc();
  char* data = MakeRoom(static_cast<int32_t>(newLength));
  std::memmove(data + static_cast<size_t>(span.begin + from.Size()) * size, data + static_cast<size_t>(span.end) * size,
               static_cast<size_t>(oldLength - span.end) * size);
  std::memcpy(data + static_cast<size_t>(span.begin) * size,
              source->body_->data + static_cast<size_t>(from.begin) * size, static_cast<size_t>(from.Size()) * size);
  body_->length = static_cast<int32_t>(newLength);
  std::memset(data + static_cast<size_t>(newLength) * size, 0, size);
}

// --- searches ------------------------------------------------------------

int32_t CharExtraOf(TextCode code, const char* data, int32_t length, int32_t position) {
  if (position < 0 || position >= length) return 0;
  int32_t extra = 0;
  const uint32_t unit = ReadUnit(code, data, position);
  switch (code) {
    case CodeShiftJis:
      extra = (unit >= 0x81 && unit <= 0x9F) || (unit >= 0xE0 && unit <= 0xEF) ? 1 : 0;
      break;
    case CodeUtf8:
      if (unit >= 0xC2 && unit <= 0xDF) {
        extra = 1;
      } else if (unit >= 0xE0 && unit <= 0xEF) {
        extra = 2;
      } else if (unit >= 0xF0 && unit <= 0xF7) {
        extra = 3;
      } else if (unit >= 0xF8 && unit <= 0xFB) {
        extra = 4;
      } else if (unit >= 0xFC && unit <= 0xFD) {
        extra = 5;
      }
      break;
    case CodeUtf16Big:
    case CodeUtf16Little: {
      if (position % 2 != 0) return 0;
      const uint32_t wide = CharUnit(code, data, length, position);
      extra = wide >= 0xD800 && wide <= 0xDBFF ? 3 : 1;
      break;
    }
    case CodeWide:
      extra = unit >= 0xD800 && unit <= 0xDBFF ? 1 : 0;
      break;
    default:
      break;
  }
  // A character cut off by the end of the text claims no units beyond it.
  return extra < length - 1 - position ? extra : length - 1 - position;
}

int32_t RawString::CharExtra(int32_t position) const {
  return CharExtraOf(body_->code, body_->data, body_->length, position);
}

int32_t RawString::Find(uint32_t unit, RawRange range) const {
  const Body* b = body_;
  const Span span = Clamp(range, b->length);
  int32_t p = span.begin;
  if (unit < 0x80 && UnitSize(b->code) == 1 && b->code != CodeUtf16Big && b->code != CodeUtf16Little) {
    // In the 8-bit codes every byte below 0x80 is a character of its own, so the
    // bytes are compared directly up to the first byte that may start a longer one.
    const bool multiByte = b->code == CodeUtf8 || b->code == CodeShiftJis;
    const auto* d = reinterpret_cast<const uint8_t*>(b->data);
    for (; p < span.end; ++p) {
      if (d[p] == unit) return p;
      if (d[p] >= 0x80 && multiByte) break;
    }
  }
  for (; p < span.end; p += 1 + CharExtraOf(b->code, b->data, b->length, p)) {
    if (CharUnit(b->code, b->data, b->length, p) == unit) return p;
  }
  return span.end;
}

int32_t RawString::FindLast(uint32_t unit, RawRange range) const {
  // Forward, because only a forward walk knows where characters start.
  const Body* b = body_;
  const Span span = Clamp(range, b->length);
  int32_t found = span.end;
  for (int32_t p = span.begin; p < span.end; p += 1 + CharExtraOf(b->code, b->data, b->length, p)) {
    if (CharUnit(b->code, b->data, b->length, p) == unit) found = p;
  }
  return found;
}

int32_t RawString::FindText(const RawString& other, RawRange range, RawRange otherRange) const {
  const Body* b = body_;
  const Span span = Clamp(range, b->length);
  RawString converted;
  const char* needle = nullptr;
  int32_t count = 0;
  if (other.body_->code == b->code) {
    const Span from = Clamp(otherRange, other.body_->length);
    needle = other.body_->data + static_cast<size_t>(from.begin) * UnitSize(b->code);
    count = from.Size();
  } else {
    converted = RawString(b->code, other, otherRange);
    needle = converted.Data();
    count = converted.Length();
  }
  if (count == 0) return span.begin;
  const size_t bytes = static_cast<size_t>(count) * UnitSize(b->code);
  for (int32_t p = span.begin; p <= span.end - count; p += 1 + CharExtraOf(b->code, b->data, b->length, p)) {
    if (std::memcmp(b->data + static_cast<size_t>(p) * UnitSize(b->code), needle, bytes) == 0) return p;
  }
  return span.end;
}

int32_t RawString::FindLastSeparator(RawRange range) const {
  const Body* b = body_;
  const Span span = Clamp(range, b->length);
  int32_t found = span.end;
  for (int32_t p = span.begin; p < span.end; p += 1 + CharExtraOf(b->code, b->data, b->length, p)) {
    const uint32_t unit = CharUnit(b->code, b->data, b->length, p);
    if (unit == '\\' || unit == '/') found = p;
  }
  return found;
}

int32_t RawString::FindExtension(RawRange range) const {
  const Body* b = body_;
  const Span span = Clamp(range, b->length);
  int32_t dot = span.end;
  for (int32_t p = span.begin; p < span.end; p += 1 + CharExtraOf(b->code, b->data, b->length, p)) {
    const uint32_t unit = CharUnit(b->code, b->data, b->length, p);
    if (unit == '\\' || unit == '/') {
      dot = span.end;
    } else if (unit == '.') {
      dot = p;
    }
  }
  return dot;
}

RawRange RawString::Trim(RawRange range, const char* set) const {
  const Body* b = body_;
  Span span = Clamp(range, b->length);
  int32_t p = span.begin;
  while (p < span.end && InSet(CharUnit(b->code, b->data, b->length, p), set)) {
    p += 1 + CharExtraOf(b->code, b->data, b->length, p);
  }
  span.begin = p < span.end ? p : span.end;
  if (b->code == CodeShiftJis || b->code == CodeUtf16Big || b->code == CodeUtf16Little) {
    // A trail byte may look like a member of the set: find the end walking forward.
    int32_t end = span.begin;
    for (int32_t q = span.begin; q < span.end; q += 1 + CharExtraOf(b->code, b->data, b->length, q)) {
      if (!InSet(CharUnit(b->code, b->data, b->length, q), set)) {
        end = q + 1 + CharExtraOf(b->code, b->data, b->length, q);
      }
    }
    span.end = end < span.end ? end : span.end;
  } else {
    while (span.end > span.begin && InSet(ReadUnit(b->code, b->data, span.end - 1), set)) --span.end;
  }
  return {span.begin, span.end};
}

RawString RawString::Sub(RawRange range) const {
  const Span span = Clamp(range, body_->length);
  return FromUnits(body_->code, body_->data + static_cast<size_t>(span.begin) * UnitSize(body_->code), span.Size());
}

// --- comparison ----------------------------------------------------------

bool RawString::Equal(RawRange range, const RawString& other, RawRange otherRange) const {
  const Span a = Clamp(range, body_->length);
  const Span b = Clamp(otherRange, other.body_->length);
  if (a.Size() != b.Size()) return false;
  const int size = UnitSize(body_->code);
  if (size == UnitSize(other.body_->code)) {
    return std::memcmp(body_->data + static_cast<size_t>(a.begin) * size,
                       other.body_->data + static_cast<size_t>(b.begin) * size,
                       static_cast<size_t>(a.Size()) * size) == 0;
  }
  for (int32_t i = 0; i < a.Size(); ++i) {
    if (ReadUnit(body_->code, body_->data, a.begin + i) != ReadUnit(other.body_->code, other.body_->data, b.begin + i)) {
      return false;
    }
  }
  return true;
}

bool RawString::EqualNoCase(RawRange range, const RawString& other, RawRange otherRange) const {
  const Span a = Clamp(range, body_->length);
  const Span b = Clamp(otherRange, other.body_->length);
  if (a.Size() != b.Size()) return false;
  if (UnitSize(body_->code) == 1 && UnitSize(other.body_->code) == 1) {
    // Bytes on both sides: most are equal as they stand, and only those that differ are folded.
    const auto* x = reinterpret_cast<const uint8_t*>(body_->data) + a.begin;
    const auto* y = reinterpret_cast<const uint8_t*>(other.body_->data) + b.begin;
    for (int32_t i = 0; i < a.Size(); ++i) {
      if (x[i] != y[i] && FoldAscii(x[i]) != FoldAscii(y[i])) return false;
    }
    return true;
  }
  for (int32_t i = 0; i < a.Size(); ++i) {
    if (FoldAscii(ReadUnit(body_->code, body_->data, a.begin + i)) !=
        FoldAscii(ReadUnit(other.body_->code, other.body_->data, b.begin + i))) {
      return false;
    }
  }
  return true;
}

int RawString::CompareUnits(const RawString& other) const {
  const int32_t length = body_->length < other.body_->length ? body_->length : other.body_->length;
  if (UnitSize(body_->code) == 1 && UnitSize(other.body_->code) == 1) {
    const int c = std::memcmp(body_->data, other.body_->data, static_cast<size_t>(length));
    if (c != 0) return c < 0 ? -1 : 1;
  } else {
    for (int32_t i = 0; i < length; ++i) {
      const uint32_t a = ReadUnit(body_->code, body_->data, i);
      const uint32_t b = ReadUnit(other.body_->code, other.body_->data, i);
      if (a != b) return a < b ? -1 : 1;
    }
  }
  if (body_->length == other.body_->length) return 0;
  return body_->length < other.body_->length ? -1 : 1;
}

bool RawString::StartsWith(const RawString& prefix) const {
  return prefix.Length() <= Length() && Equal({0, prefix.Length()}, prefix);
}

bool RawString::EndsWith(const RawString& suffix) const {
  return suffix.Length() <= Length() && Equal({Length() - suffix.Length(), Length()}, suffix);
}

// --- numbers -------------------------------------------------------------

bool RawString::ParseInteger(RawRange range, uint64_t& magnitude, bool& negative) const {
  const Span span = Clamp(range, body_->length);
  int32_t p = span.begin;
  negative = false;
  magnitude = 0;
  // Every position read lies inside the clamped span, so the units are read without a check.
  const auto unitAt = [b = body_](int32_t position) { return ReadUnit(b->code, b->data, position); };
  if (p < span.end && (unitAt(p) == '+' || unitAt(p) == '-')) {
    negative = unitAt(p) == '-';
    ++p;
  }
  int base = 10;
  if (span.end - p >= 2 && unitAt(p) == '0' && (unitAt(p + 1) == 'x' || unitAt(p + 1) == 'b')) {
    base = unitAt(p + 1) == 'x' ? 16 : 2;
    p += 2;
  }
  // A sign or a prefix with no digit after it is not a number.
  if (p >= span.end) return false;
  for (; p < span.end; ++p) {
    const int digit = DigitValue(unitAt(p));
    if (digit >= base) return false;
    magnitude = magnitude * static_cast<uint64_t>(base) + static_cast<uint64_t>(digit);
  }
  return true;
}

bool RawString::ParseInteger(RawRange range, int64_t& value) const {
  uint64_t magnitude = 0;
  bool negative = false;
  if (!ParseInteger(range, magnitude, negative)) return false;
  value = static_cast<int64_t>(negative ? 0 - magnitude : magnitude);
  return true;
}

void RawString::AppendInteger(int64_t value) {
  char text[24];
  int n = sizeof text;
  // The magnitude in unsigned arithmetic, so the most negative value prints too.
  uint64_t magnitude = value < 0 ? 0 - static_cast<uint64_t>(value) : static_cast<uint64_t>(value);
  do {
    text[--n] = static_cast<char>('0' + magnitude % 10);
    magnitude /= 10;
  } while (magnitude != 0);
  if (value < 0) text[--n] = '-';
  AppendAscii(text + n, static_cast<int32_t>(sizeof text) - n);
}

void RawString::AppendNumber(uint64_t value, int base) {
  // A base below 2 has no digits; decimal is the useful reading.
  if (base < 2) base = 10;
  if (base == 16) AppendAscii("0x", 2);
  if (base == 2) AppendAscii("0b", 2);
  char text[64];
  int n = sizeof text;
  do {
    const uint64_t digit = value % static_cast<uint64_t>(base);
    text[--n] = digit < 36 ? kDigits[digit] : '?';
    value /= static_cast<uint64_t>(base);
  } while (value != 0);
  AppendAscii(text + n, static_cast<int32_t>(sizeof text) - n);
}

void RawString::AppendNumberWidth(uint64_t value, int base, int width) {
  if (width <= 0) return;
  if (base < 2) base = 10;
  std::string text(static_cast<size_t>(width), '0');
  for (int i = width - 1; i >= 0 && value != 0; --i) {
    const uint64_t digit = value % static_cast<uint64_t>(base);
    text[static_cast<size_t>(i)] = digit < 36 ? kDigits[digit] : '?';
    value /= static_cast<uint64_t>(base);
  }
  AppendAscii(text.data(), width);
}

void RawString::AppendBool(bool value) { value ? AppendAscii("True", 4) : AppendAscii("False", 5); }

// --- escaping ------------------------------------------------------------

RawString RawString::Escape() const {
  const Body* b = body_;
  RawString out = WithCapacity(b->code, b->length + 8);
  int32_t copied = 0;  // text before this position is already in `out`
  for (int32_t p = 0; p < b->length;) {
    const int32_t next = p + 1 + CharExtraOf(b->code, b->data, b->length, p);
    const uint32_t unit = CharUnit(b->code, b->data, b->length, p);
    const char* replacement = nullptr;
    int32_t after = next;
    if (unit == '\r' || unit == '\n') {
      replacement = "\\n";
      if (unit == '\r' && next < b->length && CharUnit(b->code, b->data, b->length, next) == '\n') {
        after = next + 1 + CharExtraOf(b->code, b->data, b->length, next);
      }
    } else if (unit == '\t') {
      replacement = "\\t";
    } else if (unit == '\\') {
      // Doubled, so that Unescape gives the text back unchanged.
      replacement = "\\\\";
    }
    if (replacement != nullptr) {
      out.Append(*this, {copied, p});
      out.AppendAscii(replacement, 2);
      copied = after;
    }
    p = after;
  }
  if (copied == 0) return *this;
  out.Append(*this, {copied, b->length});
  return out;
}

RawString RawString::Unescape() const {
  const Body* b = body_;
  if (Find('\\') == b->length) return *this;
  RawString out = WithCapacity(b->code, b->length);
  int32_t copied = 0;
  for (int32_t p = 0; p < b->length;) {
    const int32_t next = p + 1 + CharExtraOf(b->code, b->data, b->length, p);
    if (CharUnit(b->code, b->data, b->length, p) != '\\' || next >= b->length) {
      p = next;
      continue;
    }
    out.Append(*this, {copied, p});
    const uint32_t unit = CharUnit(b->code, b->data, b->length, next);
    const int32_t after = next + 1 + CharExtraOf(b->code, b->data, b->length, next);
    if (unit == 'n') {
      out.AppendAscii("\r\n", 2);
      copied = after;
    } else if (unit == 't') {
      out.AppendAscii("\t", 1);
      copied = after;
    } else if (unit == 's') {
      out.AppendAscii(" ", 1);
      copied = after;
    } else {
      copied = next;  // the backslash goes, the character stays
    }
    p = after;
  }
  out.Append(*this, {copied, b->length});
  return out;
}

// --- codes ---------------------------------------------------------------

TextCode DetectCode(const char* data, int32_t length) {
  if (length <= 0) return CodeShiftJis;
  bool shiftJisTrail = false;
  int utf8Expected = 0;
  int64_t katakana = 0;  // single-byte katakana seen by the Shift_JIS side
  int64_t rare = 0;      // 5- and 6-byte forms seen by the UTF-8 side
  for (int32_t i = 0; i < length; ++i) {
    const auto c = static_cast<uint8_t>(data[i]);
    if (shiftJisTrail) {
      if (!((c >= 0x40 && c <= 0x7E) || (c >= 0x80 && c <= 0xFC))) return CodeUtf8;
      shiftJisTrail = false;
    } else if (c > 0x7F) {
      // FA-FC lead the extension rows; no valid UTF-8 holds them, so taking them
      // as leads never turns a UTF-8 text into Shift_JIS.
      if ((c >= 0x81 && c <= 0x9F) || (c >= 0xE0 && c <= 0xEF) || (c >= 0xFA && c <= 0xFC)) {
        shiftJisTrail = true;
      } else if (c >= 0xA1 && c <= 0xDF) {
        ++katakana;
      } else {
        return CodeUtf8;
      }
    }
    if (utf8Expected > 0) {
      if (c < 0x80 || c > 0xBF) return CodeShiftJis;
      --utf8Expected;
    } else if (c >= 0x80) {
      if (c >= 0xC2 && c <= 0xDF) {
        utf8Expected = 1;
      } else if (c >= 0xE0 && c <= 0xEF) {
        utf8Expected = 2;
      } else if (c >= 0xF0 && c <= 0xF7) {
        utf8Expected = 3;
      } else if (c >= 0xF8 && c <= 0xFB) {
        utf8Expected = 4;
        ++rare;
      } else if (c >= 0xFC && c <= 0xFD) {
        utf8Expected = 5;
        ++rare;
      } else {
        return CodeShiftJis;
      }
    }
  }
  return rare < katakana ? CodeUtf8 : CodeShiftJis;
}

bool FitsNarrowEntry(const RawString& text) {
  if (text.IsEmpty()) return true;
  switch (text.Code()) {
    case CodeAnsi:
    case CodeShiftJis:
      return true;
    case CodeUtf8:
      for (char c : text.View()) {
        if (static_cast<uint8_t>(c) >= 0x7F) return false;
      }
      return true;
    default:
      return false;
  }
}

namespace {

// Strict UTF-8, as the system decoders take it: no overlong forms, no encoded
// surrogates, nothing above U+10FFFF.
bool ValidUtf8(const char* data, int32_t length) {
  const auto* bytes = reinterpret_cast<const uint8_t*>(data);
  for (int32_t i = 0; i < length;) {
    const uint8_t c = bytes[i];
    if (c < 0x80) {
      ++i;
      continue;
    }
    int more = 0;
    uint8_t low = 0x80, high = 0xBF;  // the range of the second byte
    if (c >= 0xC2 && c <= 0xDF) {
      more = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      more = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      more = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (length - i <= more) return false;
    if (bytes[i + 1] < low || bytes[i + 1] > high) return false;
    for (int k = 2; k <= more; ++k) {
      if (bytes[i + k] < 0x80 || bytes[i + k] > 0xBF) return false;
    }
    i += 1 + more;
  }
  return true;
}

// Whether units are valid in their own code, for exact "conversions" that keep it.
bool ValidUnits(TextCode code, const char* data, int32_t length) {
  switch (code) {
    case CodeUtf8:
      return ValidUtf8(data, length);
    case CodeUtf16Big:
    case CodeUtf16Little:
      return length % 2 == 0;
    case CodeShiftJis:
    case CodeUtf7:
    case CodeMac: {
      RawString wide = RawString::WithCapacity(CodeWide, length);
      return SystemConvert(code, data, length, CodeWide, wide, true);
    }
    default:
      return true;
  }
}

// Copies `units` 16-bit units between the byte order of `order` (CodeUtf16Big or
// CodeUtf16Little) and the native order of CodeWide. Both directions are the same
// operation: a plain copy when the orders agree, else each unit's bytes swapped.
void CopyUnitsReordered(const char* from, char* to, int32_t units, TextCode order) {
  const size_t bytes = 2 * static_cast<size_t>(units);
  if (order == NativeWideCode()) {
    std::memcpy(to, from, bytes);
    return;
  }
  for (size_t i = 0; i < bytes; i += 2) {
    to[i] = from[i + 1];
    to[i + 1] = from[i];
  }
}

}  // namespace

bool ConvertUnits(TextCode from, const void* data, int32_t length, TextCode to, RawString& out, bool exact) {
  if (out.Code() != to) {
    if (!out.IsEmpty()) return false;
    out.SetCode(to);
  }
  if (length <= 0) return true;
  if (from == to) {
    if (exact && !ValidUnits(from, static_cast<const char*>(data), length)) return false;
    out.AppendUnits(data, length);
    return true;
  }
  const char* bytes = static_cast<const char*>(data);
  RawString wide;
  if (from == CodeUtf16Big || from == CodeUtf16Little) {
    const bool odd = length % 2 != 0;
    if (odd && exact) return false;
    const int32_t units = length / 2;
    wide = RawString::WithCapacity(CodeWide, units + 1);
    CopyUnitsReordered(bytes, wide.AppendRaw(units), units, from);
    // A lone last byte is half a character.
    if (odd) wide.AppendChar(0xFFFD);
    from = CodeWide;
    bytes = wide.Data();
    length = wide.Length();
    if (from == to) {
      out.AppendUnits(bytes, length);
      return true;
    }
  }
  if (to == CodeUtf16Big || to == CodeUtf16Little) {
    if (from != CodeWide) {
      wide = RawString::WithCapacity(CodeWide, length);
      if (!SystemConvert(from, bytes, length, CodeWide, wide, exact)) return false;
      bytes = wide.Data();
      length = wide.Length();
    }
    CopyUnitsReordered(bytes, out.AppendRaw(2 * length), length, to);
    return true;
  }
  return SystemConvert(from, bytes, length, to, out, exact);
}

RawString RawString::Convert(TextCode code) const {
  if (code == body_->code && body_->kind != KindView) return *this;
  return RawString(code, *this, kWhole);
}

bool RawString::ConvertExact(TextCode code, RawString& out) const {
  if (code == body_->code && body_->kind != KindView && ValidUnits(code, body_->data, body_->length)) {
    out = *this;
    return true;
  }
  RawString result(StaticEmpty(code));
  if (!ConvertUnits(body_->code, body_->data, body_->length, code, result, true)) {
    out = RawString(StaticEmpty(code));
    return false;
  }
  out = std::move(result);
  return true;
}

std::u16string RawString::ToWide() const {
  const RawString wide = Convert(CodeWide);
  return std::u16string(wide.WideData(), static_cast<size_t>(wide.Length()));
}

std::string RawString::ToUtf8() const {
  const RawString text = Convert(CodeUtf8);
  return std::string(text.Data(), static_cast<size_t>(text.Length()));
}

RawString JoinedUtf8(std::initializer_list<RawString> parts) {
  RawString text(CodeUtf8, RawString());
  for (const RawString& part : parts) text.Append(part);
  return text;
}

}  // namespace RawLayer
