#include "util/PathName.h"

#include "util/TextFormat.h"

#include <algorithm>
#include <cctype>

bool IsPathSeparator(char c) { return c == '/' || c == '\\'; }

namespace {
size_t LastSeparator(std::string_view path)
{
    for (size_t i = path.size(); i > 0; --i)
        if (IsPathSeparator(path[i - 1])) return i - 1;
    return std::string_view::npos;
}

std::string AsciiUpper(std::string_view s)
{
    std::string u(s);
    std::transform(u.begin(), u.end(), u.begin(), [](unsigned char c) { return static_cast<char>(std::toupper(c)); });
    return u;
}
}   // namespace

std::string FileNameOf(std::string_view path)
{
    size_t p = LastSeparator(path);
    return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

std::string FolderOf(std::string_view path)
{
    size_t p = LastSeparator(path);
    return p == std::string_view::npos ? std::string() : std::string(path.substr(0, p + 1));
}

std::string ExtOf(std::string_view name)
{
    for (size_t i = name.size(); i > 0; --i) {
        char c = name[i - 1];
        if (IsPathSeparator(c)) return {};
        if (c == '.') return std::string(name.substr(i));
    }
    return {};
}

int32_t FilterIndexOf(std::string_view filter, std::string_view extension)
{
    if (extension.empty()) return 1;
    std::vector<std::string> items = SplitText(AsciiUpper(filter), "|");
    std::string pattern = "*." + AsciiUpper(extension);
    size_t pairs = items.size() / 2;
    for (size_t i = 0; i < pairs; ++i)
        if (items[2 * i + 1].find(pattern) != std::string::npos) return static_cast<int32_t>(i + 1);
    return 1;
}
