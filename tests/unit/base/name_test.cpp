#include "tolu/name.h"

#include <gtest/gtest.h>

#include <sstream>
#include <string>
#include <string_view>
#include <vector>

namespace tolu {
namespace {

TEST(NameTable, InternsEachSpellingOnceWithDenseIds) {
  Arena arena(256);
  NameTable table(arena);
  const Name a = table.intern("alpha");
  const Name b = table.intern("beta");
  const Name a2 = table.intern(std::string("alp") + "ha");
  EXPECT_EQ(a.id(), 1u);
  EXPECT_EQ(b.id(), 2u);
  EXPECT_EQ(a2.id(), 1u);
  EXPECT_EQ(a.data(), a2.data());  // one copy
  EXPECT_EQ(table.id_limit(), 3u);

  EXPECT_EQ(table.find("beta"), b);
  EXPECT_TRUE(table.find("gamma").empty());
  EXPECT_EQ(table.id_limit(), 3u);  // find enters nothing

  // The empty spelling is the empty name, id 0, in every table.
  EXPECT_TRUE(table.intern("").empty());
  EXPECT_EQ(table.intern("").id(), 0u);
  EXPECT_EQ(table.intern(""), Name());
  EXPECT_FALSE(table.intern("").present());

  // A present empty name stands for "an empty spelling" where Name() stands for "none".
  const Name present_empty = table.intern_present("");
  EXPECT_TRUE(present_empty.present());
  EXPECT_TRUE(present_empty.empty());
  EXPECT_EQ(present_empty.id(), 0u);
  EXPECT_EQ(present_empty, Name());  // still the empty text
  EXPECT_EQ(present_empty, "");
  EXPECT_EQ(table.intern_present(""), present_empty);
  EXPECT_EQ(table.intern_present("beta"), b);
}

// Whether the table grows name by name, is sized ahead (too small, exactly or too large), or is
// resized while it holds names, every name keeps its id and text.
TEST(NameTable, KeepsIdsAndTextThroughGrowth) {
  struct Sizing {
    std::size_t before, midway;  // reserve() before the first name and after half of them
  };
  const Sizing sizings[] = {{0, 0}, {100, 0}, {15000, 0}, {20000, 0}, {1000000, 0}, {0, 30000}};
  std::vector<std::string> spellings;
  for (int i = 0; i < 20000; ++i) spellings.push_back("n" + std::to_string(i * 7919 % 20011));
  for (const Sizing& sizing : sizings) {
    SCOPED_TRACE(std::to_string(sizing.before) + " then " + std::to_string(sizing.midway));
    Arena arena(256);
    NameTable table(arena);
    table.reserve(sizing.before);
    std::vector<Name> names;
    for (const std::string& s : spellings) {
      if (names.size() == spellings.size() / 2) table.reserve(sizing.midway);
      names.push_back(table.intern(s));
    }
    for (std::size_t i = 0; i < spellings.size(); ++i) {
      ASSERT_EQ(names[i].id(), i + 1);
      ASSERT_EQ(names[i], spellings[i]);
      ASSERT_EQ(table.intern(spellings[i]), names[i]);
    }
    table.clear();
    EXPECT_EQ(table.id_limit(), 1u);
    EXPECT_TRUE(table.find(spellings[0]).empty());
    EXPECT_EQ(table.intern(spellings[5]).id(), 1u);
    // After the arena's reset, new entries take the memory the slots had: the table starts over
    // in fresh slots.
    table.clear();
    arena.reset();
    table.reserve(sizing.before);
    for (std::size_t i = 0; i < spellings.size(); ++i) {
      ASSERT_EQ(table.intern(spellings[i]).id(), i + 1);
    }
    for (std::size_t i = 0; i < spellings.size(); ++i) {
      ASSERT_EQ(table.find(spellings[i]).id(), i + 1);
    }
  }
}

// Entries are packed into blocks: names shorter and longer than a block, and ones that end a
// block exactly or just past it, must each keep their own bytes.
TEST(NameTable, KeepsNamesOfEverySizeIntactAcrossBlocks) {
  const std::size_t sizes[] = {1, 2, 3, 5, 2000, 2031, 2032, 2033, 2047, 2048, 2049, 7, 5000, 4, 1};
  Arena arena(256);
  NameTable table(arena);
  std::vector<std::string> spellings;
  std::vector<Name> names;
  for (int round = 0; round < 3; ++round) {
    for (const std::size_t size : sizes) {
      std::string spelling(size, static_cast<char>('a' + spellings.size() % 26));
      spelling.back() = static_cast<char>('A' + round);
      names.push_back(table.intern(spelling));
      spellings.push_back(std::move(spelling));
    }
  }
  for (std::size_t i = 0; i < spellings.size(); ++i) {
    ASSERT_EQ(names[i], spellings[i]) << i;
    ASSERT_EQ(table.find(spellings[i]), names[i]) << i;
    ASSERT_EQ(reinterpret_cast<std::uintptr_t>(names[i].data()) % alignof(NameEntry), 0u);
  }
}

// Spellings are hashed and compared a word at a time, with paths by length: every length up to
// past two words, and a difference at every position, must still make a different name.
TEST(NameTable, TellsApartSpellingsThatDifferInOneByte) {
  Arena arena(256);
  NameTable table(arena);
  for (std::size_t length = 1; length <= 40; ++length) {
    const std::string base(length, 'a');
    const Name name = table.intern(base);
    for (std::size_t at = 0; at < length; ++at) {
      std::string other = base;
      other[at] = 'b';
      const Name different = table.intern(other);
      ASSERT_NE(different.id(), name.id()) << other;
      ASSERT_EQ(different, other);
      ASSERT_EQ(table.intern(other), different) << other;
    }
    ASSERT_EQ(table.intern(base), name) << base;
    ASSERT_EQ(table.find(std::string(base)), name);
  }
}

TEST(Name, ComparesByIdentityWithinATableAndByTextAcross) {
  Arena arena(256);
  NameTable one(arena);
  NameTable other(arena);
  const Name x = one.intern("x");
  const Name y = one.intern("y");
  const Name other_x = other.intern("x");
  other.intern("padding");
  const Name other_y = other.intern("y");

  struct Case {
    Name a, b;
    bool equal;
  };
  const std::vector<Case> cases = {
      {x, x, true},        {x, y, false},      {x, other_x, true},     {y, other_y, true},
      {x, other_y, false}, {x, Name(), false}, {Name(), Name(), true},
  };
  for (const Case& c : cases) {
    EXPECT_EQ(c.a == c.b, c.equal) << c.a << " == " << c.b;
    EXPECT_EQ(c.b == c.a, c.equal) << c.b << " == " << c.a;
    EXPECT_EQ(c.a != c.b, !c.equal) << c.a << " != " << c.b;
  }
}

TEST(Name, ReadsLikeAString) {
  Arena arena(256);
  NameTable table(arena);
  const Name name = table.intern("value");
  const std::string text = "value";
  const std::string_view view = name;
  EXPECT_EQ(view, "value");
  EXPECT_TRUE(name == "value");
  EXPECT_TRUE("value" == name);
  EXPECT_TRUE(name == text);
  EXPECT_TRUE(text == name);
  EXPECT_TRUE(name == std::string_view("value"));
  EXPECT_TRUE(name != "values");
  EXPECT_TRUE(name != "valu");
  EXPECT_EQ(name.size(), 5u);
  EXPECT_FALSE(name.empty());
  EXPECT_EQ(name.str(), text);
  std::ostringstream out;
  out << name << "|" << Name();
  EXPECT_EQ(out.str(), "value|");
  EXPECT_EQ(Name().size(), 0u);
  EXPECT_TRUE(Name() == "");
  EXPECT_STREQ(Name().data(), "");
}

}  // namespace
}  // namespace tolu
