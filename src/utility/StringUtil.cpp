#include "utility/StringUtil.h"

#include <cmath>
#include <cstring>
#include <locale>
#include <sstream>
#include <type_traits>

namespace Utility {

const char* const kTrimChars = " \t\n\r";

std::string Trim(const std::string& text, const char* chars) {
    const size_t first = text.find_first_not_of(chars);
    if (first == std::string::npos) return std::string();
    const size_t last = text.find_last_not_of(chars);
    return text.substr(first, last - first + 1);
}

void Split(const std::string& text, const std::string& delimiters, std::vector<std::string>& out) {
    size_t pos = 0;
    while (pos < text.size()) {
        const size_t start = text.find_first_not_of(delimiters, pos);
        if (start == std::string::npos) return;
        size_t end = text.find_first_of(delimiters, start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        pos = end;
    }
}

template <class T>
std::string ToString(const T& value) {
    std::ostringstream out;
    out.imbue(std::locale::classic());
    if constexpr (std::is_same_v<T, bool>)
        out << (value ? 1 : 0);
    else
        out << value;
    return out.str();
}

template std::string ToString<bool>(const bool&);
template std::string ToString<int>(const int&);
template std::string ToString<unsigned int>(const unsigned int&);
template std::string ToString<long>(const long&);
template std::string ToString<unsigned long>(const unsigned long&);
template std::string ToString<unsigned short>(const unsigned short&);
template std::string ToString<float>(const float&);
template std::string ToString<double>(const double&);

void AppendPercent(std::string& target) { target += '%'; }

namespace {

// Formatted input of a number type; nothing when the stream refuses it.
template <class T>
std::optional<T> ReadNumber(const std::string& text) {
    std::istringstream in(text);
    in.imbue(std::locale::classic());
    in >> std::ws;
    if constexpr (std::is_unsigned_v<T>) {
        // The standard streams accept "-1" for an unsigned type and wrap it
        // to the largest value; a configured "-1" is never meant that way.
        if (in.peek() == '-') return std::nullopt;
    }
    T value{};
    in >> value;
    if (in.fail()) return std::nullopt;
    if constexpr (std::is_floating_point_v<T>) {
        if (!std::isfinite(value)) return std::nullopt;
    }
    return value;
}

}  // namespace

template <class T>
std::optional<T> ParseValue(const std::string& text) {
    if constexpr (std::is_same_v<T, bool>) {
        const std::optional<long> n = ReadNumber<long>(text);
        if (!n || (*n != 0 && *n != 1)) return std::nullopt;
        return *n == 1;
    } else if constexpr (std::is_same_v<T, char> || std::is_same_v<T, unsigned char>) {
        const size_t first = text.find_first_not_of(kTrimChars);
        if (first == std::string::npos) return std::nullopt;
        return static_cast<T>(text[first]);
    } else {
        return ReadNumber<T>(text);
    }
}

template std::optional<bool> ParseValue<bool>(const std::string&);
template std::optional<char> ParseValue<char>(const std::string&);
template std::optional<unsigned char> ParseValue<unsigned char>(const std::string&);
template std::optional<short> ParseValue<short>(const std::string&);
template std::optional<unsigned short> ParseValue<unsigned short>(const std::string&);
template std::optional<int> ParseValue<int>(const std::string&);
template std::optional<unsigned int> ParseValue<unsigned int>(const std::string&);
template std::optional<long> ParseValue<long>(const std::string&);
template std::optional<unsigned long> ParseValue<unsigned long>(const std::string&);
template std::optional<float> ParseValue<float>(const std::string&);
template std::optional<double> ParseValue<double>(const std::string&);

}  // namespace Utility
