// Problems found in outside input (configuration, data files) that the game
// survives but a developer should see. Written to standard error; tests
// install a sink to check that a problem was reported.
#pragma once

#include <functional>
#include <string>

namespace Utility {

enum class Severity { Warning, Error };

using ProblemSink = std::function<void(Severity, const std::string&)>;

void ReportWarning(const std::string& message);
void ReportError(const std::string& message);

// Replaces where problems go; an empty sink restores standard error.
void SetProblemSink(ProblemSink sink);

}  // namespace Utility
