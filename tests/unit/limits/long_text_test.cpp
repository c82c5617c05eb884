// Texts longer than 2 GiB, which 32-bit indexes would wrap: the UTF-8 readers must see their
// bytes past that point where they are. The text is a reserved mapping of zero bytes of which the
// tests touch only a page or two.
#include <gtest/gtest.h>
#include <sys/mman.h>

#include <cstddef>
#include <cstring>
#include <string_view>

#include "base/unicode.h"

namespace tolu {
namespace {

constexpr std::size_t kPastTwoGiB = (std::size_t{1} << 31) + 4096;

class LongText : public ::testing::Test {
 protected:
  void SetUp() override {
    void* p = mmap(nullptr, kSize, PROT_READ | PROT_WRITE,
                   MAP_PRIVATE | MAP_ANONYMOUS | MAP_NORESERVE, -1, 0);
    if (p == MAP_FAILED) GTEST_SKIP() << "no room to map " << kSize << " bytes";
    bytes_ = static_cast<char*>(p);
  }
  void TearDown() override {
    if (bytes_ != nullptr) munmap(bytes_, kSize);
  }
  std::string_view text() const { return {bytes_, kSize}; }

  static constexpr std::size_t kSize = kPastTwoGiB + 4096;
  char* bytes_ = nullptr;
};

TEST_F(LongText, CharactersPastTwoGibibytesDecodeWhereTheyAre) {
  std::memcpy(bytes_ + kPastTwoGiB, "\xC3\xA9\xF0\x9F\x98\x80\xFF", 7);
  std::size_t pos = kPastTwoGiB;
  EXPECT_EQ(decode_utf8(text(), pos), U'\u00E9');
  EXPECT_EQ(pos, kPastTwoGiB + 2);
  EXPECT_EQ(decode_utf8(text(), pos), U'\U0001F600');
  EXPECT_EQ(pos, kPastTwoGiB + 6);
  EXPECT_EQ(decode_utf8(text(), pos), U'\uFFFD');
  EXPECT_EQ(pos, kPastTwoGiB + 7);
}

// Read from its start: an ill-formed first byte must be found however long the text is (a 32-bit
// length would come out negative and let no byte be read at all).
TEST_F(LongText, AnIllFormedByteMakesALongTextInvalid) {
  bytes_[0] = '\xE2';  // a three-byte character cut short by the zero after it
  EXPECT_FALSE(is_valid_utf8(text()));
}

TEST_F(LongText, CaseMappingRefusesWhatIcuCannotCount) {
  EXPECT_EQ(to_upper_case(text()), std::nullopt);
}

}  // namespace
}  // namespace tolu
