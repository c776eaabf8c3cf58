#include "ErrorLog.h"

#include <cstdarg>
#include <cstdio>
#include <cstring>

namespace {

std::function<void(const std::string &)> gErrorLogSink;
std::function<void(const DebugAssertReport &)> gAssertHook;

const char *baseName(const char *path)
{
    const char *slash = path ? std::strrchr(path, '/') : nullptr;
    return slash ? slash + 1 : (path ? path : "");
}

void emit(const std::string &text)
{
    if (gErrorLogSink) {
        gErrorLogSink(text);
        return;
    }
    std::fwrite(text.data(), 1, text.size(), stderr);
    std::fflush(stderr);
}

} // namespace

void ParvaneLogError(const char *sourceFile, int line, const char *format, ...)
{
    char head[512];
    std::snprintf(head, sizeof head, "Parvane Error -- at %s, line %d.\n", baseName(sourceFile), line);
    std::string text = head;
    va_list args;
    va_start(args, format);
    va_list copy;
    va_copy(copy, args);
    const int needed = std::vsnprintf(nullptr, 0, format, copy);
    va_end(copy);
    if (needed > 0) {
        std::string second(static_cast<size_t>(needed) + 1, '\0');
        std::vsnprintf(second.data(), second.size(), format, args);
        second.resize(static_cast<size_t>(needed));
        text += second;
    }
    va_end(args);
    emit(text);
}

void ParvaneSetErrorLogSink(std::function<void(const std::string &)> sink)
{
    gErrorLogSink = std::move(sink);
}

void DebugAssert(const char *text, const char *message, bool hasValue, long long value,
                 const char *sourceFile, int line)
{
    DebugAssertReport report;
    report.text = text ? text : "";
    report.message = message ? message : "";
    report.hasValue = hasValue;
    report.value = value;
    report.file = baseName(sourceFile);
    report.line = line;
    if (gAssertHook) {
        gAssertHook(report);
        return;
    }
    std::string out = report.text;
    if (!report.message.empty())
        out += " -- " + report.message;
    if (hasValue)
        out += " (value " + std::to_string(value) + ")";
    out += " [" + report.file + ", line " + std::to_string(line) + "]\n";
    emit(out);
}

void DebugAssertSetHook(std::function<void(const DebugAssertReport &)> hook)
{
    gAssertHook = std::move(hook);
}
