#include "levels/LevelSource.h"

#include <map>
#include <sstream>
#include <vector>

namespace GameLogicView {

namespace {

std::string Trim(const std::string& s) {
    const size_t b = s.find_first_not_of(" \t\r");
    if (b == std::string::npos) return "";
    const size_t e = s.find_last_not_of(" \t\r");
    return s.substr(b, e - b + 1);
}

int HeightOf(char c) {
    if (c == '.') return 0;
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'z') return 10 + (c - 'a');
    if (c >= 'A' && c <= 'Z') return 36 + (c - 'A');
    return -1;
}

int TeamOf(char c) {
    if (c == '.') return 0;
    if (c >= '0' && c <= '9') return c - '0';
    return -1;
}

}  // namespace

bool ParseLevelSource(const std::string& text, const std::string& name, LevelSource& out, std::string& error) {
    std::map<char, int> legend;
    std::map<std::string, std::vector<std::string>> grids;
    std::map<std::string, int> gridLine;
    std::string output;
    std::string current;
    std::istringstream in(text);
    std::string raw;
    int lineNo = 0;
    auto fail = [&](const std::string& why) {
        error = "level description \"" + name + "\"" + (lineNo > 0 ? ", line " + std::to_string(lineNo) : "") + ": " + why;
        return false;
    };

    while (std::getline(in, raw)) {
        ++lineNo;
        const size_t hash = raw.find('#');
        const std::string line = Trim(hash == std::string::npos ? raw : raw.substr(0, hash));
        if (line.empty()) continue;
        std::istringstream words(line);
        std::string word;
        words >> word;
        if (word == "output") {
            words >> output;
            if (output.empty()) return fail("output needs a path");
            current.clear();
        } else if (word == "legend") {
            std::string symbol;
            int code = 0;
            if (!(words >> symbol >> code) || symbol.size() != 1 || code < 1 || code > 255 || symbol == ".")
                return fail("legend needs one character (not '.') and a code from 1 to 255");
            legend[symbol[0]] = code;
            current.clear();
        } else if (word == "heights" || word == "teams" || word == "objects") {
            if (grids.count(word)) return fail("a second " + word + " grid");
            current = word;
            grids[word];
            gridLine[word] = lineNo;
        } else if (!current.empty()) {
            if (line.find_first_of(" \t") != std::string::npos) return fail("a grid row may not hold blanks");
            grids[current].push_back(line);
        } else {
            return fail("unexpected text \"" + line + "\"");
        }
    }

    if (output.empty()) return fail("no output path");
    for (const char* g : {"heights", "teams", "objects"})
        if (!grids.count(g) || grids[g].empty()) return fail(std::string("no ") + g + " grid");
    const std::vector<std::string>& heights = grids["heights"];
    const size_t rows = heights.size();
    const size_t width = heights[0].size();
    if (rows > static_cast<size_t>(Bitmap24::kMaxSide) || width > static_cast<size_t>(Bitmap24::kMaxSide))
        return fail("the grids are too large");
    for (const auto& g : grids) {
        lineNo = gridLine[g.first];
        if (g.second.size() != rows) return fail("the " + g.first + " grid has " + std::to_string(g.second.size()) +
                                                 " rows, the heights grid " + std::to_string(rows));
        for (size_t r = 0; r < rows; ++r)
            if (g.second[r].size() != width)
                return fail("row " + std::to_string(r) + " of the " + g.first + " grid is " +
                            std::to_string(g.second[r].size()) + " wide, not " + std::to_string(width));
    }

    LevelSource src;
    src.output = output;
    src.image.width = static_cast<int>(width);
    src.image.height = static_cast<int>(rows);
    src.image.bgr.reserve(rows * width * 3);
    for (size_t r = 0; r < rows; ++r) {
        for (size_t c = 0; c < width; ++c) {
            const std::string where = " at row " + std::to_string(r) + ", column " + std::to_string(c);
            const int h = HeightOf(heights[r][c]);
            const int t = TeamOf(grids["teams"][r][c]);
            const char o = grids["objects"][r][c];
            lineNo = 0;
            if (h < 0) return fail(std::string("height '") + heights[r][c] + "' is not a height" + where);
            if (t < 0) return fail(std::string("team '") + grids["teams"][r][c] + "' is not a digit" + where);
            int code = 0;
            if (o != '.') {
                const auto it = legend.find(o);
                if (it == legend.end()) return fail(std::string("object '") + o + "' is not in the legend" + where);
                code = it->second;
            }
            src.image.bgr.push_back(static_cast<uint8_t>(h));
            src.image.bgr.push_back(static_cast<uint8_t>(t));
            src.image.bgr.push_back(static_cast<uint8_t>(code));
        }
    }
    out = std::move(src);
    return true;
}

}  // namespace GameLogicView
