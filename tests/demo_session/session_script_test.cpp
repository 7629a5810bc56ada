// The session script syntax: what is a command, what is a comment, and which faults are found
// before anything runs.
#include <gtest/gtest.h>

#include "SessionScript.h"

using namespace demosession;

namespace {

std::string ErrorOf(const std::string& text) {
    std::vector<ScriptStep> steps;
    std::string error;
    EXPECT_FALSE(ParseScript(text, steps, error)) << text;
    return error;
}

}  // namespace

TEST(SessionScript, CommandsCommentsAndNarration) {
    std::vector<ScriptStep> steps;
    std::string error;
    ASSERT_TRUE(ParseScript("# a session\r\n\n  PLUG mike SpeechMikeIII   # the hand-set\n"
                            "say Step#2: the  record   button   # a comment\n"
                            "report mike 00 80 00 00\n"
                            "log\n",
                            steps, error))
        << error;
    ASSERT_EQ(steps.size(), 4u);
    EXPECT_EQ(steps[0].line, 3);
    EXPECT_EQ(steps[0].verb, "plug");
    EXPECT_EQ(steps[0].words, (std::vector<std::string>{"mike", "SpeechMikeIII"}));
    // A '#' inside a word is text, one after white space a comment; narration keeps its spacing.
    EXPECT_EQ(steps[1].rest, "Step#2: the  record   button");
    EXPECT_EQ(steps[2].words.size(), 5u);
    EXPECT_EQ(steps[3].verb, "log");
    EXPECT_TRUE(steps[3].words.empty());
}

TEST(SessionScript, FaultsAreFoundWithTheirLine) {
    EXPECT_EQ(ErrorOf("log\nfly away\n"), "line 2: unknown command 'fly'");
    EXPECT_EQ(ErrorOf("connect\n"), "line 1: wrong number of arguments for 'connect'");
    EXPECT_EQ(ErrorOf("\n\nassign 1 2 3\n"), "line 3: wrong number of arguments for 'assign'");
    EXPECT_EQ(ErrorOf("log now\n"), "line 1: wrong number of arguments for 'log'");
    // Nothing is kept from a script with a fault.
    std::vector<ScriptStep> steps(1);
    std::string error;
    EXPECT_FALSE(ParseScript("list 1\nbogus\n", steps, error));
    EXPECT_EQ(steps.size(), 1u);
}

TEST(SessionScript, HandlesAndNumbers) {
    uint32_t handle = 7;
    EXPECT_TRUE(ParseHandle("0x00A01000", handle));
    EXPECT_EQ(handle, 0x00A01000u);
    EXPECT_TRUE(ParseHandle("4294967295", handle));
    EXPECT_EQ(handle, 0xFFFFFFFFu);
    EXPECT_TRUE(ParseHandle("0", handle));
    EXPECT_EQ(handle, 0u);
    for (const char* bad : {"", "0x", "4294967296", "-1", "12ab", "0x1g", " 1", "0x 1"}) {
        handle = 7;
        EXPECT_FALSE(ParseHandle(bad, handle)) << bad;
        EXPECT_EQ(handle, 7u) << bad;
    }
    int32_t value = 0;
    EXPECT_TRUE(ParseInt32("-2147483648", value));
    EXPECT_EQ(value, INT32_MIN);
    EXPECT_FALSE(ParseInt32("2147483648", value));
    EXPECT_TRUE(ParseInt32("0x10", value));
    EXPECT_EQ(value, 16);
}
