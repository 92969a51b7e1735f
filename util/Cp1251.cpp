#include "util/Cp1251.h"

#include <cstdint>

namespace {
// Unicode code points of CP1251 bytes 0x80..0xFF. The unassigned byte 0x98 maps to U+0098, as
// Windows maps it, so that every byte sequence read from a file survives a round trip unchanged.
const uint16_t kUpperHalf[128] = {
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021, 0x20AC, 0x2030, 0x0409, 0x2039, 0x040A,
    0x040C, 0x040B, 0x040F, 0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014, 0x0098, 0x2122,
    0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F, 0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6,
    0x00A7, 0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407, 0x00B0, 0x00B1, 0x0406, 0x0456,
    0x0491, 0x00B5, 0x00B6, 0x00B7, 0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457, 0x0410,
    0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417, 0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D,
    0x041E, 0x041F, 0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427, 0x0428, 0x0429, 0x042A,
    0x042B, 0x042C, 0x042D, 0x042E, 0x042F, 0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F, 0x0440, 0x0441, 0x0442, 0x0443, 0x0444,
    0x0445, 0x0446, 0x0447, 0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

void AppendUtf8(std::string& out, uint32_t cp)
{
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

// Bytes of the sequence a lead byte starts; the 5- and 6-byte forms of early UTF-8 are counted
// so that each is one malformed sequence. 0: a continuation byte or 0xFE/0xFF, malformed alone.
int SequenceLength(unsigned char c)
{
    if (c < 0x80) return 1;
    if (c < 0xC0) return 0;
    if (c < 0xE0) return 2;
    if (c < 0xF0) return 3;
    if (c < 0xF8) return 4;
    if (c < 0xFC) return 5;
    return c < 0xFE ? 6 : 0;
}

// The smallest code point each length may carry: anything less is an overlong form, which would
// smuggle "/" or a control character past a check made on the UTF-8 text.
constexpr uint32_t kLeastOfLength[] = {0, 0, 0x80, 0x800, 0x10000};

// Decodes one UTF-8 sequence at s[i], consuming it (up to the first byte that cannot continue it).
// False for a malformed one: cut short, overlong, a surrogate, or past U+10FFFF.
bool NextCodePoint(std::string_view s, size_t& i, uint32_t& cp)
{
    const unsigned char c = static_cast<unsigned char>(s[i++]);
    const int length = SequenceLength(c);
    if (length == 0) return false;
    cp = length == 1 ? c : c & (0x7Fu >> length);
    for (int k = 1; k < length; ++k) {
        if (i >= s.size() || (static_cast<unsigned char>(s[i]) & 0xC0) != 0x80) return false;
        cp = (cp << 6) | (static_cast<unsigned char>(s[i++]) & 0x3F);
    }
    return length <= 4 && cp >= kLeastOfLength[length] && cp <= 0x10FFFF && (cp < 0xD800 || cp > 0xDFFF);
}

char EncodeOne(uint32_t cp)
{
    if (cp < 0x80) return static_cast<char>(cp);
    for (int k = 0; k < 128; ++k)
        if (kUpperHalf[k] == cp) return static_cast<char>(0x80 + k);
    return '?';
}
}   // namespace

std::string Utf8ToCp1251(std::string_view utf8)
{
    std::string out;
    out.reserve(utf8.size());
    for (size_t i = 0; i < utf8.size();) {
        uint32_t cp = 0;
        out += NextCodePoint(utf8, i, cp) ? EncodeOne(cp) : '?';
    }
    return out;
}

std::string Cp1251ToUtf8(std::string_view cp1251)
{
    std::string out;
    out.reserve(cp1251.size() * 2);
    for (char ch : cp1251) {
        unsigned char b = static_cast<unsigned char>(ch);
        uint32_t cp = b < 0x80 ? b : kUpperHalf[b - 0x80];
        AppendUtf8(out, cp);
    }
    return out;
}
