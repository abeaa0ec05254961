// Diagnostic messages as rows of an HTML table (running number, local time,
// printf-formatted text), mirrored to the debug output. The game's two logs
// are never opened, so every call on them returns at once.
#pragma once

#include <fstream>
#include <functional>
#include <string>

class HtmlLogger {
public:
    enum Level : int { LOG_INFO = 0, LOG_ALLOC = 1, LOG_RELEASE = 2, LOG_WARNING = 3, LOG_ERROR = 4 };
    // Receives each message of an open log followed by "\n".
    using DebugOutput = std::function<void(const std::string&)>;

    explicit HtmlLogger(std::string fileName);
    ~HtmlLogger();
    HtmlLogger(const HtmlLogger&) = delete;
    HtmlLogger& operator=(const HtmlLogger&) = delete;

    // Does nothing (the message is not even formatted) unless the log is open.
    void Log(int level, const char* format, ...)
#if defined(__GNUC__)
        __attribute__((format(printf, 3, 4)))
#endif
        ;

    // Nothing in the game opens a log; this is for diagnosing by hand and for
    // tests. Creates the file and writes the head of the page.
    bool Open();
    // When open: a "Log End" row, the end of the page, and the file is closed.
    void Close();

    bool IsOpen() const { return m_open; }
    int GetCounter() const { return m_counter; }
    const std::string& GetFileName() const { return m_fileName; }
    // Where messages are mirrored; empty restores standard error.
    void SetDebugOutput(DebugOutput out);

    static const char* ClassName(int level);

private:
    int m_counter = 0;
    std::string m_fileName;
    std::ofstream m_file;
    bool m_open = false;
    DebugOutput m_debug;
};

// The two logs of the game, on "Logs/GfxLog.html" and "Logs/networkingLog.html".
extern HtmlLogger GfxLog;
extern HtmlLogger NetworkingLog;
