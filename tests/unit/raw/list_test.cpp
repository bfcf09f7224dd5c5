#include "raw/list.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

#include "raw/string_list.h"

namespace RawLayer {
namespace {

// A unit that counts how many of its kind are alive, to prove that lists free
// every unit they own exactly once.
struct Counted {
  static inline int64_t live = 0;
  explicit Counted(int key_, int id_ = 0) : key(key_), id(id_) { ++live; }
  Counted(const Counted& other) : key(other.key), id(other.id) { ++live; }
  ~Counted() { --live; }
  int key;
  int id;
};

class CountedAllocator : public RawListAllocator<Counted> {};
using CountedList = RawListR<CountedAllocator, Counted>;

class ByKey : public RawListSortR<Counted> {
 public:
  int Compare(const Counted& a, const Counted& b) const override {
    ++calls;
    return a.key < b.key ? -1 : (a.key > b.key ? 1 : 0);
  }
  mutable int64_t calls = 0;
};

std::vector<int> Keys(const CountedList& list) {
  std::vector<int> keys;
  for (const Counted& unit : list) keys.push_back(unit.key);
  return keys;
}

std::vector<int> Ids(const CountedList& list) {
  std::vector<int> ids;
  for (const Counted& unit : list) ids.push_back(unit.id);
  return ids;
}

CountedList Make(const std::vector<int>& keys) {
  CountedList list;
  int id = 0;
  for (int key : keys) list.Add(key, id++);
  return list;
}

TEST(RawList, AddInsertRemoveKeepOrderAndCount) {
  const int64_t start = Counted::live;
  {
    CountedList list;
    EXPECT_TRUE(list.IsEmpty());
    EXPECT_EQ(list.First(), nullptr);
    list.Add(2);
    list.Add(4);
    list.Insert(list.begin(), 1);
    auto it = list.begin();
    ++it;
    ++it;
    list.Insert(it, 3);
    list.Insert(list.end(), 5);
    EXPECT_EQ(Keys(list), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(list.Count(), 5);
    EXPECT_EQ(list.First()->key, 1);
    EXPECT_EQ(list.Last()->key, 5);

    Counted* three = &*(++(++list.begin()));
    EXPECT_TRUE(list.Contains(three));
    EXPECT_TRUE(list.Remove(three));
    EXPECT_FALSE(list.Contains(three));
    EXPECT_EQ(Keys(list), (std::vector<int>{1, 2, 4, 5}));
    const Counted outsider(9);
    EXPECT_FALSE(list.Remove(&outsider));
    auto next = list.Remove(list.begin());
    EXPECT_EQ(next->key, 2);
    EXPECT_EQ(Keys(list), (std::vector<int>{2, 4, 5}));
    EXPECT_EQ(Counted::live, start + 4);  // three in the list and the outsider
    list.Clear();
    EXPECT_EQ(list.Count(), 0);
    EXPECT_EQ(list.begin(), list.end());
    EXPECT_EQ(Counted::live, start + 1);
  }
  EXPECT_EQ(Counted::live, start);
}

TEST(RawList, CopiesShareAndTheLastReleaseFreesEveryUnit) {
  const int64_t start = Counted::live;
  const int64_t startNodes = RawListBody::LiveNodes();
  {
    CountedList a = Make({1, 2, 3});
    {
      CountedList b = a;
      CountedList c;
      c.Add(7);
      c = b;
      EXPECT_TRUE(b.SharesBodyWith(a));
      EXPECT_TRUE(c.SharesBodyWith(a));
      EXPECT_EQ(Counted::live, start + 3);  // c's own unit went when it took the shared body
      b.Add(4);
      EXPECT_EQ(a.Count(), 4);  // one body: a change through one holder shows in all
    }
    EXPECT_EQ(Counted::live, start + 4);
    CountedList d = a;
    d.Detach();
    EXPECT_FALSE(d.SharesBodyWith(a));
    d.Add(5);
    EXPECT_EQ(Keys(a), (std::vector<int>{1, 2, 3, 4}));
    EXPECT_EQ(Keys(d), (std::vector<int>{1, 2, 3, 4, 5}));
    EXPECT_EQ(Counted::live, start + 9);
    a.Detach();  // not shared: nothing to copy
    EXPECT_EQ(Counted::live, start + 9);
  }
  EXPECT_EQ(Counted::live, start);
  EXPECT_EQ(RawListBody::LiveNodes(), startNodes);
}

TEST(RawList, SortMatchesStdSortForRandomKeys) {
  std::mt19937 random(12345);
  for (int size : {0, 1, 2, 3, 10, 257, 5000}) {
    for (int range : {3, 1000000}) {  // many duplicates, then hardly any
      for (bool descending : {false, true}) {
        SCOPED_TRACE("size " + std::to_string(size) + " range " + std::to_string(range) +
                     (descending ? " descending" : " ascending"));
        std::vector<int> keys(static_cast<size_t>(size));
        for (int& key : keys) key = static_cast<int>(random() % static_cast<unsigned>(range));
        CountedList list = Make(keys);
        list.Sort(ByKey(), descending);
        if (descending) {
          std::sort(keys.begin(), keys.end(), std::greater<int>());
        } else {
          std::sort(keys.begin(), keys.end());
        }
        EXPECT_EQ(Keys(list), keys);
        EXPECT_EQ(list.Count(), size);
        // The chain must still be whole in both directions.
        int backwards = 0;
        for (RawListNode* node = list.end().Node()->prev; node != list.end().Node(); node = node->prev) ++backwards;
        EXPECT_EQ(backwards, size);
      }
    }
  }
}

TEST(RawList, SortingASortedListMovesNothing) {
  // Equal keys stay behind the pivot, so units with equal keys keep their order.
  CountedList up = Make({1, 1, 2, 3, 3, 3, 7, 9, 9});
  up.Sort(ByKey(), false);
  EXPECT_EQ(Ids(up), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
  CountedList down = Make({9, 9, 7, 3, 3, 3, 2, 1, 1});
  down.Sort(ByKey(), true);
  EXPECT_EQ(Ids(down), (std::vector<int>{0, 1, 2, 3, 4, 5, 6, 7, 8}));
}

TEST(RawList, SortKeepsTheOrderOfEqualKeys) {
  std::mt19937 random(99);
  for (bool descending : {false, true}) {
    std::vector<int> keys(3000);
    for (int& key : keys) key = static_cast<int>(random() % 7u);
    CountedList list = Make(keys);
    list.Sort(ByKey(), descending);
    std::vector<int> ids(keys.size());
    for (size_t i = 0; i < ids.size(); ++i) ids[i] = static_cast<int>(i);
    std::stable_sort(ids.begin(), ids.end(), [&](int a, int b) {
      return descending ? keys[static_cast<size_t>(a)] > keys[static_cast<size_t>(b)]
                        : keys[static_cast<size_t>(a)] < keys[static_cast<size_t>(b)];
    });
    EXPECT_EQ(Ids(list), ids) << (descending ? "descending" : "ascending");
  }
}

// Orders that make a first-node pivot compare every unit with every other one.
TEST(RawList, SortComparesNLogNTimesOnOrderedAndEqualKeys) {
  const int n = 4096;  // log2 n = 12
  std::vector<int> sorted(n), reversed(n), equal(n, 5), organ(n);
  for (int i = 0; i < n; ++i) {
    sorted[static_cast<size_t>(i)] = i;
    reversed[static_cast<size_t>(i)] = n - i;
    organ[static_cast<size_t>(i)] = i < n / 2 ? i : n - i;
  }
  const struct {
    const char* name;
    const std::vector<int>& keys;
  } cases[] = {{"sorted", sorted}, {"reversed", reversed}, {"equal", equal}, {"organ pipe", organ}};
  for (const auto& row : cases) {
    for (bool descending : {false, true}) {
      SCOPED_TRACE(std::string(row.name) + (descending ? " descending" : " ascending"));
      CountedList list = Make(row.keys);
      ByKey sort;
      list.Sort(sort, descending);
      std::vector<int> expected = row.keys;
      std::stable_sort(expected.begin(), expected.end(),
                       [&](int a, int b) { return descending ? a > b : a < b; });
      EXPECT_EQ(Keys(list), expected);
      EXPECT_LE(sort.calls, int64_t{4} * n * 12);
    }
  }
}

// The stack in use, from inside the comparison at the deepest sorting level.
class StackDepth : public ByKey {
 public:
  int Compare(const Counted& a, const Counted& b) const override {
    const auto here = reinterpret_cast<uintptr_t>(__builtin_frame_address(0));
    if (top == 0) top = here;
    if (top > here && top - here > deepest) deepest = top - here;
    return ByKey::Compare(a, b);
  }
  mutable uintptr_t top = 0;
  mutable uintptr_t deepest = 0;
};

// Lists whose pivots are always extremes: plain reverse order, and the order in
// which every partition leaves all other units in front of the pivot again
// (recursing into the part before the pivot would go one level per unit).
std::vector<std::vector<int>> WorstOrders(int n) {
  std::vector<int> reverse(static_cast<size_t>(n));
  for (int i = 0; i < n; ++i) reverse[static_cast<size_t>(i)] = n - i;
  std::vector<int> nested{1};
  for (int k = 2; k <= n; ++k) {
    std::vector<int> next{k};
    next.insert(next.end(), nested.rbegin(), nested.rend());
    nested.swap(next);
  }
  return {reverse, nested};
}

TEST(RawList, WorstOrdersSortWithoutDeepRecursion) {
  const int n = 3000;
  for (const std::vector<int>& keys : WorstOrders(n)) {
    CountedList list = Make(keys);
    StackDepth sort;
    list.Sort(sort, false);
    std::vector<int> sorted = keys;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(Keys(list), sorted);
    // One level per unit would take at least n frames of a few dozen bytes.
    EXPECT_LT(sort.deepest, 32u * 1024u);
  }
}

// --- string lists ------------------------------------------------------------

std::vector<std::string> Texts(const RawStringList& list) {
  std::vector<std::string> texts;
  for (const RawString& text : list) texts.push_back(text.ToUtf8());
  return texts;
}

TEST(RawStringListTest, FindIgnoresAsciiCaseUnlessExact) {
  RawStringList list;
  list.Add(RawString("Alpha"));
  list.Add(RawString("beta"));
  list.Add(RawString("BETA"));
  list.Add(RawString("\xC3\xA9t\xC3\xA9"));
  struct Row {
    const char* wanted;
    bool exact;
    int found;  // index of the unit, -1 for none
  } rows[] = {
      {"alpha", false, 0}, {"alpha", true, -1},  {"Alpha", true, 0},      {"BETA", false, 1},
      {"BETA", true, 2},   {"gamma", false, -1}, {"\xC3\x89T\xC3\x89", false, -1},
      {"\xC3\xA9T\xC3\xA9", false, 3}, {"", false, -1},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(std::string(row.wanted) + (row.exact ? " exact" : ""));
    list.SetExact(row.exact);
    const RawString* found = list.Find(RawString::FromUtf8(row.wanted));
    int index = -1;
    int i = 0;
    for (RawString& unit : list) {
      if (&unit == found) index = i;
      ++i;
    }
    EXPECT_EQ(index, row.found);
  }
}

TEST(RawStringListTest, SortComparesUnitsWithoutCaseFolding) {
  RawStringList list;
  for (const char* text : {"pear", "Apple", "apple", "banana", "app", ""}) list.Add(RawString::FromUtf8(text));
  list.Sort(false);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"", "Apple", "app", "apple", "banana", "pear"}));
  list.Sort(true);
  EXPECT_EQ(Texts(list), (std::vector<std::string>{"pear", "banana", "apple", "app", "Apple", ""}));
}

TEST(RawStringListTest, ReleasingTheLastListReleasesEveryString) {
  const int64_t start = RawString::LiveBodies();
  {
    RawStringList list;
    for (int i = 0; i < 50; ++i) {
      RawString text("item ");
      text.AppendInteger(i);
      list.Add(text);
    }
    RawStringList copy = list;
    list.Clear();
    EXPECT_EQ(copy.Count(), 0);
    for (int i = 0; i < 10; ++i) copy.Add(RawString::FromUtf8("again"));
  }
  EXPECT_EQ(RawString::LiveBodies(), start);
}

TEST(RawRangedText, TrimRangeNarrowsWithinTheUsefulRange) {
  struct Row {
    const char* line;
    int32_t begin;
    int32_t end;
    const char* set;
    const char* useful;
  } rows[] = {
      {"  key = value\t", 0, 14, kBlanks, "key = value"},
      {"key =  value \r\n", 5, 15, kWhiteSpace, "value"},
      {"key =  value \r\n", 5, 15, kBlanks, "value \r\n"},
      {"   ", 0, 3, kBlanks, ""},
  };
  for (const Row& row : rows) {
    SCOPED_TRACE(row.line);
    RawRangedTextUnit unit(RawString::FromUtf8(row.line), 7);
    unit.begin = row.begin;
    unit.end = row.end;
    unit.TrimRange(row.set);
    EXPECT_EQ(unit.Useful().ToUtf8(), row.useful);
    EXPECT_EQ(unit.line, 7);
    EXPECT_LE(unit.begin, unit.end);
  }
}

}  // namespace
}  // namespace RawLayer
