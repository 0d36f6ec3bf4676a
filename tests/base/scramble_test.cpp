#include "base/scramble.h"

#include <gtest/gtest.h>

#include "base/bytes.h"

namespace kivo {
namespace {

TEST(Scramble, RoundTripsWithItsOwnKeyOnly) {
    std::string text;
    for (int n = 0; n <= 127; ++n) {
        const std::string hex = Scramble(text, kAccountPasswordKey);
        ASSERT_EQ(hex.size(), 2 * text.size());
        EXPECT_EQ(hex.find_first_not_of("0123456789ABCDEF"), std::string::npos);
        EXPECT_EQ(Unscramble(hex, kAccountPasswordKey), text) << n;
        if (!text.empty()) {
            EXPECT_NE(Unscramble(hex, kDialUpPasswordKey), text) << n;
        }
        text += static_cast<char>((n * 37 + 11) % 256);  // every kind of byte, 8-bit too
    }
}

TEST(Scramble, GoldenValueWorkedByHand) {
    // Key 15283 = 0x3BB3, so the first byte is 'A' (0x41) XOR 0x3B = 0x7A. The key becomes the
    // low 16 bits of (0x7A + 15283) * 41263 + 20749 = 635677264, that is 0xAA50; the second
    // byte is 0x41 XOR 0xAA = 0xEB. Then (0xEB + 0xAA50) * 41263 + 20749 = 1808784354 gives
    // the key 0xDBE2 and the third byte 0x41 XOR 0xDB = 0x9A. (0x9A + 0xDBE2) * 41263 leaves
    // the signed 32-bit range, so the key stays 0xDBE2 and the fourth byte is 0x9A again.
    EXPECT_EQ(Scramble("AAAA", kAccountPasswordKey), "7AEB9A9A");
    EXPECT_EQ(Unscramble("7AEB9A9A", kAccountPasswordKey), "AAAA");
}

TEST(Scramble, LenientReading) {
    const std::string hex = Scramble("secret", kPrivacyPasswordKey);
    struct Case {
        std::string in;
        std::string out;
        const char* why;
    } cases[] = {
        {"", "", "empty stays empty"},
        {hex + "7", "secret", "a last single digit is ignored"},
        {LowerCase(hex), "secret", "lower-case digits"},
        {hex.substr(0, 4) + "G1", "", "a pair that is not hex empties the result"},
    };
    for (const auto& c : cases) EXPECT_EQ(Unscramble(c.in, kPrivacyPasswordKey), c.out) << c.why;
    EXPECT_EQ(Scramble("", kPrivacyPasswordKey), "");
}

TEST(Scramble, LongPasswordsSurvive) {
    // Up to 255 characters are kept, and every one of them comes back: the hex text of a
    // password of 128 characters or more is longer than 255 digits and must not be cut.
    struct Case {
        std::size_t length;
        std::size_t kept;
    } cases[] = {{127, 127}, {128, 128}, {200, 200}, {255, 255}, {300, 255}};
    for (const auto& c : cases) {
        std::string text;
        for (std::size_t n = 0; n < c.length; ++n) text += static_cast<char>('!' + n % 90);
        const std::string hex = Scramble(text, kDialUpPasswordKey);
        EXPECT_EQ(hex.size(), 2 * c.kept) << c.length;
        EXPECT_EQ(Unscramble(hex, kDialUpPasswordKey), text.substr(0, c.kept)) << c.length;
    }
}

}  // namespace
}  // namespace kivo
