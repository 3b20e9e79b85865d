#include "host/win32/saver_switches.h"
#include "controller/saver_logic.h"

#include <gtest/gtest.h>

#include <string>

using namespace vandrel;

namespace {

SwitchRequest parse(const char* commandLine) {
    return parseSwitch(skipProgramName(commandLine));
}

}  // namespace

TEST(SaverCommandLine, ProgramNameIsSkippedQuotedOrNot) {
    EXPECT_STREQ(skipProgramName("\"C:\\My Savers\\Vandrel.scr\" /s"), "/s");
    EXPECT_STREQ(skipProgramName("Vandrel.scr   /p 12"), "/p 12");
    EXPECT_STREQ(skipProgramName("\"unterminated /s"), "");
    EXPECT_STREQ(skipProgramName("Vandrel.scr"), "");
    // High bytes are part of the name; a tab separates.
    EXPECT_STREQ(skipProgramName("Sav\xE9r.scr\t/c"), "/c");
    EXPECT_STREQ(skipProgramName("\"a\"/s"), "/s");
}

TEST(SaverCommandLine, SwitchesSelectRunModes) {
    EXPECT_EQ(parse("x.scr").mode, RunMode::Settings);
    EXPECT_FALSE(parse("x.scr").ownerIsForeground);
    SwitchRequest c = parse("x.scr /c:596");
    EXPECT_EQ(c.mode, RunMode::Settings);
    EXPECT_TRUE(c.ownerIsForeground);
    EXPECT_EQ(parse("\"my saver.scr\" /s").mode, RunMode::Saver);
    EXPECT_EQ(parse("x.scr --//s").mode, RunMode::Saver);
    EXPECT_EQ(parseSwitch("  s").mode, RunMode::Saver);
    EXPECT_EQ(parseSwitch("S junk").mode, RunMode::Saver);

    for (const char* text : {"/p 596", "-P596", "/l 596", "p   596x"}) {
        SwitchRequest r = parseSwitch(text);
        EXPECT_EQ(r.mode, RunMode::Preview) << text;
        EXPECT_EQ(r.handle, 596u) << text;
    }
    for (const char* text : {"/p", "/p x", "/p:596", "/p -5"}) {
        SwitchRequest r = parseSwitch(text);
        EXPECT_EQ(r.mode, RunMode::Preview) << text;
        EXPECT_EQ(r.handle, 0u) << text;  // the caller rejects a zero handle
    }
    SwitchRequest a = parseSwitch("/a 0");
    EXPECT_EQ(a.mode, RunMode::ChangePassword);
    EXPECT_EQ(a.handle, 0u);
    EXPECT_EQ(parseSwitch("/A77").handle, 77u);

    for (const char* text : {"/x", "/1", "/\ts", "\xE9", "?"}) {
        EXPECT_EQ(parseSwitch(text).mode, RunMode::Rejected) << text;
    }
}

TEST(SaverCommandLine, WindowHandleDigitsWrapAt32Bits) {
    EXPECT_EQ(parseWindowHandle("4294967295"), 4294967295u);
    EXPECT_EQ(parseWindowHandle("4294967296"), 0u);
    EXPECT_EQ(parseWindowHandle("12:34"), 12u);
    EXPECT_EQ(parseWindowHandle("+5"), 0u);
    EXPECT_EQ(parseWindowHandle(""), 0u);
}

TEST(SaverInputFilter, MovementAddsUpFromTheReference) {
    Point ref{100, 100};
    EXPECT_FALSE(movedPastThreshold(ref, {102, 102}));  // 4 in total
    EXPECT_TRUE(movedPastThreshold(ref, {103, 102}));   // 5
    EXPECT_FALSE(movedPastThreshold(ref, {97, 100}));   // one move of 3
    EXPECT_TRUE(movedPastThreshold(ref, {94, 100}));    // the second move of 3
    EXPECT_TRUE(movedPastThreshold({INT32_MIN, 0}, {INT32_MAX, 0}));

    EXPECT_FALSE(withinReverifyPause(1000, kNoVerifyYet));
    EXPECT_TRUE(withinReverifyPause(1199, 1000));
    EXPECT_FALSE(withinReverifyPause(1200, 1000));
    EXPECT_TRUE(withinReverifyPause(50, 0xFFFFFFF0u));  // across the tick wrap
}
