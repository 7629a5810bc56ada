// Reports as the decoder receives them: report-id byte first, 0 put in front for devices without
// numbered reports. A SOCK_SEQPACKET pair keeps one write as one read, as a hidraw node does.
#include <gtest/gtest.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <vector>

#include "ReportLayout.h"

using hidraw::ReadReportInWindowsLayout;
using hidraw::ReportDescriptorSummary;

namespace {

class ReportPair : public ::testing::Test {
protected:
    void SetUp() override { ASSERT_EQ(0, socketpair(AF_UNIX, SOCK_SEQPACKET, 0, fds)); }
    void TearDown() override {
        close(fds[0]);
        if (fds[1] >= 0) close(fds[1]);
    }
    void DeviceSends(const std::vector<char>& bytes) {
        ASSERT_EQ(static_cast<ssize_t>(bytes.size()), write(fds[1], bytes.data(), bytes.size()));
    }
    long Read(const ReportDescriptorSummary& s, std::vector<char>& report) {
        return ReadReportInWindowsLayout(fds[0], s, report.data(), report.size());
    }
    int fds[2] = {-1, -1};
};

ReportDescriptorSummary Unnumbered() {
    ReportDescriptorSummary s;
    s.inputReportIds.set(0);
    return s;
}

ReportDescriptorSummary Numbered() {
    ReportDescriptorSummary s;
    s.numberedInputReports = true;
    s.inputReportIds.set(1);
    s.inputReportIds.set(2);
    return s;
}

}  // namespace

TEST_F(ReportPair, UnnumberedReportsGetAZeroInFront) {
    // A SpeechMike III button report as the device sends it (9 bytes, no id): 10 bytes delivered.
    DeviceSends({0, 0, 0, 0, 0, 0, 0, 0, 0x01});
    std::vector<char> report(10, 0);
    EXPECT_EQ(10, Read(Unnumbered(), report));
    EXPECT_EQ((std::vector<char>{0, 0, 0, 0, 0, 0, 0, 0, 0, 0x01}), report);
}

TEST_F(ReportPair, NumberedReportsKeepTheirId) {
    DeviceSends({0x02, 0x11, 0x22});
    std::vector<char> report(9, 0);
    EXPECT_EQ(3, Read(Numbered(), report));
    EXPECT_EQ((std::vector<char>{0x02, 0x11, 0x22, 0, 0, 0, 0, 0, 0}), report);
}

TEST_F(ReportPair, AReportOfAnotherCollectionIsNotDelivered) {
    DeviceSends({0x07, 0x55});
    DeviceSends({0x01, 0x66});
    std::vector<char> report(4, 0);
    errno = 0;
    EXPECT_EQ(-1, Read(Numbered(), report));
    EXPECT_EQ(EAGAIN, errno);
    std::fill(report.begin(), report.end(), 0);
    EXPECT_EQ(2, Read(Numbered(), report));  // the next one is
    EXPECT_EQ((std::vector<char>{0x01, 0x66, 0, 0}), report);
}

TEST_F(ReportPair, LongerReportsAreCutToTheLength) {
    DeviceSends({1, 2, 3, 4, 5, 6});
    std::vector<char> report(4, 0);
    EXPECT_EQ(4, Read(Unnumbered(), report));
    EXPECT_EQ((std::vector<char>{0, 1, 2, 3}), report);
    // Length 1 (a server's descriptor): only the id byte.
    DeviceSends({9, 9});
    std::vector<char> tiny(1, 0x7F);
    EXPECT_EQ(1, Read(Unnumbered(), tiny));
    EXPECT_EQ(0, tiny[0]);
}

TEST_F(ReportPair, EndOfTheStreamAndAnEmptyBuffer) {
    std::vector<char> report(4, 0);
    ASSERT_EQ(0, shutdown(fds[1], SHUT_WR));
    EXPECT_EQ(0, Read(Unnumbered(), report));
    EXPECT_EQ(0, Read(Numbered(), report));
    std::vector<char> none;
    EXPECT_EQ(-1, ReadReportInWindowsLayout(fds[0], Unnumbered(), none.data(), 0));
}
