// The commands of tovusb-devicecheck and its command line, parsed from literal lines.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "DeviceCheckCommandLine.h"
#include "TerminalCommand.h"

using namespace devicecheck;

namespace {

TerminalCommand Parsed(const std::string& line) {
    TerminalCommand command;
    std::string error;
    EXPECT_TRUE(ParseTerminalCommand(line, command, error)) << line << ": " << error;
    return command;
}

std::string Refused(const std::string& line) {
    TerminalCommand command;
    std::string error;
    EXPECT_FALSE(ParseTerminalCommand(line, command, error)) << line;
    return error;
}

TEST(TerminalCommand, EveryFormGivesItsCommandAndValues) {
    EXPECT_EQ(CommandKind::kHelp, Parsed("help").kind);
    EXPECT_EQ(CommandKind::kStatus, Parsed("status").kind);
    EXPECT_EQ(CommandKind::kList, Parsed("  list\t").kind);
    EXPECT_EQ(CommandKind::kDeselect, Parsed("deselect").kind);
    EXPECT_EQ(CommandKind::kQuit, Parsed("quit").kind);
    EXPECT_EQ(CommandKind::kQuit, Parsed("exit\r").kind);  // a CR LF line from a Windows editor
    EXPECT_EQ(CommandKind::kShowLEDs, Parsed("leds").kind);
    EXPECT_EQ(CommandKind::kAllLEDsOff, Parsed("leds off").kind);

    const TerminalCommand select = Parsed("select 12");
    EXPECT_EQ(CommandKind::kSelect, select.kind);
    EXPECT_EQ(12, select.number);
    EXPECT_EQ(9999, Parsed("select 9999").number);

    const TerminalCommand on = Parsed("led 3 on");
    EXPECT_EQ(CommandKind::kLED, on.kind);
    EXPECT_EQ(3, on.number);
    EXPECT_TRUE(on.on);
    const TerminalCommand off = Parsed("led  0   off");
    EXPECT_EQ(0, off.number);
    EXPECT_FALSE(off.on);
    EXPECT_EQ(255, Parsed("led 255 on").number);

    EXPECT_EQ(CommandKind::kWaitEvent, Parsed("wait-event").kind);
    EXPECT_EQ(10000u, Parsed("wait-event").waitMs);
    EXPECT_EQ(250u, Parsed("wait-event 250").waitMs);
    EXPECT_EQ(0u, Parsed("wait-event 0").waitMs);
    EXPECT_EQ(600000u, Parsed("wait-event 600000").waitMs);

    EXPECT_EQ(CommandKind::kReport, Parsed("report").kind);
    EXPECT_EQ("", Parsed("report").file);
    EXPECT_EQ("/tmp/ticket 4711.txt", Parsed("report   /tmp/ticket 4711.txt  ").file);
}

TEST(TerminalCommand, BlankLinesAndCommentsAreNothing) {
    EXPECT_EQ(CommandKind::kNothing, Parsed("").kind);
    EXPECT_EQ(CommandKind::kNothing, Parsed(" \t ").kind);
    EXPECT_EQ(CommandKind::kNothing, Parsed("# select 1").kind);
    EXPECT_EQ(CommandKind::kList, Parsed("list # again").kind);
    // A '#' inside a word is no comment: a file may be named so.
    EXPECT_EQ("/tmp/a#b", Parsed("report /tmp/a#b").file);
    EXPECT_EQ("/tmp/a", Parsed("report /tmp/a #b").file);
}

TEST(TerminalCommand, WrongFormsAreRefusedWithTheRightForm) {
    const std::string select = "use: select N (N the device's number in the list, from 1)";
    for (const char* line : {"select", "select 0", "select -1", "select +1", "select 10000", "select x", "select 1 2",
                             "select 99999999999999999999"}) {
        EXPECT_EQ(select, Refused(line)) << line;
    }
    const std::string led = "use: led N on|off (N one of the numbers leds shows)";
    for (const char* line : {"led", "led 3", "led 3 maybe", "led on 3", "led 256 on", "led 3 on now", "led 3 ON"}) {
        EXPECT_EQ(led, Refused(line)) << line;
    }
    EXPECT_EQ("use: leds, or leds off", Refused("leds on"));
    EXPECT_EQ("use: leds, or leds off", Refused("leds off now"));
    const std::string wait = "use: wait-event [MS] (MS from 0 to 600000)";
    EXPECT_EQ(wait, Refused("wait-event 600001"));
    EXPECT_EQ(wait, Refused("wait-event 4294967296"));
    EXPECT_EQ(wait, Refused("wait-event 1s"));
    EXPECT_EQ(wait, Refused("wait-event 1 2"));
    EXPECT_EQ("list takes no argument", Refused("list all"));
    EXPECT_EQ("quit takes no argument", Refused("quit now"));
    EXPECT_EQ("unknown command List (help lists the commands)", Refused("List"));
}

TEST(TerminalCommand, LinesAreBounded) {
    const std::string longest = "report /" + std::string(4096 - 8, 'a');
    ASSERT_EQ(4096u, longest.size());
    EXPECT_EQ(4089u, Parsed(longest).file.size());  // "/" and the a's
    EXPECT_EQ("the line is longer than 4096 characters", Refused(longest + "a"));
    EXPECT_EQ("the line is longer than 4096 characters", Refused(std::string(5000, ' ')));
}

TEST(DeviceCheckCommandLine, FoldersHelpAndRefusals) {
    DeviceCheckCommandLine line;
    std::string error;
    ASSERT_TRUE(ParseDeviceCheckCommandLine({}, line, error));
    EXPECT_FALSE(line.help);
    EXPECT_EQ("", line.icaRoot);
    EXPECT_EQ("/", line.root);

    ASSERT_TRUE(ParseDeviceCheckCommandLine({"--icaroot", "/opt/ica", "--root=/image"}, line, error));
    EXPECT_EQ("/opt/ica", line.icaRoot);
    EXPECT_EQ("/image", line.root);
    ASSERT_TRUE(ParseDeviceCheckCommandLine({"--icaroot=/a", "--help"}, line, error));
    EXPECT_TRUE(line.help);
    ASSERT_TRUE(ParseDeviceCheckCommandLine({"-h"}, line, error));
    EXPECT_TRUE(line.help);

    EXPECT_FALSE(ParseDeviceCheckCommandLine({"--icaroot"}, line, error));
    EXPECT_EQ("--icaroot needs a folder", error);
    EXPECT_FALSE(ParseDeviceCheckCommandLine({"--root="}, line, error));
    EXPECT_EQ("--root needs a folder of 1 to 4095 characters", error);
    EXPECT_FALSE(ParseDeviceCheckCommandLine({"--root", std::string(4096, 'r')}, line, error));
    EXPECT_EQ("--root needs a folder of 1 to 4095 characters", error);
    EXPECT_FALSE(ParseDeviceCheckCommandLine({"status"}, line, error));
    EXPECT_EQ("unknown argument status", error);
    EXPECT_FALSE(ParseDeviceCheckCommandLine({"--group=x"}, line, error));
    EXPECT_EQ("unknown argument --group=x", error);
    EXPECT_FALSE(ParseDeviceCheckCommandLine(std::vector<std::string>(9, "--help"), line, error));
    EXPECT_EQ("too many arguments", error);
}

TEST(DeviceCheckCommandLine, TheUsageNamesEveryCommand) {
    const std::string usage = DeviceCheckUsage();
    for (const char* form : {"--icaroot DIR", "--root DIR", "list", "select N", "deselect", "leds", "led N on|off",
                             "leds off", "wait-event [MS]", "status", "report [FILE]", "help", "quit"}) {
        EXPECT_NE(std::string::npos, usage.find("  " + std::string(form))) << form;
    }
}

}  // namespace
