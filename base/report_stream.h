// Where a failure line goes (report.cpp's only output): the standard stream it belongs to, or
// a message box when the process has no such stream. Internal to the report module.
#pragma once

#include <stddef.h>

// Capacity of a failure line in UTF-16 units, terminator included: room for a path of the
// run's largest (4096 units) and a system description.
constexpr size_t kReportLineUnits = 8192;

// Which standard stream a line belongs to.
enum class ReportStream { kOutput, kError };

// Writes line (without its line break, at most kReportLineUnits - 1 units) and CR LF to the
// stream: through the console's wide output when the stream is a console, as UTF-8 otherwise. A process whose stream is missing
// (a windowed launch started without standard handles) shows the line in a message box
// instead, captioned with the exe's file name, and returns when the box is closed.
void write_report_line(ReportStream stream, const wchar_t* line);
