#pragma once
// The two-line error log on standard error, and the assertion hook through
// which failed preconditions and ignored errors are reported.
#include <functional>
#include <string>

// Writes "Parvane Error -- at FILE, line N.\n" (FILE without folders) and then
// the formatted second line, which carries its own indentation and line feed.
void ParvaneLogError(const char *sourceFile, int line, const char *format, ...)
    __attribute__((format(printf, 3, 4)));
#define TNEF_LOG_ERROR(...) ParvaneLogError(__FILE__, __LINE__, __VA_ARGS__)

// Where error log text goes; null restores standard error. Tests capture it.
void ParvaneSetErrorLogSink(std::function<void(const std::string &text)> sink);

struct DebugAssertReport {
    std::string text;      // "Parvane: condition"
    long long value = 0;   // the reported value, where hasValue
    bool hasValue = false;
    std::string message;   // an extra message, possibly empty
    std::string file;      // source file base name
    int line = 0;
};

void DebugAssert(const char *text, const char *message, bool hasValue, long long value,
                 const char *sourceFile, int line);
// Replaces the assertion hook; null restores the default, which writes the
// report on standard error.
void DebugAssertSetHook(std::function<void(const DebugAssertReport &)> hook);

// Reports a failed check whose logged text is not the code's own expression:
// TNEF_REPORT_TEXT("folder != NULL") logs "Parvane: folder != NULL". The
// texts are what people search logs for, so they stay fixed while the code
// behind them is free to change.
#define TNEF_REPORT_TEXT(text) DebugAssert("Parvane: " text, nullptr, false, 0, __FILE__, __LINE__)
#define TNEF_REPORT_TEXT_MSG(text, msg) DebugAssert("Parvane: " text, msg, false, 0, __FILE__, __LINE__)
// A non-zero status logged as "Parvane: text == 0 " with its value.
#define TNEF_REPORT_STATUS_TEXT(text, status) \
    DebugAssert("Parvane: " text " == 0 ", nullptr, true, (long long)(status), __FILE__, __LINE__)

// Reports the failed condition `cond` as "Parvane: cond".
#define TNEF_REPORT(cond) DebugAssert("Parvane: " #cond, nullptr, false, 0, __FILE__, __LINE__)
#define TNEF_REPORT_MSG(cond, msg) DebugAssert("Parvane: " #cond, msg, false, 0, __FILE__, __LINE__)
// Reports a non-zero status held in `var` as "Parvane: var == 0 " with its value.
#define TNEF_REPORT_STATUS(var) \
    DebugAssert("Parvane: " #var " == 0 ", nullptr, true, (long long)(var), __FILE__, __LINE__)
