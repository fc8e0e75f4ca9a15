// The Linux edition's command line: the arguments part that the display
// options are found in, the Linux extras taken out whole, and the refusals.
#include <gtest/gtest.h>

#include <cstring>

#include "app/command_line.h"

namespace {

CommandLine parse(std::initializer_list<const char*> arguments, int expected = 0) {
    std::vector<const char*> argv{"sonabar"};
    argv.insert(argv.end(), arguments);
    CommandLine line;
    EXPECT_EQ(command_line_parse(static_cast<int>(argv.size()), argv.data(), &line), expected);
    return line;
}

TEST(CommandLine, JoinsTheArgumentsWithSpacesForTheDisplayOptions) {
    CommandLine line = parse({"-peakish", "x", "-16bit"});
    EXPECT_EQ(line.arguments, "-peakish x -16bit");
    EXPECT_EQ(line.device, nullptr);
    EXPECT_EQ(line.port, nullptr);
    EXPECT_FALSE(line.help);
    EXPECT_FALSE(line.version);
    EXPECT_EQ(parse({}).arguments, "");
}

TEST(CommandLine, TakesTheLinuxExtrasOutOfTheArgumentsPart) {
    // A device or path containing an option word switches nothing on.
    CommandLine line = parse({"-device=hw:1-peak", "-16bit", "-port=/tmp/x-16bit/parport0", "--help"});
    EXPECT_EQ(line.arguments, "-16bit");
    EXPECT_STREQ(line.device, "hw:1-peak");
    EXPECT_STREQ(line.port, "/tmp/x-16bit/parport0");
    EXPECT_TRUE(line.help);
    EXPECT_TRUE(parse({"--version"}).version);
}

TEST(CommandLine, TheLastOfARepeatedExtraWins) {
    CommandLine line = parse({"-port=/dev/parport0", "-port=/dev/parport1"});
    EXPECT_STREQ(line.port, "/dev/parport1");
}

TEST(CommandLine, ExtrasAreWholeArgumentsMatchedExactly) {
    // Only an argument that starts with the prefix is an extra; "--help" must match whole.
    CommandLine line = parse({"x-device=foo", "--helpme", "-Port=/x"});
    EXPECT_EQ(line.arguments, "x-device=foo --helpme -Port=/x");
    EXPECT_EQ(line.device, nullptr);
    EXPECT_FALSE(line.help);
}

TEST(CommandLine, RefusesEmptyValuesWithAReason) {
    CommandLine line = parse({"-peak", "-device="}, 1);
    EXPECT_NE(line.error.find("-device="), std::string::npos);
    line = parse({"-port="}, 1);
    EXPECT_NE(line.error.find("-port="), std::string::npos);
}

TEST(CommandLine, UsageNamesEveryOptionOnALineOfItsOwn) {
    const char* usage = command_line_usage();
    for (const char* option : {"\n  -peak ", "\n  -16bit ", "\n  -device=NAME ", "\n  -port=PATH ",
                               "\n  --help ", "\n  --version "}) {
        EXPECT_NE(std::strstr(usage, option), nullptr) << option;
    }
}

TEST(CommandLine, ThePreviewPicksTheLatchesOfTheBoard) {
    CommandLine plain = parse({"-16bit", "-preview"});
    EXPECT_TRUE(plain.preview);
    EXPECT_FALSE(plain.preview_edge);
    EXPECT_EQ(plain.arguments, "-16bit");  // taken out whole: "-preview" holds no option word
    EXPECT_TRUE(parse({"-preview=edge"}).preview_edge);
    CommandLine last = parse({"-preview=edge", "-preview=transparent"});
    EXPECT_TRUE(last.preview);
    EXPECT_FALSE(last.preview_edge);
    EXPECT_FALSE(parse({}).preview);
    CommandLine bad = parse({"-preview=rising"}, 1);
    EXPECT_NE(bad.error.find("-preview= takes edge or transparent"), std::string::npos) << bad.error;
    EXPECT_NE(std::string(command_line_usage()).find("-preview"), std::string::npos);
}

}  // namespace
