// The ICA Client's generic USB rules as the device check reads them: literal rule texts (the Group
// Policy value's form and usb.conf's), evaluated per interface of a hand-set, and the report lines.
#include <gtest/gtest.h>

#include <string>

#include "UsbHardwareIds.h"
#include "UsbRuleMatch.h"
#include "UsbRuleReport.h"
#include "UsbRules.h"

namespace devicecheck {
namespace {

UsbInterfaceClass Interface(uint16_t usbClass, uint16_t subClass, uint16_t protocol) {
    return UsbInterfaceClass{Known(usbClass), Known(subClass), Known(protocol)};
}

// A vendor-defined HID hand-set: 0911:0c1c release 0300, one interface 03/00/00.
UsbDeviceFacts HandSet() {
    UsbDeviceFacts facts;
    facts.vendorID = Known(0x0911);
    facts.productID = Known(0x0C1C);
    facts.release = Known(0x0300);
    facts.interfaces = {Interface(0x03, 0x00, 0x00)};
    facts.allInterfacesShown = true;
    return facts;
}

const char kPublishedDefaults[] =
    "DENY: class=09 # Hub devices\n"
    "DENY: class=03 subclass=01 # HID Boot device (keyboards and mice)\n"
    "DENY: class=0b # Smartcard\n"
    "DENY: class=e0 # Wireless Controllers\n"
    "DENY: class=02 # Communications and CDC Control\n"
    "DENY: class=0a # CDC Data\n"
    "ALLOW: # Ultimate fallback: allow everything else\n";

TEST(UsbRulesTest, PublishedDefaultsAllowAVendorHandSetAndDenyABootKeyboardInterfaceWhichKeepsTheCompositeLocal) {
    for (RuleSyntax syntax : {RuleSyntax::kUsbConf, RuleSyntax::kGroupPolicy}) {
        const UsbRuleList rules = ParseUsbRules(kPublishedDefaults, syntax);
        ASSERT_EQ(7u, rules.rules.size());
        DeviceVerdict verdict = EvaluateUsbRules(rules, HandSet());
        EXPECT_TRUE(verdict.allowed);
        EXPECT_TRUE(verdict.dependsOn.empty());
        EXPECT_EQ(7u, verdict.interfaces[0].rule.number);
        EXPECT_FALSE(verdict.interfaces[0].byDefaults);

        UsbDeviceFacts composite = HandSet();
        composite.interfaces.push_back(Interface(0x03, 0x01, 0x01));  // boot keyboard
        verdict = EvaluateUsbRules(rules, composite);
        EXPECT_FALSE(verdict.allowed);
        EXPECT_FALSE(verdict.CouldBeRedirected());
        EXPECT_EQ(1u, verdict.deciding);
        EXPECT_EQ("DENY: class=03 subclass=01", verdict.interfaces[1].rule.text);
        EXPECT_TRUE(verdict.interfaces[0].allowed);
    }
    // With no rules at all, the client's built-in defaults give the same verdicts.
    const DeviceVerdict none = EvaluateUsbRules(UsbRuleList(), HandSet());
    EXPECT_TRUE(none.allowed);
    EXPECT_TRUE(none.interfaces[0].byDefaults);
    UsbDeviceFacts mouse = HandSet();
    mouse.interfaces = {Interface(0x03, 0x01, 0x02)};
    EXPECT_FALSE(EvaluateUsbRules(UsbRuleList(), mouse).allowed);
    mouse.interfaces = {Interface(0xE0, 0x01, 0x01)};
    EXPECT_FALSE(EvaluateUsbRules(UsbRuleList(), mouse).allowed);
}

TEST(UsbRulesTest, OurDenyLinesKeepTheHandSetAndABlanketHidDenyKeepsEveryHidInterface) {
    // usb.conf as tovusb-setup leaves it: our lines before the administrator's.
    const UsbRuleList conf = ParseUsbRules(
        "# USB rules\r\n"
        "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III\r\n"
        "DENY: vid=0911 pid=149a # TovUSB: Philips SpeechMike II Pro\r\n"
        "ALLOW: vid=0911\r\n",
        RuleSyntax::kUsbConf);
    ASSERT_EQ(3u, conf.rules.size());
    DeviceVerdict verdict = EvaluateUsbRules(conf, HandSet());
    EXPECT_FALSE(verdict.allowed);
    EXPECT_EQ(1u, verdict.interfaces[0].rule.number);
    UsbDeviceFacts other = HandSet();
    other.productID = Known(0x0BB8);
    EXPECT_TRUE(EvaluateUsbRules(conf, other).allowed);  // no line of ours for it: the ALLOW decides

    // The Group Policy form of the same rule: the comment ends at ";" and the next rule is read.
    EXPECT_EQ("DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III;",
              GroupPolicyDenyRule(0x0911, 0x0C1C, "Philips SpeechMike III"));
    const UsbRuleList policy = ParseUsbRules(
        "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III;ALLOW: vid=0911", RuleSyntax::kGroupPolicy);
    ASSERT_EQ(2u, policy.rules.size());
    EXPECT_FALSE(EvaluateUsbRules(policy, HandSet()).allowed);
    EXPECT_EQ("ALLOW: vid=0911", policy.rules[1].text);

    const UsbRuleList blanket = ParseUsbRules("DENY: class=03", RuleSyntax::kGroupPolicy);
    verdict = EvaluateUsbRules(blanket, HandSet());
    EXPECT_FALSE(verdict.allowed);
    EXPECT_FALSE(verdict.CouldBeRedirected());
    // With the class not shown (never read as 00), every class rule may or may not match: the
    // verdict is the catch-all's, it names what it depends on, and a DENY line is due.
    UsbDeviceFacts unknownClass = HandSet();
    unknownClass.interfaces = {UsbInterfaceClass{}};
    verdict = EvaluateUsbRules(blanket, unknownClass);
    EXPECT_TRUE(verdict.allowed);
    EXPECT_TRUE(verdict.interfaces[0].byDefaults);
    EXPECT_EQ((std::vector<std::string>{"CLASS unknown", "SUBCLASS unknown"}), verdict.dependsOn);
    EXPECT_TRUE(verdict.CouldBeRedirected());
}

TEST(UsbRulesTest, ACommentHoldingASemicolonEndsThereInThePolicyValueAndAtTheLineEndInUsbConf) {
    const std::string text = "DENY: vid=0911 # dictation; hand-sets; ALLOW: class=03\nALLOW: vid=0911";
    const UsbRuleList policy = ParseUsbRules(text, RuleSyntax::kGroupPolicy);
    ASSERT_EQ(4u, policy.rules.size());
    EXPECT_EQ("DENY: vid=0911", policy.rules[0].text);
    EXPECT_TRUE(policy.rules[1].malformed);  // " hand-sets" after the comment's end
    EXPECT_EQ("hand-sets", policy.rules[1].text);
    EXPECT_EQ("ALLOW: class=03", policy.rules[2].text);
    EXPECT_FALSE(policy.rules[2].malformed);

    const UsbRuleList conf = ParseUsbRules(text, RuleSyntax::kUsbConf);
    ASSERT_EQ(2u, conf.rules.size());
    EXPECT_EQ("DENY: vid=0911", conf.rules[0].text);
    EXPECT_EQ("ALLOW: vid=0911", conf.rules[1].text);
    EXPECT_FALSE(EvaluateUsbRules(conf, HandSet()).allowed);
}

TEST(UsbRulesTest, ARuleOnTheReleaseMatchesOnlyThatReleaseAndAnUnknownReleaseIsNamed) {
    const UsbRuleList rules = ParseUsbRules("Deny: Vid=0911 Pid=0C1C Rel=0x0300", RuleSyntax::kGroupPolicy);
    ASSERT_EQ(1u, rules.rules.size());
    ASSERT_FALSE(rules.rules[0].malformed);
    UsbDeviceFacts facts = HandSet();
    EXPECT_FALSE(EvaluateUsbRules(rules, facts).allowed);
    facts.release = Known(0x0301);
    DeviceVerdict verdict = EvaluateUsbRules(rules, facts);
    EXPECT_TRUE(verdict.allowed);
    EXPECT_TRUE(verdict.interfaces[0].byDefaults);
    EXPECT_TRUE(verdict.dependsOn.empty());
    facts.release = KnownValue{};
    verdict = EvaluateUsbRules(rules, facts);
    EXPECT_TRUE(verdict.allowed);  // never read as release 0000
    EXPECT_EQ(std::vector<std::string>{"REL unknown"}, verdict.dependsOn);
}

TEST(UsbRulesTest, MalformedRulesAreNamedAndNeverMatchAndUnknownTagsMakeTheVerdictDependOnThem) {
    const std::string text =
        "ALOW: vid=0911;DENY vid=0911;DENY: vid=09111;DENY: vid=zz;DENY: class=103;DENY: vid=0911 vid=0912;"
        "DENY: vid;DENY: =03;\x01\xff;"
        "deny: VID=0X0911 PID=0c1c split=01";
    const UsbRuleList rules = ParseUsbRules(text, RuleSyntax::kGroupPolicy);
    ASSERT_EQ(10u, rules.rules.size());
    for (size_t i = 0; i < 9; ++i) EXPECT_TRUE(rules.rules[i].malformed) << rules.rules[i].text;
    EXPECT_EQ("unknown action \"ALOW\"", rules.rules[0].problem);
    EXPECT_EQ("it does not start with ALLOW:, DENY: or CONNECT:", rules.rules[1].problem);
    EXPECT_EQ("\"vid=09111\" is no hexadecimal value of 4 digits at most", rules.rules[2].problem);
    EXPECT_EQ("\"class=103\" is no hexadecimal value of 2 digits at most", rules.rules[4].problem);
    EXPECT_EQ("VID is given twice", rules.rules[5].problem);
    EXPECT_EQ("??", rules.rules[8].text);
    const UsbRule& last = rules.rules[9];
    ASSERT_FALSE(last.malformed);
    EXPECT_EQ(std::vector<std::string>{"split=01"}, last.otherTags);

    const DeviceVerdict verdict = EvaluateUsbRules(rules, HandSet());
    EXPECT_TRUE(verdict.allowed);  // the malformed DENYs never match; the defaults allow it
    EXPECT_EQ(std::vector<std::string>{"tag split=01 not evaluated"}, verdict.dependsOn);

    // Bounds: an overlong rule is refused whole; rules beyond the count are not read.
    const UsbRuleList longRule = ParseUsbRules("DENY: class=03 " + std::string(5000, 'x'), RuleSyntax::kUsbConf);
    ASSERT_EQ(1u, longRule.rules.size());
    EXPECT_TRUE(longRule.rules[0].malformed);
    EXPECT_EQ(kMaxShownRuleText + 3, longRule.rules[0].text.size());
    std::string many;
    for (size_t i = 0; i < kMaxRules + 5; ++i) many += "ALLOW:\n";
    const UsbRuleList bounded = ParseUsbRules(many, RuleSyntax::kUsbConf);
    EXPECT_EQ(kMaxRules, bounded.rules.size());
    EXPECT_TRUE(bounded.rulesTruncated);
}

TEST(UsbRulesTest, ReportNamesTheRuleOfEachInterfaceTheUnknownsAndTheDenyLine) {
    UsbRulesContent content;
    content.source = "/opt/Citrix/ICAClient/usb.conf";
    content.present = true;
    content.rules = ParseUsbRules("ALLOW: vid=0911 # dictation\nCONNECT vid=0911\n", RuleSyntax::kUsbConf);
    content.denyWhere = "before rule 1 of usb.conf";
    UsbRulesDevice device;
    device.name = "Philips SpeechMike III";
    device.facts = HandSet();
    device.facts.interfaces.push_back(UsbInterfaceClass{Known(0x03), KnownValue{}, Known(0x01)});
    device.denyRule = "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III";
    content.devices.push_back(device);
    const std::vector<std::string> expected = {
        "USB redirection rules (/opt/Citrix/ICAClient/usb.conf): 2 rules, 1 of them malformed and ignored by this "
        "check; where none matches, the ICA Client's defaults apply",
        "  rule 2 \"CONNECT vid=0911\" is malformed: it does not start with ALLOW:, DENY: or CONNECT:",
        "Philips SpeechMike III (vendor 0x0911, product 0x0C1C, release 0x0300): the rules allow redirecting it as "
        "a whole USB device, away from TovUSB",
        "  interface 1 (class 03, subclass 00, protocol 00): allowed by rule 1 \"ALLOW: vid=0911\"",
        "  interface 2 (class 03, subclass unknown, protocol 01): allowed by rule 1 \"ALLOW: vid=0911\"",
        "  to keep it for TovUSB, add before rule 1 of usb.conf: DENY: vid=0911 pid=0c1c # TovUSB: Philips "
        "SpeechMike III",
        "The rules only say whether a device may be redirected: auto-connect (or the user connecting it from the "
        "toolbar) and the server's own USB rules decide the rest",
    };
    EXPECT_EQ(expected, UsbRulesLines(content));

    // Without rules the defaults decide; the unknown subclass could make the boot-device DENY match.
    content.present = false;
    const std::vector<std::string> lines = UsbRulesLines(content);
    ASSERT_GE(lines.size(), 5u);
    EXPECT_EQ("USB redirection rules (/opt/Citrix/ICAClient/usb.conf): none set, so the ICA Client's defaults apply",
              lines[0]);
    EXPECT_EQ("  this verdict depends on values the platform does not show: SUBCLASS unknown", lines[2]);
    EXPECT_EQ("  interface 2 (class 03, subclass unknown, protocol 01): allowed by the ICA Client's default "
              "\"ALLOW:\"; depends on SUBCLASS unknown",
              lines[4]);
}

// The Windows device check reads the values from the device nodes' id lists (REG_MULTI_SZ).
TEST(UsbHardwareIdsTest, DeviceAndInterfaceIdsGiveTheirValuesAndWhatTheyLackStaysUnknown) {
    const char deviceBlock[] = "USB\\VID_0911&PID_0C1C&REV_0300\0USB\\VID_0911&PID_0C1C\0\0";
    const std::vector<std::string> deviceIds = hidseam::SplitMultiString(deviceBlock, sizeof deviceBlock);
    ASSERT_EQ(2u, deviceIds.size());
    UsbDeviceFacts facts;
    ASSERT_TRUE(hidseam::ReadUsbDeviceIds(deviceIds, facts));
    EXPECT_EQ(0x0911, facts.vendorID.value);
    EXPECT_EQ(0x0C1C, facts.productID.value);
    EXPECT_TRUE(facts.release.known);
    EXPECT_EQ(0x0300, facts.release.value);
    EXPECT_FALSE(hidseam::IsUsbInterfaceId(deviceIds[0]));

    // A composite's interface node: lower case, no REV; the release stays unknown.
    UsbDeviceFacts part;
    ASSERT_TRUE(hidseam::ReadUsbDeviceIds({"usb\\vid_0911&pid_0c1c&mi_01"}, part));
    EXPECT_TRUE(hidseam::IsUsbInterfaceId("usb\\vid_0911&pid_0c1c&mi_01"));
    EXPECT_FALSE(part.release.known);
    // Not USB (a Bluetooth HID device), and ids cut short or overlong: no values.
    EXPECT_FALSE(hidseam::ReadUsbDeviceIds({"HID\\VID_0911&PID_0C1C", "USB\\VID_911&PID_0C1C"}, part));

    const UsbInterfaceClass boot = hidseam::ReadUsbClassIds(
        {"USB\\Class_03", "USB\\Class_03&SubClass_01&Prot_01", "USB\\Class_03&SubClass_01"});
    EXPECT_EQ(0x03, boot.usbClass.value);
    EXPECT_EQ(0x01, boot.subClass.value);
    EXPECT_EQ(0x01, boot.protocol.value);
    const UsbInterfaceClass partial = hidseam::ReadUsbClassIds({"USB\\CLASS_03", "USB\\Class_03&SubClass_1"});
    EXPECT_TRUE(partial.usbClass.known);
    EXPECT_FALSE(partial.subClass.known);
    EXPECT_FALSE(partial.protocol.known);
    EXPECT_FALSE(hidseam::ReadUsbClassIds({}).usbClass.known);
    // A block without its final empty string is read to its given size only.
    EXPECT_EQ(std::vector<std::string>{"USB\\Class_03"}, hidseam::SplitMultiString("USB\\Class_03&x", 12));
}

}  // namespace
}  // namespace devicecheck
