// The words of a text file as one flat list: lines whose first visible
// character is '#' are skipped, every other line is cut at " ,()\t". Handed
// out one by one as text, float or integer; reading never passes the end.
#pragma once

#include <string>
#include <vector>

namespace Utility {

class Tokenizer {
public:
    static const char* const kDelimiters;  // " ,()\t"

    // False when the file cannot be opened (the tokens stay as they were);
    // otherwise appends the file's tokens and puts the cursor at the start.
    bool Load(const std::string& fileName);
    // The same for text already in memory; the name is used in messages.
    void LoadText(const std::string& text, const std::string& name = "<text>");

    bool HasMore() const { return m_cursor < m_tokens.size(); }
    size_t Remaining() const { return m_tokens.size() - m_cursor; }

    // The token at the cursor; the cursor advances. With no token left the
    // result is "" (0 for numbers), the cursor stays and Failed() turns true.
    std::string NextToken();
    // A token that is not a number gives 0 and sets Failed(); the cursor
    // still moves past it.
    float NextFloat();
    long NextInt();
    // Checked forms: false (value untouched) when no token is left or the
    // token is not a number of that type; the cursor moves past a bad token.
    bool NextFloat(float& value);
    bool NextInt(long& value);

    // Reads a count that must lie in 0..maxCount. A missing, non-numeric,
    // negative or too large count is logged as an error, moves the cursor to
    // the end (so a reader's loop stops) and returns false.
    bool NextCount(long maxCount, long& count);
    // Moves the cursor just past the next token equal to marker. When there
    // is none the cursor goes to the end, the missing marker is logged and
    // the result is false.
    bool SkipTo(const std::string& marker);
    // Appends the tokens up to the end marker and moves past it. Without an
    // end marker the rest is still appended, the cursor is at the end, the
    // missing marker is logged and the result is false.
    bool ReadUntil(const std::string& endMarker, std::vector<std::string>& out);

    // Sticky: some read ran past the end or met a token of the wrong kind.
    bool Failed() const { return m_failed; }

    const std::vector<std::string>& Tokens() const { return m_tokens; }
    unsigned Cursor() const { return m_cursor; }
    const std::string& Name() const { return m_name; }

private:
    void AppendLine(const std::string& line);

    std::vector<std::string> m_tokens;
    unsigned m_cursor = 0;
    bool m_failed = false;
    std::string m_name;
};

}  // namespace Utility
