#include "utility/Diagnostics.h"

#include <cstdio>

namespace Utility {

namespace {
ProblemSink& Sink() {
    static ProblemSink sink;
    return sink;
}

void Report(Severity severity, const std::string& message) {
    if (Sink()) {
        Sink()(severity, message);
        return;
    }
    std::fprintf(stderr, "%s: %s\n", severity == Severity::Error ? "error" : "warning", message.c_str());
}
}  // namespace

void ReportWarning(const std::string& message) { Report(Severity::Warning, message); }
void ReportError(const std::string& message) { Report(Severity::Error, message); }

void SetProblemSink(ProblemSink sink) { Sink() = std::move(sink); }

}  // namespace Utility
