#include "utility/HtmlLogger.h"

#include <cstdarg>
#include <cstdio>
#include <ctime>
#include <iostream>
#include <vector>

HtmlLogger GfxLog("Logs/GfxLog.html");
HtmlLogger NetworkingLog("Logs/networkingLog.html");

HtmlLogger::HtmlLogger(std::string fileName) : m_fileName(std::move(fileName)) {}

HtmlLogger::~HtmlLogger() { Close(); }

const char* HtmlLogger::ClassName(int level) {
    switch (level) {
        case LOG_ALLOC: return "LOG_ALLOC";
        case LOG_RELEASE: return "LOG_RELEASE";
        case LOG_WARNING: return "LOG_WARNING";
        case LOG_ERROR: return "LOG_ERROR";
        default: return "LOG_INFO";
    }
}

void HtmlLogger::SetDebugOutput(DebugOutput out) { m_debug = std::move(out); }

bool HtmlLogger::Open() {
    if (m_open) return true;
    m_file.open(m_fileName, std::ios::out | std::ios::trunc);
    if (!m_file) return false;
    m_open = true;
    m_counter = 0;
    m_file << "<HTML><head><title>" << m_fileName << "</title></head><body><pre><TABLE>\n";
    return true;
}

void HtmlLogger::Close() {
    if (!m_open) return;
    Log(LOG_RELEASE, "Log End");
    m_file << "\n</TABLE></pre></body></HTML>\n";
    m_file.close();
    m_open = false;
}

void HtmlLogger::Log(int level, const char* format, ...) {
    if (!m_open) return;
    ++m_counter;

    timespec ts{};
    clock_gettime(CLOCK_REALTIME, &ts);
    std::tm local{};
    localtime_r(&ts.tv_sec, &local);
    const long ms = ts.tv_nsec / 1000000;

    const char* cls = ClassName(level);
    m_file << "<TR class=\"" << cls << "\">"
           << "<TD class=\"LOG_COUNTER\"><pre>[" << m_counter << "]</pre></TD>"
           << "<TD class=\"LOG_TIME\"><pre>" << local.tm_hour << "::" << local.tm_min << "::" << local.tm_sec
           << "::" << ms << "</pre></TD>";

    // Formatted without a length limit: measure, then format.
    std::string message;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int n = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (n > 0) {
        std::vector<char> buf(static_cast<size_t>(n) + 1);
        std::vsnprintf(buf.data(), buf.size(), format, args);
        message.assign(buf.data(), static_cast<size_t>(n));
    }
    va_end(args);

    if (m_debug)
        m_debug(message + "\n");
    else
        std::cerr << message << '\n';

    m_file << "<TD class=\"" << cls << "\"><pre>" << message << "</pre></TD></TR>\n";
    m_file.flush();
}
