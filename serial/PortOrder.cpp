// Natural order of port names, the same on every system (ttyS2 before ttyS10, COM2 before COM10).
#include "serial/PortList.h"

#include <cctype>

namespace {
bool IsDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

// Compares two runs of digits as numbers of any length.
int CompareNumbers(const std::string& a, size_t& i, const std::string& b, size_t& j)
{
    while (i < a.size() && a[i] == '0' && i + 1 < a.size() && IsDigit(a[i + 1])) ++i;
    while (j < b.size() && b[j] == '0' && j + 1 < b.size() && IsDigit(b[j + 1])) ++j;
    size_t startA = i, startB = j;
    while (i < a.size() && IsDigit(a[i])) ++i;
    while (j < b.size() && IsDigit(b[j])) ++j;
    if (i - startA != j - startB) return i - startA < j - startB ? -1 : 1;
    return a.compare(startA, i - startA, b, startB, j - startB);
}
}   // namespace

bool NaturalLess(const std::string& a, const std::string& b)
{
    size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (IsDigit(a[i]) && IsDigit(b[j])) {
            int order = CompareNumbers(a, i, b, j);
            if (order != 0) return order < 0;
        } else {
            if (a[i] != b[j]) return static_cast<unsigned char>(a[i]) < static_cast<unsigned char>(b[j]);
            ++i;
            ++j;
        }
    }
    if (i < a.size() || j < b.size()) return j < b.size();
    return a < b;   // equal as numbers ("x01" and "x1"): keep the order strict
}
