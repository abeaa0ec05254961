#include "utility/TextFile.h"

#include <sys/stat.h>

#include <fstream>
#include <iterator>

namespace Utility {

bool ReadTextFile(const std::string& path, std::string& out) {
    if (path.empty()) return false;
    struct stat st {};
    if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return false;
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
    if (in.bad()) return false;
    out.swap(text);
    return true;
}

}  // namespace Utility
