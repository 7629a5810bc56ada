// The module.ini editor on literal files: what install adds, that nothing else changes, and that
// uninstall gives back the bytes.
#include <gtest/gtest.h>

#include "ModuleIniEdit.h"
#include "SetupFixture.h"

using namespace linuxsetup;
using setuptest::Fixture;
using setuptest::WithCRLF;

namespace {

const std::string kSmall =
    "[ICA 3.0]\n"
    "VirtualDriver = Thinwire3.0, ClientDrive\n"
    "Thinwire3.0 = On\n"
    "ClientDrive = On\n"
    "\n"
    "[Thinwire3.0]\n"
    "DriverName = VDTW30.DLL\n";

const std::string kSmallInstalled =
    "[ICA 3.0]\n"
    "VirtualDriver = Thinwire3.0, ClientDrive, TovUSB\n"
    "Thinwire3.0 = On\n"
    "ClientDrive = On\n"
    "TovUSB=On\n"
    "\n"
    "[Thinwire3.0]\n"
    "DriverName = VDTW30.DLL\n"
    "\n"
    "[TovUSB]\n"
    "DriverName=VDTOVUSB.DLL\n";

void ExpectRoundTrip(const std::string& original, const std::string& installed) {
    const ModuleIniEdit add = AddChannel(original);
    ASSERT_TRUE(add.ok) << add.error;
    EXPECT_TRUE(add.changed);
    EXPECT_EQ(add.text, installed);
    const ModuleIniEdit again = AddChannel(add.text);
    ASSERT_TRUE(again.ok);
    EXPECT_FALSE(again.changed);
    EXPECT_EQ(again.text, installed);
    const ModuleIniEdit remove = RemoveChannel(add.text);
    ASSERT_TRUE(remove.ok) << remove.error;
    EXPECT_TRUE(remove.changed);
    EXPECT_EQ(remove.text, original);
}

}  // namespace

TEST(ModuleIniEdit, RealisticFileGainsExactlyTheThreeEntriesAndLosesThemAgain) {
    ExpectRoundTrip(Fixture("module.ini"), Fixture("module-installed.ini"));
}

TEST(ModuleIniEdit, CRLFFileKeepsItsLineEnds) {
    ExpectRoundTrip(WithCRLF(Fixture("module.ini")), WithCRLF(Fixture("module-installed.ini")));
    ExpectRoundTrip(WithCRLF(kSmall), WithCRLF(kSmallInstalled));
}

TEST(ModuleIniEdit, MissingFinalLineEndStaysMissing) {
    std::string original = kSmall, installed = kSmallInstalled;
    original.pop_back();
    installed.pop_back();
    ExpectRoundTrip(original, installed);
    // The last line of the file is the section's last key.
    ExpectRoundTrip("[ICA 3.0]\nVirtualDriver=A",
                    "[ICA 3.0]\nVirtualDriver=A, TovUSB\nTovUSB=On\n\n[TovUSB]\nDriverName=VDTOVUSB.DLL");
}

// A file of LF lines whose unterminated last line ends in a carriage return: once a line follows it,
// it reads as a CRLF line, and uninstall must still give back its carriage return.
TEST(ModuleIniEdit, LastLineEndingInACarriageReturnKeepsIt) {
    const std::string original = "[ICA 3.0]\nVirtualDriver = A\nOther = B\r";
    const ModuleIniEdit add = AddChannel(original);
    ASSERT_TRUE(add.ok) << add.error;
    EXPECT_EQ(add.text, "[ICA 3.0]\nVirtualDriver = A, TovUSB\nOther = B\r\nTovUSB=On\n\n[TovUSB]\nDriverName=VDTOVUSB.DLL");
    const ModuleIniEdit remove = RemoveChannel(add.text);
    ASSERT_TRUE(remove.ok) << remove.error;
    EXPECT_EQ(remove.text, original);
    // In a CRLF file the same last line without its carriage return comes back as it was too.
    ExpectRoundTrip("[ICA 3.0]\r\nVirtualDriver = A\r\nOther = B",
                    "[ICA 3.0]\r\nVirtualDriver = A, TovUSB\r\nOther = B\r\nTovUSB=On\r\n\r\n[TovUSB]\r\n"
                    "DriverName=VDTOVUSB.DLL");
}

TEST(ModuleIniEdit, BlankLinesCommentsAndSpacingStay) {
    ExpectRoundTrip("; head\n\n[ica 3.0]\n  VirtualDriver   =   A ,B   \n; tail comment\n\n\n",
                    "; head\n\n[ica 3.0]\n  VirtualDriver   =   A ,B, TovUSB   \nTovUSB=On\n; tail comment\n\n\n"
                    "\n[TovUSB]\nDriverName=VDTOVUSB.DLL\n");
    ExpectRoundTrip("[ICA 3.0]\nVirtualDriver =\n", "[ICA 3.0]\nVirtualDriver =TovUSB\nTovUSB=On\n\n[TovUSB]\nDriverName=VDTOVUSB.DLL\n");
}

TEST(ModuleIniEdit, OtherDriversNamedLikeOursAreNotOurs) {
    const std::string original = "[ICA 3.0]\nVirtualDriver = TovUSB2, XTovUSB, TovUSB_old\nTovUSB2 = On\n";
    const ModuleIniEdit add = AddChannel(original);
    ASSERT_TRUE(add.ok);
    EXPECT_EQ(add.list, "TovUSB2, XTovUSB, TovUSB_old, TovUSB");
    EXPECT_EQ(RemoveChannel(add.text).text, original);
    // Removing from the original touches nothing.
    const ModuleIniEdit remove = RemoveChannel(original);
    EXPECT_TRUE(remove.ok);
    EXPECT_FALSE(remove.changed);
    EXPECT_EQ(remove.text, original);
}

TEST(ModuleIniEdit, EntriesThereInAnyCaseAreCompletedNotRepeated) {
    const std::string original = "[ICA 3.0]\nVirtualDriver = A, tovusb\ntovusb = off\n[tovusb]\nDriverName = old.dll\n";
    const ModuleIniEdit add = AddChannel(original);
    ASSERT_TRUE(add.ok);
    EXPECT_EQ(add.text, "[ICA 3.0]\nVirtualDriver = A, tovusb\ntovusb = On\n[tovusb]\nDriverName = VDTOVUSB.DLL\n");
    const ModuleIniStatus status = InspectModuleIni(add.text);
    EXPECT_TRUE(status.Complete());
    // Uninstall takes out all of it, the list entry in its letter case too.
    EXPECT_EQ(RemoveChannel(add.text).text, "[ICA 3.0]\nVirtualDriver = A\n");
}

TEST(ModuleIniEdit, WithoutICASectionOrListNothingIsWritten) {
    const ModuleIniEdit none = AddChannel("[Thinwire3.0]\nDriverName = VDTW30.DLL\n");
    EXPECT_FALSE(none.ok);
    EXPECT_EQ(none.error, "it has no [ICA 3.0] section");
    EXPECT_FALSE(RemoveChannel("").ok);
    const ModuleIniEdit noList = AddChannel("[ICA 3.0]\nThinwire3.0 = On\n");
    EXPECT_FALSE(noList.ok);
    EXPECT_EQ(noList.error, "its [ICA 3.0] section has no VirtualDriver key");
    EXPECT_TRUE(noList.text.empty());
}

TEST(ModuleIniEdit, StatusReadsEachPiece) {
    const ModuleIniStatus before = InspectModuleIni(kSmall);
    EXPECT_TRUE(before.icaSection);
    EXPECT_EQ(before.list, "Thinwire3.0, ClientDrive");
    EXPECT_FALSE(before.AnyEntry());
    const ModuleIniStatus onlyList = InspectModuleIni("[ICA 3.0]\nVirtualDriver = TovUSB\n");
    EXPECT_TRUE(onlyList.listEntry);
    EXPECT_FALSE(onlyList.enabled);
    EXPECT_FALSE(onlyList.Complete());
    // The file name is compared exactly: the ICA Client opens it on a case-sensitive file system.
    const ModuleIniStatus lower =
        InspectModuleIni("[ICA 3.0]\nVirtualDriver = TovUSB\nTovUSB=ON\n[TovUSB]\nDriverName=vdtovusb.dll\n");
    EXPECT_TRUE(lower.enabled);
    EXPECT_TRUE(lower.channelSection);
    EXPECT_FALSE(lower.driverName);
}

TEST(ModuleIniEdit, OnlyTheFirstICASectionCounts) {
    const std::string original = "[ICA 3.0]\nVirtualDriver = A\n[ICA 3.0]\nVirtualDriver = B\n";
    const ModuleIniEdit add = AddChannel(original);
    ASSERT_TRUE(add.ok);
    EXPECT_EQ(add.text, "[ICA 3.0]\nVirtualDriver = A, TovUSB\nTovUSB=On\n[ICA 3.0]\nVirtualDriver = B\n"
                        "\n[TovUSB]\nDriverName=VDTOVUSB.DLL\n");
    EXPECT_EQ(RemoveChannel(add.text).text, original);
}
