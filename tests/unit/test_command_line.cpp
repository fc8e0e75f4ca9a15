// The Linux edition's command line: what each accepted command line sets,
// and that every other one is refused with a message naming the problem.
#include <gtest/gtest.h>

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

#include "app/command_line.h"
#include "audio/capture.h"

namespace {

int parse(const std::vector<const char*>& arguments, CommandLine* line) {
    std::vector<const char*> argv{"sonabar"};
    argv.insert(argv.end(), arguments.begin(), arguments.end());
    return command_line_parse(static_cast<int>(argv.size()), argv.data(), line);
}

std::string text(const char* value) { return value != nullptr ? value : "(none)"; }

// What a usable command line sets, as one line of text.
std::string settings(const CommandLine& line) {
    char gain[32];
    std::snprintf(gain, sizeof gain, "%g", line.gain_db);
    return "arguments=" + line.arguments + " device=" + text(line.device) + " port=" + text(line.port) +
           " preview=" + (line.preview ? (line.preview_edge ? "edge" : "transparent") : "off") +
           " listen=" + (line.listen == LISTEN_PLAYING ? "playing" : "input") +
           " gain=" + (line.gain_auto ? std::string("auto") : gain) + (line.help ? " help" : "") +
           (line.version ? " version" : "");
}

const std::string DEFAULTS = "device=(none) port=(none) preview=off listen=input gain=0";

TEST(CommandLine, AcceptsEachOptionInBothSpellingsAndTheLastOfARepeatWins) {
    struct Case {
        std::vector<const char*> arguments;
        std::string expected;
    };
    const std::vector<Case> cases = {
        {{}, "arguments= " + DEFAULTS},
        // The spine gets exactly the display words, in its order, whatever the spelling.
        {{"-16bit", "--peak"}, "arguments=-peak -16bit " + DEFAULTS},
        {{"--16bit", "-16bit"}, "arguments=-16bit " + DEFAULTS},
        // A value holding an option word switches nothing on.
        {{"-device=hw:1-peak", "--port=/tmp/x-16bit/parport0"},
         "arguments= device=hw:1-peak port=/tmp/x-16bit/parport0 preview=off listen=input gain=0"},
        {{"-port=/dev/parport0", "-port=/dev/parport1", "--device=a", "-device=b=c"},
         "arguments= device=b=c port=/dev/parport1 preview=off listen=input gain=0"},
        {{"-preview"}, "arguments= device=(none) port=(none) preview=transparent listen=input gain=0"},
        {{"--preview=edge"}, "arguments= device=(none) port=(none) preview=edge listen=input gain=0"},
        {{"-preview", "-peak"}, "arguments=-peak device=(none) port=(none) preview=transparent listen=input gain=0"},
        {{"-preview=edge", "-preview=transparent"},
         "arguments= device=(none) port=(none) preview=transparent listen=input gain=0"},
        {{"-listen=playing"}, "arguments= device=(none) port=(none) preview=off listen=playing gain=0"},
        {{"-listen=playing", "--listen=input", "-device=hw:1"},
         "arguments= device=hw:1 port=(none) preview=off listen=input gain=0"},
        {{"-gain=+12"}, "arguments= device=(none) port=(none) preview=off listen=input gain=12"},
        {{"--gain=6.5"}, "arguments= device=(none) port=(none) preview=off listen=input gain=6.5"},
        {{"-gain=-20"}, "arguments= device=(none) port=(none) preview=off listen=input gain=-20"},
        {{"-gain=+40.0"}, "arguments= device=(none) port=(none) preview=off listen=input gain=40"},
        {{"-gain=auto", "-gain=3"}, "arguments= device=(none) port=(none) preview=off listen=input gain=3"},
        {{"-gain=3", "--gain=auto"}, "arguments= device=(none) port=(none) preview=off listen=input gain=auto"},
        {{"--help"}, "arguments= " + DEFAULTS + " help"},
        {{"-h", "--version"}, "arguments= " + DEFAULTS + " help version"},
    };
    for (const Case& c : cases) {
        CommandLine line;
        ASSERT_EQ(parse(c.arguments, &line), 0) << c.expected << ": " << line.error;
        EXPECT_EQ(settings(line), c.expected);
        EXPECT_TRUE(line.error.empty());
    }
}

TEST(CommandLine, RefusesAnythingElseNamingTheProblem) {
    struct Case {
        std::vector<const char*> arguments;
        std::string message;
    };
    const std::string gain = "-gain= takes a number of dB from -20 to +40, or auto: '";
    const std::vector<Case> cases = {
        {{"--foo"}, "unknown option '--foo'"},
        {{"-v"}, "unknown option '-v'"},
        {{"-peak", "-Peak"}, "unknown option '-Peak'"},
        {{"-peakish"}, "unknown option '-peakish'"},
        {{"---peak"}, "unknown option '---peak'"},
        {{"-help"}, "unknown option '-help'"},  // the two GNU options only with two dashes
        {{"--"}, "unknown option '--'"},
        {{"stray"}, "unexpected argument 'stray'"},
        {{""}, "unexpected argument ''"},
        {{"-peak=1"}, "-peak takes no value: '-peak=1'"},
        {{"--help=me"}, "--help takes no value"},
        {{"-device="}, "-device= needs the name of an ALSA capture device"},
        {{"--device"}, "--device= needs the name of an ALSA capture device"},
        {{"-port="}, "-port= needs the path of a parallel-port device"},
        {{"-preview=rising"}, "-preview= takes edge or transparent (the 16 LEDs' latches), not 'rising'"},
        {{"-preview="}, "-preview= takes edge or transparent"},
        {{"-listen="}, "-listen= takes input (the sound input) or playing (what the desktop plays), not ''"},
        {{"--listen=speakers"}, "--listen= takes input"},
        {{"-listen"}, "-listen= takes input"},
        {{"-listen=playing", "-device=hw:1"}, "-listen=playing cannot be used with -device="},
        {{"-device=hw:1", "-listen=playing"}, "-listen=playing cannot be used with -device="},
        {{"-gain="}, gain + "'"},
        {{"-gain"}, gain + "'"},
        {{"--gain=abc"}, "--gain= takes a number of dB from -20 to +40, or auto: 'abc'"},
        // A value as the next argument: the spelling that takes it, whatever it is.
        {{"--listen", "playing"}, "write --listen=playing (the value goes after =)"},
        {{"--gain", "-6"}, "write --gain=-6 (the value goes after =)"},
        {{"-port", "/dev/parport1", "-peak"}, "write -port=/dev/parport1 (the value goes after =)"},
        {{"-device", "-peak"}, "write -device=-peak (the value goes after =)"},
        {{"-preview", "edge"}, "write -preview=edge (the value goes after =)"},
        {{"-preview", "stray"}, "unexpected argument 'stray'"},
    };
    for (const Case& c : cases) {
        CommandLine line;
        EXPECT_EQ(parse(c.arguments, &line), 1) << c.message;
        EXPECT_EQ(line.error.rfind(c.message, 0), 0u) << line.error;
    }
    for (const char* value : {"+41", "-21", "40.0001", "-20.5", "+1+2", "1e9", "nan", "inf", "-inf", " 6", "6 ",
                              "6.", ".5", "+", "-", "0x10", "6,5", "1_0", "Auto", "++1", "1..2"}) {
        CommandLine line;
        std::string argument = std::string("-gain=") + value;
        EXPECT_EQ(parse({argument.c_str()}, &line), 1) << value;
        EXPECT_EQ(line.error, gain + value + "'");
    }
}

TEST(CommandLine, UsageNamesEveryOptionAndTheExitCodes) {
    const char* usage = command_line_usage();
    for (const char* option : {"\n  -peak ", "\n  -16bit ", "\n  -listen=input ", "\n  -listen=playing ",
                               "\n  -gain=N ", "\n  -gain=auto ", "\n  -device=NAME ", "\n  -port=PATH ",
                               "\n  -preview ", "\n  -preview=edge ", "\n  -h, --help ", "\n  --version ",
                               "\n  0  ", "\n  1  ", "\n  2  "}) {
        EXPECT_NE(std::strstr(usage, option), nullptr) << option;
    }
}

}  // namespace
