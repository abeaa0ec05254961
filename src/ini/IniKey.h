// Distinct types for an INI key and section name, so that every reader of a
// setting names them in one order (key, then section) and a swapped call
// does not compile.
#pragma once

#include <string>
#include <utility>

namespace Utility {

struct Key {
    explicit Key(std::string n) : name(std::move(n)) {}
    explicit Key(const char* n) : name(n ? n : "") {}
    std::string name;
};

struct Section {
    explicit Section(std::string n) : name(std::move(n)) {}
    explicit Section(const char* n) : name(n ? n : "") {}
    std::string name;
};

}  // namespace Utility
