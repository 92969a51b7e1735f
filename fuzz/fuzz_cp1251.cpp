// The CP1251 codec. Any bytes read as CP1251 come back byte for byte through UTF-8. Any bytes
// read as UTF-8: a well-formed text of characters CP1251 holds comes back unchanged, and a
// character the output holds never comes from a malformed sequence (overlong forms, surrogates,
// code points above U+10FFFF, stray or missing continuation bytes all give "?").
#include "fuzz/FuzzSupport.h"
#include "util/Cp1251.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

namespace {
// Strict UTF-8 (RFC 3629): the length of the well-formed sequence at s[i], 0 when there is none.
size_t WellFormedLength(std::string_view s, size_t i)
{
    auto byte = [&](size_t k) { return i + k < s.size() ? static_cast<uint8_t>(s[i + k]) : 0x00; };
    auto inRange = [](uint8_t b, uint8_t lo, uint8_t hi) { return b >= lo && b <= hi; };
    const uint8_t b0 = byte(0), b1 = byte(1), b2 = byte(2), b3 = byte(3);
    if (b0 < 0x80) return 1;
    if (inRange(b0, 0xC2, 0xDF)) return inRange(b1, 0x80, 0xBF) ? 2 : 0;
    const bool tail2 = inRange(b2, 0x80, 0xBF);
    if (b0 == 0xE0) return inRange(b1, 0xA0, 0xBF) && tail2 ? 3 : 0;
    if (b0 == 0xED) return inRange(b1, 0x80, 0x9F) && tail2 ? 3 : 0;   // no surrogates
    if (inRange(b0, 0xE1, 0xEF)) return inRange(b1, 0x80, 0xBF) && tail2 ? 3 : 0;
    const bool tail3 = tail2 && inRange(b3, 0x80, 0xBF);
    if (b0 == 0xF0) return inRange(b1, 0x90, 0xBF) && tail3 ? 4 : 0;
    if (b0 == 0xF4) return inRange(b1, 0x80, 0x8F) && tail3 ? 4 : 0;   // up to U+10FFFF
    if (inRange(b0, 0xF1, 0xF3)) return inRange(b1, 0x80, 0xBF) && tail3 ? 4 : 0;
    return 0;
}

bool WellFormed(std::string_view s)
{
    for (size_t i = 0; i < s.size();) {
        size_t n = WellFormedLength(s, i);
        if (n == 0) return false;
        i += n;
    }
    return true;
}

void CheckCp1251RoundTrip(std::string_view bytes)
{
    const std::string utf8 = Cp1251ToUtf8(bytes);
    FUZZ_CHECK(WellFormed(utf8));
    FUZZ_CHECK(Utf8ToCp1251(utf8) == bytes);
}

void CheckUtf8Encoding(std::string_view text)
{
    const std::string cp1251 = Utf8ToCp1251(text);
    FUZZ_CHECK(cp1251.size() <= text.size());
    // What was encoded decodes to a text that encodes to the same bytes again.
    FUZZ_CHECK(Utf8ToCp1251(Cp1251ToUtf8(cp1251)) == cp1251);
    // Without a "?" in the output every input sequence was well formed and CP1251 held it.
    if (cp1251.find('?') == std::string::npos) {
        FUZZ_CHECK(WellFormed(text));
        FUZZ_CHECK(Cp1251ToUtf8(cp1251) == text);
    }
}
}   // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const std::string_view input(reinterpret_cast<const char*>(data), size);
    CheckCp1251RoundTrip(input);
    CheckUtf8Encoding(input);
    return 0;
}
