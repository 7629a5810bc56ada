// Input reports of a hidraw node in the layout Windows delivers them: byte 0 the report id, 0 for
// a device without numbered input reports (for which hidraw delivers the data alone).
#pragma once

#include <cstddef>

#include "ReportDescriptor.h"

namespace hidraw {

// Reads one report from fd (one read() is one report, as hidraw and SOCK_SEQPACKET keep them)
// into report, length bytes that the caller zero-filled; a longer report is cut to length. Returns
// the bytes placed, 0 at the end of the stream, -1 with errno set: EAGAIN also for a report whose
// id belongs to no input report of the interface's collection (Windows would not deliver it).
long ReadReportInWindowsLayout(int fd, const ReportDescriptorSummary& summary, char* report, size_t length);

}  // namespace hidraw
