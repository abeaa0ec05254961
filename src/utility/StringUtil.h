// Small text helpers used everywhere: trimming, splitting into words, and
// conversions between numbers or bools and text (decimal, bools as 1 and 0).
#pragma once

#include <optional>
#include <string>
#include <vector>

namespace Utility {

// The white space the configuration readers strip: space, tab, LF, CR.
extern const char* const kTrimChars;

// Removes the given characters from both ends; all of them -> "".
std::string Trim(const std::string& text, const char* chars = kTrimChars);

// Appends the non-empty runs of characters that are not delimiters, in order.
void Split(const std::string& text, const std::string& delimiters, std::vector<std::string>& out);

// Decimal text of a number; bools as "1" or "0". Defined for bool, int,
// unsigned int, long, unsigned long, unsigned short, float and double.
template <class T>
std::string ToString(const T& value);

template <class T>
void Append(std::string& target, const T& value) {
    target += ToString(value);
}
template <>
inline void Append<std::string>(std::string& target, const std::string& value) {
    target += value;
}
void AppendPercent(std::string& target);

// Reads a value the way formatted stream input does (leading white space
// skipped, the longest valid beginning used: "12abc" -> 12, "3.5" -> 3 for an
// integer), but refuses what would otherwise come back as garbage: no valid
// beginning at all, a number out of the type's range, a minus sign for an
// unsigned type, a float that is not finite, a bool other than 0 or 1.
// Defined for bool, char, unsigned char, short, unsigned short, int,
// unsigned int, long, unsigned long, float and double (the char types take
// the first character that is not white space).
template <class T>
std::optional<T> ParseValue(const std::string& text);

// The parsed value, or the fallback (0 / false by default) when the text does
// not hold one.
template <class T>
T StringTo(const std::string& text, T fallback = T()) {
    std::optional<T> v = ParseValue<T>(text);
    return v ? *v : fallback;
}

}  // namespace Utility
