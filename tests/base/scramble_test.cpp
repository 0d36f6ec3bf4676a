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

TEST(Scramble, FirstByteAndKeyUpdateFollowTheRoutine) {
    // 'A' (0x41) XOR the key's high byte (15283 >> 8 = 0x3B) = 0x7A; the key then becomes the
    // low 16 bits of (0x7A + 15283) * 41263 + 20749 = 0xAA50.
    const std::string hex = Scramble("AA", kAccountPasswordKey);
    EXPECT_EQ(hex.substr(0, 2), "7A");
    EXPECT_EQ(hex.substr(2), "EB");  // 'A' XOR 0xAA
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
    EXPECT_EQ(Scramble(std::string(300, 'x'), kPrivacyPasswordKey).size(), 255u);
}

}  // namespace
}  // namespace kivo
