#include "utility/Tokenizer.h"

#include "utility/Diagnostics.h"
#include "utility/StringUtil.h"
#include "utility/TextFile.h"

namespace Utility {

const char* const Tokenizer::kDelimiters = " ,()\t";

bool Tokenizer::Load(const std::string& fileName) {
    std::string text;
    if (!ReadTextFile(fileName, text)) return false;
    LoadText(text, fileName);
    return true;
}

void Tokenizer::LoadText(const std::string& text, const std::string& name) {
    m_name = name;
    size_t start = 0;
    while (start < text.size()) {
        size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        AppendLine(text.substr(start, end - start));
        start = end + 1;
    }
    m_cursor = 0;
    m_failed = false;
}

void Tokenizer::AppendLine(const std::string& rawLine) {
    std::string line = rawLine;
    // Files saved with CR LF line ends: the CR is not part of the last word.
    if (!line.empty() && line.back() == '\r') line.pop_back();
    const size_t first = line.find_first_not_of(" \t");
    if (first == std::string::npos || line[first] == '#') return;
    Split(line, kDelimiters, m_tokens);
}

std::string Tokenizer::NextToken() {
    if (!HasMore()) {
        m_failed = true;
        return std::string();
    }
    return m_tokens[m_cursor++];
}

bool Tokenizer::NextFloat(float& value) {
    if (!HasMore()) {
        m_failed = true;
        return false;
    }
    const std::optional<float> v = ParseValue<float>(m_tokens[m_cursor++]);
    if (!v) {
        m_failed = true;
        return false;
    }
    value = *v;
    return true;
}

bool Tokenizer::NextInt(long& value) {
    if (!HasMore()) {
        m_failed = true;
        return false;
    }
    const std::optional<long> v = ParseValue<long>(m_tokens[m_cursor++]);
    if (!v) {
        m_failed = true;
        return false;
    }
    value = *v;
    return true;
}

float Tokenizer::NextFloat() {
    float v = 0.0f;
    NextFloat(v);
    return v;
}

long Tokenizer::NextInt() {
    long v = 0;
    NextInt(v);
    return v;
}

bool Tokenizer::NextCount(long maxCount, long& count) {
    if (!HasMore()) {
        ReportError(m_name + ": a count is missing at the end of the file");
        m_failed = true;
        return false;
    }
    const std::string& token = m_tokens[m_cursor];
    const std::optional<long> v = ParseValue<long>(token);
    if (!v || *v < 0 || *v > maxCount) {
        ReportError(m_name + ": bad count '" + token + "' (expected 0.." + ToString(maxCount) + ")");
        m_cursor = static_cast<unsigned>(m_tokens.size());
        m_failed = true;
        return false;
    }
    ++m_cursor;
    count = *v;
    return true;
}

bool Tokenizer::SkipTo(const std::string& marker) {
    while (HasMore()) {
        if (m_tokens[m_cursor++] == marker) return true;
    }
    ReportError(m_name + ": marker '" + marker + "' not found");
    m_failed = true;
    return false;
}

bool Tokenizer::ReadUntil(const std::string& endMarker, std::vector<std::string>& out) {
    while (HasMore()) {
        const std::string& token = m_tokens[m_cursor++];
        if (token == endMarker) return true;
        out.push_back(token);
    }
    ReportError(m_name + ": end marker '" + endMarker + "' missing");
    m_failed = true;
    return false;
}

}  // namespace Utility
