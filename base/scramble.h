#pragma once
// Password scrambling: passwords kept in settings files pass through one reversible routine
// with a 16-bit key that depends on what the password is for, and are stored as hexadecimal
// text. This is obfuscation, not encryption: it keeps a password from being read at a glance.

#include <cstdint>
#include <string>
#include <string_view>

namespace kivo {

// The key of each kind of stored password.
inline constexpr std::uint16_t kDialUpPasswordKey = 17315;   // [Mail] "DialUpPass"
inline constexpr std::uint16_t kPrivacyPasswordKey = 13604;  // [Mail] "PrivacyPass"
inline constexpr std::uint16_t kAccountPasswordKey = 15283;  // "POPPass" in accounts.ini

// Up to 255 characters of text to two upper-case hex digits per byte. The hex text is never
// cut: a cut to 255 digits would leave a password of 128 characters or more unrestorable.
std::string Scramble(std::string_view text, std::uint16_t key);
// Hex digits of either case back to text; a last single digit is ignored and a pair that is
// not hexadecimal makes the whole result empty.
std::string Unscramble(std::string_view hex, std::uint16_t key);

}  // namespace kivo
