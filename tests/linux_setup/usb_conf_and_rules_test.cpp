// The usb.conf lines and the udev rules, from the supported-device table's ids.
#include <gtest/gtest.h>

#include <sstream>

#include "DeviceModels.h"
#include "SetupFixture.h"
#include "UdevRules.h"
#include "UsbConfEdit.h"

using namespace linuxsetup;

namespace {

const std::vector<DeviceModel> kTwo = {{0x0911, 0x0C1C, "Philips SpeechMike III"}, {0x15D8, 0x0025, "Grundig Digta"}};
const std::string kDenyIII = "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III";
const std::string kDenyDigta = "DENY: vid=15d8 pid=0025 # TovUSB: Grundig Digta";

}  // namespace

TEST(SupportedModels, AreTheElevenModelsOfTheDeviceTable) {
    const std::vector<DeviceModel> models = SupportedModels();
    ASSERT_EQ(models.size(), 11u);
    EXPECT_EQ(models[3].vendorID, 0x0911);
    EXPECT_EQ(models[3].productID, 0x0C1C);
    EXPECT_EQ(models[3].name, "Philips SpeechMike III");
    EXPECT_EQ(models[9].vendorID, 0x07B5);
    EXPECT_EQ(models[9].productID, 0x0213);
    EXPECT_EQ(models[10].vendorID, 0x15D8);
    EXPECT_EQ(models[10].productID, 0x0025);
}

TEST(UsbConfEdit, DenyLinesGoBeforeTheFirstOtherRuleAndComeOutAgain) {
    const std::string original = "# comment\n\nDENY: class=09 # Hub devices\nALLOW:\n";
    const std::string installed = AddDenyLines(original, kTwo);
    EXPECT_EQ(installed, "# comment\n\n" + kDenyIII + "\n" + kDenyDigta + "\nDENY: class=09 # Hub devices\nALLOW:\n");
    EXPECT_EQ(AddDenyLines(installed, kTwo), installed);
    EXPECT_EQ(RemoveDenyLines(installed), original);
    const UsbConfStatus status = InspectUsbConf(installed, kTwo);
    EXPECT_EQ(status.present, 2u);
    EXPECT_EQ(status.misplaced, 0u);
}

TEST(UsbConfEdit, RealisticFileCRLFAndNoFinalLineEnd) {
    const std::string fixture = setuptest::Fixture("usb.conf");
    for (std::string original : {fixture, setuptest::WithCRLF(fixture), fixture.substr(0, fixture.size() - 1),
                                 std::string("# only comments"), std::string()}) {
        const std::string installed = AddDenyLines(original, SupportedModels());
        EXPECT_EQ(InspectUsbConf(installed, SupportedModels()).present, 11u) << original;
        EXPECT_EQ(RemoveDenyLines(installed), original);
        EXPECT_EQ(AddDenyLines(installed, SupportedModels()), installed);
    }
    const std::string crlf = AddDenyLines(setuptest::WithCRLF(fixture), kTwo);
    EXPECT_NE(crlf.find("\r\n" + kDenyIII + "\r\n" + kDenyDigta + "\r\nDENY: vid=1d6b"), std::string::npos);
    EXPECT_EQ(AddDenyLines("# only comments", kTwo), "# only comments\n" + kDenyIII + "\n" + kDenyDigta);
}

TEST(UsbConfEdit, StaleAndMisplacedLinesAreFoundAndReplaced) {
    const std::string stale = "ALLOW:\n" + kDenyIII + "\nDENY: vid=0911 pid=9999 # TovUSB: retired model\n";
    const UsbConfStatus status = InspectUsbConf(stale, kTwo);
    EXPECT_EQ(status.present, 0u);
    EXPECT_EQ(status.misplaced, 2u);
    EXPECT_EQ(AddDenyLines(stale, kTwo), kDenyIII + "\n" + kDenyDigta + "\nALLOW:\n");
    // A DENY line of the administrator's for the same device is not ours.
    EXPECT_EQ(RemoveDenyLines("DENY: vid=0911 pid=0c1c\n"), "DENY: vid=0911 pid=0c1c\n");
}

TEST(UdevRules, OneRulePerModelForTheSeatAndTheGroup) {
    const std::string seat = UdevRulesText(kTwo, "");
    EXPECT_NE(seat.find("\nSUBSYSTEM==\"hidraw\", KERNELS==\"*:0911:0C1C.*\", TAG+=\"uaccess\"\n"), std::string::npos);
    EXPECT_NE(seat.find("\nSUBSYSTEM==\"hidraw\", KERNELS==\"*:15D8:0025.*\", TAG+=\"uaccess\"\n"), std::string::npos);
    EXPECT_EQ(seat.find("GROUP="), std::string::npos);
    EXPECT_EQ(RulesGroup(seat), "");
    const std::string group = UdevRulesText(kTwo, "dictation");
    EXPECT_NE(group.find("\nSUBSYSTEM==\"hidraw\", KERNELS==\"*:0911:0C1C.*\", TAG+=\"uaccess\", GROUP=\"dictation\", "
                         "MODE=\"0660\"\n"),
              std::string::npos);
    EXPECT_EQ(RulesGroup(group), "dictation");
}

TEST(UdevRules, BuiltFileIsTheTableOfTheDriverAndEveryLineIsACommentOrARule) {
    const std::string built = setuptest::ReadBytes(TOV_BUILT_RULES);
    EXPECT_EQ(built, UdevRulesText(SupportedModels(), ""));
    size_t rules = 0;
    for (const char* ids : {"0911:2512", "0911:1878", "0911:149A", "0911:0C1C", "0911:14A4", "0911:091A", "0911:1844",
                            "0911:184C", "0911:0BB8", "07B5:0213", "15D8:0025"}) {
        EXPECT_NE(built.find(std::string("KERNELS==\"*:") + ids + ".*\""), std::string::npos) << ids;
    }
    std::istringstream in(built);
    std::string line;
    while (std::getline(in, line)) {
        if (line.empty() || line[0] == '#') continue;
        EXPECT_EQ(line.compare(0, 22, "SUBSYSTEM==\"hidraw\", K"), 0) << line;
        ++rules;
    }
    EXPECT_EQ(rules, 11u);
}

TEST(UdevRules, GroupNamesThatCouldBreakTheRuleAreRefused) {
    EXPECT_TRUE(IsValidGroupName("plugdev"));
    EXPECT_TRUE(IsValidGroupName("dict_users-2.x"));
    for (const char* bad : {"", "-x", "a\"b", "a b", "a,MODE=\"0666\"", "a\nb", "012345678901234567890123456789012"})
        EXPECT_FALSE(IsValidGroupName(bad)) << bad;
}

TEST(AdministratorsGuide, NamesTheExactLinesTheToolWrites) {
    const std::string guide = setuptest::ReadBytes(std::string(TOV_FIXTURES) + "/../../../docs/ADMINISTRATORS-LINUX.md");
    ASSERT_FALSE(guide.empty());
    for (const DeviceModel& model : SupportedModels())
        EXPECT_NE(guide.find("\n" + UsbConfLine(model) + "\n"), std::string::npos) << model.name;
    EXPECT_NE(guide.find("\nTovUSB=On\n"), std::string::npos);
    EXPECT_NE(guide.find("\n[TovUSB]\nDriverName=VDTOVUSB.DLL\n"), std::string::npos);
}

// The help desk's page gives the same rules for the ICA Client's Group Policy value on Windows,
// where `;` ends each rule (and the comment in it): exactly one per supported model.
TEST(AdministratorsGuide, TheHelpDeskListHoldsTheGroupPolicyRuleOfEveryModel) {
    const std::string guide = setuptest::ReadBytes(std::string(TOV_FIXTURES) + "/../../../docs/TROUBLESHOOTING.md");
    ASSERT_FALSE(guide.empty());
    const std::vector<DeviceModel> models = SupportedModels();
    for (const DeviceModel& model : models)
        EXPECT_NE(guide.find("\n" + UsbConfLine(model) + ";\n"), std::string::npos) << model.name;
    size_t rules = 0;
    for (size_t at = guide.find("\nDENY: "); at != std::string::npos; at = guide.find("\nDENY: ", at + 1)) ++rules;
    EXPECT_EQ(rules, models.size());
}
