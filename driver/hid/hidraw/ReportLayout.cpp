#include "ReportLayout.h"

#include <unistd.h>

#include <cerrno>

namespace hidraw {

long ReadReportInWindowsLayout(int fd, const ReportDescriptorSummary& summary, char* report, size_t length) {
    if (length == 0) {
        errno = EINVAL;
        return -1;
    }
    if (summary.numberedInputReports) {
        const ssize_t n = read(fd, report, length);
        if (n > 0 && !summary.inputReportIds.test(static_cast<unsigned char>(report[0]))) {
            errno = EAGAIN;
            return -1;
        }
        return static_cast<long>(n);
    }
    report[0] = 0;
    if (length == 1) {
        // Room for the report-id byte only (a length the server gave): the data is dropped.
        char discarded[64];
        const ssize_t n = read(fd, discarded, sizeof discarded);
        return n > 0 ? 1 : static_cast<long>(n);
    }
    const ssize_t n = read(fd, report + 1, length - 1);
    return n > 0 ? static_cast<long>(n + 1) : static_cast<long>(n);
}

}  // namespace hidraw
