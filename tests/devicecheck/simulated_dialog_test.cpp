// The simulation build of the device check on the simulated HID bus, driven through its window:
// hand-sets plugged, pressed and unplugged with simulation commands, the dialog read and clicked
// as a person would. Expected bytes and codes come from the models' report and LED tables.
#include <windows.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceCheckProgram.h"
#include "TestFolder.h"

namespace devicechecktest {
namespace {

constexpr int kDeviceList = 1031, kOtherHID = 1032, kButtonMap = 1033, kLEDList = 1034, kLEDOn = 1035, kLEDOff = 1036,
              kAllLEDsOff = 1037, kTraceLog = 1038, kOpenLog = 1039, kCopyReport = 1041, kUsbRules = 1042;
const char kCaption[] = "TovaroCitrixVCDeviceCheck (simulated devices)";

// A SpeechMike III button report: byte 1 bit 0x80 marks it, bytes 8 and 9 carry the buttons.
std::string MikeReport(int id, unsigned byte8, unsigned byte9) {
    char text[128];
    snprintf(text, sizeof text, "report %d 00 80 00 00 00 00 00 00 %02x %02x", id, byte8, byte9);
    return text;
}

bool EndsWith(const std::string& text, const std::string& end) {
    return text.size() >= end.size() && text.compare(text.size() - end.size(), end.size(), end) == 0;
}

class SimulatedDialogTest : public ::testing::Test {
protected:
    TestFolder folder;
    std::unique_ptr<DeviceCheckProgram> Start() {
        return std::make_unique<DeviceCheckProgram>(TOV_DEVICECHECK_SIM_PATH, folder.path, kCaption);
    }
};

TEST_F(SimulatedDialogTest, PlugPressAndUnplugShowInTheListsAsTheDriverSeesThem) {
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    EXPECT_TRUE(program->ListLines(kDeviceList).empty());
    EXPECT_EQ("No other HID devices", program->Text(kOtherHID));
    EXPECT_FALSE(program->Enabled(kLEDOn));

    // The hand-set brings a keyboard and a mouse interface with the same ids: counted, not listed.
    const LRESULT mike = program->Command("plug SpeechMikeIII");
    ASSERT_GT(mike, 0);
    EXPECT_EQ(std::vector<std::string>{"Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)"},
              program->ListLines(kDeviceList));
    EXPECT_EQ("2 other HID devices", program->Text(kOtherHID));
    ASSERT_TRUE(program->WaitForEvents(1));
    EXPECT_TRUE(EndsWith(program->Events()[0],
                         "  Device connected: Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)"))
        << program->Events()[0];

    program->SelectDevice(0);
    ASSERT_TRUE(program->WaitForEvents(2));
    EXPECT_TRUE(EndsWith(program->Events()[1], "  Connected Philips SpeechMike III: press its buttons"));

    // Byte 9 bit 0x01 is hardware button 3; with no map file it is reported as 3.
    ASSERT_EQ(1, program->Command(MikeReport(static_cast<int>(mike), 0x00, 0x01)));
    ASSERT_EQ(1, program->Command(MikeReport(static_cast<int>(mike), 0x00, 0x00)));
    ASSERT_TRUE(program->WaitForEvents(4));
    std::vector<std::string> events = program->Events();
    EXPECT_TRUE(EndsWith(events[2], "  pressed   hardware 3  reported 3")) << events[2];
    EXPECT_TRUE(EndsWith(events[3], "  released  hardware 3  reported 3")) << events[3];
    // Each line starts with the time of day, hh:mm:ss.mmm.
    ASSERT_GE(events[2].size(), 12u);
    EXPECT_EQ(':', events[2][2]);
    EXPECT_EQ('.', events[2][8]);

    // A second device is listed in path order; pulling the selected one disconnects it.
    ASSERT_GT(program->Command("plug Footswitch"), 0);
    EXPECT_EQ(2u, program->ListLines(kDeviceList).size());
    ASSERT_EQ(1, program->Command("unplug " + std::to_string(mike)));
    EXPECT_EQ(std::vector<std::string>{"Philips Footswitch (vendor 0x0911, product 0x091A, usage 3)"},
              program->ListLines(kDeviceList));
    EXPECT_EQ("No other HID devices", program->Text(kOtherHID));
    // Arrival of the foot switch, then the selected hand-set gone and its removal announced.
    ASSERT_TRUE(program->WaitForEvents(7));
    events = program->Events();
    bool gone = false, announced = false;
    for (const std::string& line : events) {
        gone = gone || EndsWith(line, "  Philips SpeechMike III is gone: disconnected");
        announced = announced || EndsWith(line, "  Device disconnected: Philips SpeechMike III (vendor 0x0911, "
                                                "product 0x0C1C, usage 9)");
    }
    EXPECT_TRUE(gone);
    EXPECT_TRUE(announced);
    EXPECT_FALSE(program->Enabled(kLEDOn));
}

// Selects the only listed device and returns its interface id.
int PlugAndSelect(DeviceCheckProgram& program, const char* model) {
    const int id = static_cast<int>(program.Command(std::string("plug ") + model));
    EXPECT_GT(id, 0) << model;
    program.SelectDevice(0);
    EXPECT_TRUE(WaitUntil([&] { return !program.Events().empty() &&
                                       program.Events().back().find("press its buttons") != std::string::npos; }));
    return id;
}

std::vector<unsigned char> Bytes(std::initializer_list<unsigned> values) {
    return std::vector<unsigned char>(values.begin(), values.end());
}

TEST_F(SimulatedDialogTest, LEDButtonsWriteTheModelsOwnReport) {
    auto program = Start();
    ASSERT_TRUE(program->dialog);

    // SpeechMike III: LEDs 0 to 9, each in two bits of bytes 7 to 9.
    const int mike = PlugAndSelect(*program, "SpeechMikeIII");
    ASSERT_TRUE(program->Enabled(kLEDOn));
    EXPECT_EQ(10, SendMessageA(GetDlgItem(program->dialog, kLEDList), CB_GETCOUNT, 0, 0));
    program->SelectLED(0);
    program->Click(kLEDOn);
    EXPECT_EQ(Bytes({0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x40, 0x00, 0x00}), program->OutputReport(mike));
    program->SelectLED(9);
    program->Click(kLEDOn);
    EXPECT_EQ(Bytes({0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01}), program->OutputReport(mike));
    program->Click(kLEDOff);
    EXPECT_EQ(Bytes({0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), program->OutputReport(mike));
    program->Click(kAllLEDsOff);
    EXPECT_EQ(Bytes({0x00, 0x02, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00}), program->OutputReport(mike));
    EXPECT_TRUE(program->OutputReport(mike).empty()) << "one report per click";
    ASSERT_EQ(1, program->Command("unplug " + std::to_string(mike)));

    // SpeechMike I Pro: two bytes starting 00 3F; LED 2 clears bit 0x04.
    const int first = PlugAndSelect(*program, "SpeechMikeIPro");
    EXPECT_EQ(3, SendMessageA(GetDlgItem(program->dialog, kLEDList), CB_GETCOUNT, 0, 0));
    program->SelectLED(1);
    program->Click(kLEDOn);
    EXPECT_EQ(Bytes({0x00, 0x3B}), program->OutputReport(first));
    program->Click(kAllLEDsOff);
    EXPECT_EQ(Bytes({0x00, 0x3F}), program->OutputReport(first));
    ASSERT_EQ(1, program->Command("unplug " + std::to_string(first)));

    // SonicMic: 64 bytes, 01 04 02 and the LED state in byte 3; "all" does not act on it, so all
    // off is its own LED set to 0.
    const int sonic = PlugAndSelect(*program, "SonicMicIIClassic");
    program->SelectLED(0);
    program->Click(kLEDOn);
    std::vector<unsigned char> on(64, 0);
    on[0] = 0x01, on[1] = 0x04, on[2] = 0x02, on[3] = 0x03;
    EXPECT_EQ(on, program->OutputReport(sonic));
    program->Click(kAllLEDsOff);
    std::vector<unsigned char> off = on;
    off[3] = 0x01;
    EXPECT_EQ(off, program->OutputReport(sonic));
    ASSERT_EQ(1, program->Command("unplug " + std::to_string(sonic)));

    // A foot switch has no LEDs.
    PlugAndSelect(*program, "Footswitch");
    EXPECT_FALSE(program->Enabled(kLEDOn));
    EXPECT_FALSE(program->Enabled(kLEDOff));
    EXPECT_FALSE(program->Enabled(kAllLEDsOff));
}

TEST_F(SimulatedDialogTest, ButtonLinesShowHardwareAndReportedCodesAfterTheMapFile) {
    // 3 and 6 both become 20, 5 becomes 3: a reported code names every button it may come from.
    folder.Write("HardwareButtonMap.ini", "[HardwareButtonMap]\r\n3=20\r\n6=20\r\n5=3\r\n");
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    const std::string mapText = program->Text(kButtonMap);
    EXPECT_NE(std::string::npos, mapText.find("HardwareButtonMap.ini: " + folder.path + "HardwareButtonMap.ini"))
        << mapText;
    EXPECT_NE(std::string::npos, mapText.find("[HardwareButtonMap] 3=20, 5=3, 6=20")) << mapText;

    const int mike = PlugAndSelect(*program, "SpeechMikeIII");
    const size_t before = program->Events().size();
    // Byte 9: 0x01 is button 3, 0x10 button 5; byte 8: 0x01 is button 16.
    ASSERT_EQ(1, program->Command(MikeReport(mike, 0x00, 0x01)));
    ASSERT_EQ(1, program->Command(MikeReport(mike, 0x00, 0x10)));
    ASSERT_EQ(1, program->Command(MikeReport(mike, 0x01, 0x00)));
    ASSERT_TRUE(program->WaitForEvents(before + 5));
    const std::vector<std::string> events = program->Events();
    const std::vector<std::string> expected = {
        "  pressed   hardware 3 or 6  reported 20",
        // Releases of a report come before its presses.
        "  released  hardware 3 or 6  reported 20",
        "  pressed   hardware 5  reported 3",
        "  released  hardware 5  reported 3",
        "  pressed   hardware 16  reported 16 (not sent to the server)",
    };
    for (size_t i = 0; i < expected.size(); ++i) {
        EXPECT_TRUE(EndsWith(events[before + i], expected[i])) << events[before + i];
    }
}

TEST_F(SimulatedDialogTest, WithoutAMapFileTheDialogSaysWhereItLooked) {
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    const std::string mapText = program->Text(kButtonMap);
    // The program's own folder is its current folder here, as the test starts it.
    std::string current = folder.path.substr(0, folder.path.size() - 1);
    EXPECT_EQ("No HardwareButtonMap.ini (looked for HardwareButtonMap.ini in " + current +
                  "): codes are reported as decoded",
              mapText);
}

std::string ClipboardText() {
    std::string text;
    if (!OpenClipboard(nullptr)) return text;
    if (HANDLE data = GetClipboardData(CF_TEXT)) {
        if (const char* bytes = static_cast<const char*>(GlobalLock(data))) {
            text = bytes;
            GlobalUnlock(data);
        }
    }
    CloseClipboard();
    return text;
}

TEST_F(SimulatedDialogTest, CopyReportPutsEverythingShownOnTheClipboard) {
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    const int mike = PlugAndSelect(*program, "SpeechMikeIII");
    const size_t shown = program->Events().size() + 1;
    ASSERT_EQ(1, program->Command(MikeReport(mike, 0x00, 0x04)));
    ASSERT_TRUE(program->WaitForEvents(shown));
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    program->Click(kCopyReport);
    const std::string report = ClipboardText();
    // The sessions' setting follows the registration (its value is the prefix's, which other
    // programs' tests change).
    for (const char* part : {"TovUSB device check, ", "\r\nICA Client registration\r\n",
                             "\r\n  Buttons of a device in several ICA sessions go to: ",
                             "\r\nSupported devices: 1\r\n"
                             "  Philips SpeechMike III (vendor 0x0911, product 0x0C1C, usage 9)\r\n"
                             "    \\\\?\\hid#vid_0911&pid_0c1c&mi_00#sim&",
                             "  2 other HID devices\r\n", "No HardwareButtonMap.ini",
                             "\r\nEvents (Philips SpeechMike III selected)\r\n",
                             "  pressed   hardware 6  reported 6\r\n"}) {
        EXPECT_NE(std::string::npos, report.find(part)) << part << "\n--- report:\n" << report;
    }
    // Every event line shown is in the report.
    for (size_t i = 0; i < shown; ++i) {
        EXPECT_NE(std::string::npos, report.find(program->Events()[i])) << program->Events()[i];
    }
}

// The administrator's DeviceRules value for one test: a text as Group Policy writes it (REG_SZ),
// or the given bytes of the given type.
class PolicyValue {
public:
    explicit PolicyValue(const std::string& rules) : PolicyValue(REG_SZ, rules + '\0') {}
    PolicyValue(DWORD type, const std::string& bytes) {
        HKEY key = nullptr;
        if (RegCreateKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, nullptr, 0, KEY_WRITE, nullptr, &key, nullptr) != ERROR_SUCCESS)
            return;
        set = RegSetValueExA(key, "DeviceRules", 0, type, reinterpret_cast<const BYTE*>(bytes.data()),
                             static_cast<DWORD>(bytes.size())) == ERROR_SUCCESS;
        RegCloseKey(key);
    }
    ~PolicyValue() {
        HKEY key = nullptr;
        if (RegOpenKeyExA(HKEY_LOCAL_MACHINE, kKey, 0, KEY_WRITE, &key) != ERROR_SUCCESS) return;
        RegDeleteValueA(key, "DeviceRules");
        RegCloseKey(key);
    }
    bool set = false;

private:
    static constexpr const char* kKey = "Software\\Policies\\Citrix\\ICA Client\\GenericUSB";
};

// A rule that lets the hand-set go to the session: the dialog names it for each of the hand-set's
// three USB interfaces and gives the rule to add at the start of the value; the report carries it.
TEST_F(SimulatedDialogTest, APolicyRuleThatWouldRedirectTheHandSetIsNamedWithTheDenyRuleToAdd) {
    const PolicyValue policy("ALLOW: vid=0911 # dictation devices go to the session; DENY: class=03");
    ASSERT_TRUE(policy.set);
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    ASSERT_GT(program->Command("plug SpeechMikeIII"), 0);
    const std::string expected =
        "USB redirection rules (Group Policy value HKLM\\Software\\Policies\\Citrix\\ICA "
        "Client\\GenericUSB\\DeviceRules): 2 rules; where none matches, the ICA Client's defaults apply\r\n"
        "Philips SpeechMike III (vendor 0x0911, product 0x0C1C, release 0x0300): the rules allow redirecting it as "
        "a whole USB device, away from TovUSB\r\n"
        "  interface 1 (class 03, subclass 00, protocol 00): allowed by rule 1 \"ALLOW: vid=0911\"\r\n"
        "  interface 2 (class 03, subclass 00, protocol 01): allowed by rule 1 \"ALLOW: vid=0911\"\r\n"
        "  interface 3 (class 03, subclass 00, protocol 02): allowed by rule 1 \"ALLOW: vid=0911\"\r\n"
        "  to keep it for TovUSB, add at the start of the DeviceRules value: "
        "DENY: vid=0911 pid=0c1c # TovUSB: Philips SpeechMike III;\r\n"
        "The rules only say whether a device may be redirected: auto-connect (or the user connecting it from the "
        "toolbar) and the server's own USB rules decide the rest";
    EXPECT_EQ(expected, program->Text(kUsbRules));
    if (OpenClipboard(nullptr)) {
        EmptyClipboard();
        CloseClipboard();
    }
    program->Click(kCopyReport);
    const std::string report = ClipboardText();
    EXPECT_NE(std::string::npos, report.find("  2 other HID devices\r\n\r\n" + expected + "\r\n\r\n")) << report;
}

// The policy's value type is not documented: a REG_MULTI_SZ is read string by string, so a rule in
// its second string that lets the hand-set go is named; a value of no string type is shown as
// unreadable, not as "none set".
TEST_F(SimulatedDialogTest, EveryStringOfAMultiStringPolicyIsReadAndAValueOfAnotherTypeIsUnreadable) {
    {
        const PolicyValue policy(REG_MULTI_SZ, std::string("DENY: class=0b # smart cards\0ALLOW: vid=0911\0\0", 46));
        ASSERT_TRUE(policy.set);
        auto program = Start();
        ASSERT_TRUE(program->dialog);
        ASSERT_GT(program->Command("plug SpeechMikeIII"), 0);
        const std::string text = program->Text(kUsbRules);
        for (const char* part : {"DeviceRules): 2 rules; where none matches",
                                 "  interface 1 (class 03, subclass 00, protocol 00): allowed by rule 2 \"ALLOW: vid=0911\"\r\n",
                                 "add at the start of the DeviceRules value: DENY: vid=0911 pid=0c1c"})
            EXPECT_NE(std::string::npos, text.find(part)) << part << "\n" << text;
    }
    const PolicyValue policy(REG_BINARY, "ALLOW: vid=0911");
    ASSERT_TRUE(policy.set);
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    EXPECT_NE(std::string::npos, program->Text(kUsbRules).find("DeviceRules): cannot be read (of type REG_BINARY, "
                                                               "not a string); the verdicts below assume"))
        << program->Text(kUsbRules);
}

TEST_F(SimulatedDialogTest, TraceLogCheckBoxCreatesAndDeletesTheClientLog) {
    const char kLog[] = "c:\\CitrixClient.log";
    SavedFile saved(kLog);
    DeleteFileA(kLog);
    auto program = Start();
    ASSERT_TRUE(program->dialog);
    EXPECT_FALSE(program->Checked(kTraceLog));
    EXPECT_FALSE(program->Enabled(kOpenLog));

    program->Click(kTraceLog);
    EXPECT_NE(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kLog));
    EXPECT_TRUE(program->Checked(kTraceLog));
    EXPECT_TRUE(program->Enabled(kOpenLog));

    program->Click(kTraceLog);
    EXPECT_EQ(INVALID_FILE_ATTRIBUTES, GetFileAttributesA(kLog));
    EXPECT_FALSE(program->Checked(kTraceLog));
    EXPECT_FALSE(program->Enabled(kOpenLog));
}

}  // namespace
}  // namespace devicechecktest
