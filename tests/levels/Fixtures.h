// Small helpers for the level loader tests: a temporary folder of fixture
// files, a capture of reported problems and a reproducible unit draw.
#pragma once

#include <cstdint>
#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <string>
#include <vector>

#include <stdlib.h>

#include "utility/Diagnostics.h"

namespace LevelTest {

class TempDir {
public:
    TempDir() {
        char tmpl[] = "/tmp/mirav-level-XXXXXX";
        if (!::mkdtemp(tmpl)) throw std::runtime_error("mkdtemp failed");
        m_path = tmpl;
        m_path += "/";
    }
    ~TempDir() {
        std::error_code ec;
        std::filesystem::remove_all(m_path, ec);
    }
    const std::string& Path() const { return m_path; }
    std::string Write(const std::string& name, const std::string& text) const {
        const std::string full = m_path + name;
        std::filesystem::create_directories(std::filesystem::path(full).parent_path());
        std::ofstream out(full, std::ios::binary);
        out << text;
        return full;
    }
    std::string WriteBytes(const std::string& name, const std::vector<uint8_t>& bytes) const {
        return Write(name, std::string(bytes.begin(), bytes.end()));
    }

private:
    std::string m_path;
};

// Collects every reported problem while it lives.
class ProblemCapture {
public:
    ProblemCapture() {
        Utility::SetProblemSink([this](Utility::Severity s, const std::string& m) {
            (s == Utility::Severity::Error ? errors : warnings).push_back(m);
        });
    }
    ~ProblemCapture() { Utility::SetProblemSink(nullptr); }
    bool ErrorMentions(const std::string& text) const {
        for (const auto& e : errors)
            if (e.find(text) != std::string::npos) return true;
        return false;
    }
    std::vector<std::string> errors;
    std::vector<std::string> warnings;
};

// A small linear congruential generator over [0, 1): reproducible draws.
class Draws {
public:
    explicit Draws(uint32_t seed) : m_state(seed ? seed : 1) {}
    float operator()() {
        m_state = m_state * 1664525u + 1013904223u;
        return static_cast<float>(m_state >> 8) / 16777216.0f;
    }

private:
    uint32_t m_state;
};

}  // namespace LevelTest
