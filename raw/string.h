// The one text type of both programs: a handle to a shared, reference-counted,
// copy-on-write body tagged with its text code. UTF-8 is the working code; text
// read from files keeps its own code until it is needed, and UTF-16 is made only
// at the system boundary.
#pragma once

#include <atomic>
#include <cstddef>
#include <cstdint>
#include <initializer_list>
#include <string>
#include <string_view>

namespace RawLayer {

enum TextCode : uint8_t {
  CodeAnsi = 0,         // the system ANSI code page (Windows-1252 on POSIX)
  CodeShiftJis = 1,     // Shift_JIS (code page 932)
  CodeUtf8 = 2,         // the working code
  CodeUtf7 = 3,
  CodeMac = 4,          // the Macintosh page (Mac Roman)
  CodeUtf16Big = 5,     // UTF-16 bytes, big-endian; lengths count bytes
  CodeUtf16Little = 6,  // UTF-16 bytes, little-endian; lengths count bytes
  CodeWide = 7,         // native 16-bit units; lengths count units
  CodeBinary = 8,       // undetected or not text; never converted
};
constexpr int kTextCodeCount = 9;

// The byte order of CodeWide: CodeUtf16Little on every supported platform.
TextCode NativeWideCode();

// Bytes per code unit of a code: 2 for CodeWide, 1 for all others.
constexpr int UnitSize(TextCode code) { return code == CodeWide ? 2 : 1; }

// A half-open range of code units. Every operation clamps it to the text:
// a begin below 0 counts as 0, an end beyond the length counts as the length.
struct RawRange {
  int32_t begin = 0;
  int32_t end = INT32_MAX;
};
constexpr RawRange kWhole{0, INT32_MAX};

// Shared character sets.
extern const char kBlanks[];      // " \t"
extern const char kWhiteSpace[];  // " \t\r\n"

class RawString {
 public:
  struct Body;

  // An empty UTF-8 text.
  RawString();
  // A literal of the program (UTF-8 source text). The body points at the static
  // text and is never written; the first change copies it.
  template <size_t N>
  RawString(const char (&literal)[N]) : RawString(LiteralTag{}, literal, static_cast<int32_t>(N - 1)) {}
  RawString(std::nullptr_t) = delete;
  RawString(int) = delete;

  RawString(const RawString& other);
  RawString(RawString&& other) noexcept;
  RawString& operator=(const RawString& other);
  RawString& operator=(RawString&& other) noexcept;
  ~RawString();

  // An owned copy of a range of another string in the wanted code (converted when
  // the codes differ).
  RawString(TextCode code, const RawString& other, RawRange range = kWhole);
  // An empty text of the given code with room for `units` code units.
  static RawString WithCapacity(TextCode code, int32_t units);
  // An owned copy of bytes (units for CodeWide: `length` counts units).
  static RawString FromUnits(TextCode code, const void* data, int32_t length);
  static RawString FromUtf8(std::string_view text) { return FromUnits(CodeUtf8, text.data(), static_cast<int32_t>(text.size())); }
  static RawString FromWide(const char16_t* text, int32_t length) { return FromUnits(CodeWide, text, length); }
  // A view into a buffer owned by someone else (for example a line file's read
  // buffer); valid only as long as that buffer. Copies of a view are owned copies.
  static RawString View(TextCode code, const void* data, int32_t length);
  // Points this string at another range of a view's buffer. When this handle
  // alone holds a view body, the body is re-aimed in place (no allocation: a
  // reader hands out millions of lines); otherwise a new view is made.
  void AimView(TextCode code, const void* data, int32_t length);
  // The process-wide empty text that functions return for no text.
  static const RawString& Empty();

  TextCode Code() const;
  int32_t Length() const;
  bool IsEmpty() const { return Length() == 0; }
  // The units, always followed by a zero unit (a view: as far as its owner's
  // buffer has one). For CodeWide the bytes of 16-bit units; use WideData() there.
  const char* Data() const;
  const char16_t* WideData() const;
  // The code unit at a position (a byte, or a 16-bit unit for CodeWide).
  uint32_t UnitAt(int32_t position) const;
  std::string_view View() const;  // narrow codes only: the bytes

  // The same body when the code already matches and the body is not a view;
  // otherwise a new body with the converted text (empty when conversion fails).
  RawString Convert(TextCode code) const;
  // Like Convert, but fails instead of guessing: invalid input (also when the code
  // stays the same) or a character the target code cannot hold makes it return
  // false and leave `out` empty.
  [[nodiscard]] bool ConvertExact(TextCode code, RawString& out) const;
  // Convenience for the system boundary and for tests.
  std::u16string ToWide() const;
  std::string ToUtf8() const;
#ifdef _WIN32
  // The text as the system's wide-character calls take it.
  std::wstring ToWideString() const;
#endif

  void Assign(const RawString& other);
  void Reserve(int32_t units);
  // Makes the body private and writable; every change calls it first.
  void Detach();
  void Clear();
  // Re-tags the text without converting (for bytes whose code was learnt later).
  void SetCode(TextCode code);

  void AppendChar(uint32_t unit);
  // Room for `units` more code units at the end: the length grows by them and the
  // result points at the first of them. The caller fills them and then shortens
  // the text with Truncate to what it used.
  char* AppendRaw(int32_t units);
  void Truncate(int32_t length);
  void Append(const RawString& other, RawRange range = kWhole);
  void AppendUnits(const void* data, int32_t length);
  void AppendAll(const RawString& a, const RawString& b, const RawString& c = Empty(),
                 const RawString& d = Empty(), const RawString& e = Empty());

  // Searches step by whole characters (CharExtra); absence is the range end.
  int32_t Find(uint32_t unit, RawRange range = kWhole) const;
  int32_t FindLast(uint32_t unit, RawRange range = kWhole) const;
  int32_t FindText(const RawString& other, RawRange range = kWhole, RawRange otherRange = kWhole) const;
  int32_t FindLastSeparator(RawRange range = kWhole) const;
  int32_t FindExtension(RawRange range = kWhole) const;

  void Replace(RawRange range, const RawString& other, RawRange otherRange = kWhole);
  RawRange Trim(RawRange range, const char* set) const;
  RawString Sub(RawRange range) const;  // an owned copy of a range, same code

  bool Equal(RawRange range, const RawString& other, RawRange otherRange = kWhole) const;
  bool EqualNoCase(RawRange range, const RawString& other, RawRange otherRange = kWhole) const;
  bool operator==(const RawString& other) const { return Equal(kWhole, other, kWhole); }
  bool operator!=(const RawString& other) const { return !(*this == other); }
  int CompareUnits(const RawString& other) const;
  bool StartsWith(const RawString& prefix) const;
  bool EndsWith(const RawString& suffix) const;

  // Optional sign, then "0x" (base 16), "0b" (base 2) or decimal; every other unit
  // must be a digit below the base. The magnitude accumulates in 64 bits without
  // overflow detection; the sign is returned beside it.
  [[nodiscard]] bool ParseInteger(RawRange range, uint64_t& magnitude, bool& negative) const;
  // Convenience: the signed value of ParseInteger.
  [[nodiscard]] bool ParseInteger(RawRange range, int64_t& value) const;
  void AppendInteger(int64_t value);
  void AppendNumber(uint64_t value, int base);
  void AppendNumberWidth(uint64_t value, int base, int width);
  void AppendBool(bool value);

  int32_t CharExtra(int32_t position) const;

  // One-line storage of multi-line text: CR LF, CR and LF become "\n", TAB "\t",
  // and a backslash is doubled so that Unescape gives the text back unchanged.
  RawString Escape() const;
  // "\n" becomes CR LF, "\t" TAB, "\s" a space; a backslash before any other
  // character is dropped and the character kept; a lone trailing backslash is kept.
  RawString Unescape() const;

  // Storage kind and sharing, for tests and diagnostics.
  enum Kind : uint8_t { KindEmpty = 0, KindHeap = 1, KindLiteral = 2, KindView = 3 };
  Kind StorageKind() const;
  bool SharesBodyWith(const RawString& other) const { return body_ == other.body_; }
  // Bodies alive in the process (to prove that shared bodies are released).
  static int64_t LiveBodies();

 private:
  struct LiteralTag {};
  RawString(LiteralTag, const char* text, int32_t length);
  explicit RawString(Body* body) : body_(body) {}
  // Detaches and makes room for a text of `units` code units; returns the data.
  char* MakeRoom(int32_t units);
  void AppendAscii(const char* text, int32_t length);
  static Body* NewBody(uint8_t kind, TextCode code, const void* data, int32_t length, int32_t capacity);
  static Body* CopyBody(TextCode code, const void* data, int32_t length, int32_t capacity);
  Body* body_;
};

// CharExtra of a code unit sequence: how many further units belong to the
// character that starts at `position`.
int32_t CharExtraOf(TextCode code, const char* data, int32_t length, int32_t position);

// Decides between Shift_JIS (CodeShiftJis) and UTF-8 (CodeUtf8) in one pass.
TextCode DetectCode(const char* data, int32_t length);

// Low-level conversion between any two codes. Appends to `out` (which must be of
// code `to`, or empty). With `exact`, invalid input (checked also when `from` and
// `to` are the same) or an unrepresentable character fails.
[[nodiscard]] bool ConvertUnits(TextCode from, const void* data, int32_t length, TextCode to, RawString& out,
                                bool exact);

// The system's conversion, one per platform (string_win32.cpp, string_posix.cpp).
// `from` and `to` are CodeWide or a code that the system converts (not the two
// UTF-16 byte codes, not equal); appends to `out`. ConvertUnits is the entry to use.
[[nodiscard]] bool SystemConvert(TextCode from, const char* data, int32_t length, TextCode to, RawString& out,
                                 bool exact);

// Whether a text can go to a narrow system entry as it is (ANSI or Shift_JIS bytes,
// or UTF-8 that is all below 0x7F), or must be converted for the wide entry.
bool FitsNarrowEntry(const RawString& text);

// The parts one after another, as UTF-8 text (messages built from pieces in any code).
RawString JoinedUtf8(std::initializer_list<RawString> parts);

}  // namespace RawLayer
