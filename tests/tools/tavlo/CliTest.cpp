// The command line: usage errors as one line and exit status 2, help, printable text, the
// progress line.
#include "tools/tavlo/Cli.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <sstream>
#include <string>
#include <utility>
#include <vector>

namespace tavlo::cli {
namespace {

struct Outcome {
    int status;
    std::string out;
    std::string err;
};

Outcome RunTavlo(std::vector<std::string> args) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err, false};
    const int status = RunCommandLine(std::move(args), io);
    return {status, out.str(), err.str()};
}

// Every one is refused before anything is sent: exit status 2 and one line.
TEST(CliUsage, RefusedWithOneLineAndStatusTwo) {
    const struct {
        std::vector<std::string> args;
        const char* line;
    } cases[] = {
        {{}, "tavlo: no command given (see 'tavlo --help')\n"},
        {{"serach"}, "tavlo: unknown command 'serach' (see 'tavlo --help')\n"},
        {{"search", "--wired", "--wifi"},
         "tavlo search: give at most one of --wired and --wifi (see 'tavlo search --help')\n"},
        {{"search", "--unicast", "127.0.0.010"},
         "tavlo search: '127.0.0.010' is not an address like 192.0.2.1 (see 'tavlo search "
         "--help')\n"},
        {{"search", "--range", "127.0.0.0/15"},
         "tavlo search: '127.0.0.0/15': the prefix length must be from 16 to 32 (see 'tavlo "
         "search --help')\n"},
        {{"search", "--range", "127.0.0.0/16", "--range", "127.1.0.0-127.1.0.0"},
         "tavlo search: the ranges hold 65537 addresses; a search sweeps at most 65536 (see "
         "'tavlo search --help')\n"},
        {{"search", "--unicast", "127.0.0.255", "--range", "127.0.1.0/24"},
         "tavlo search: --unicast 127.0.0.255 is a broadcast; it takes no --range (see 'tavlo "
         "search --help')\n"},
        {{"search", "--range", "127.0.0.0/24", "--rate", "0"},
         "tavlo search: --rate must be from 1 to 1000000 probes a second (see 'tavlo search "
         "--help')\n"},
        {{"search", "--bogus"},
         "tavlo search: unknown option '--bogus' (see 'tavlo search --help')\n"},
        {{"search", "now"}, "tavlo search: unknown argument 'now' (see 'tavlo search --help')\n"},
        {{"read", "127.0.0.10"},
         "tavlo read: give one of --wired, --wifi and --early (see 'tavlo read --help')\n"},
        {{"read", "127.0.0.10", "--wired", "--early"},
         "tavlo read: give exactly one of --wired, --wifi and --early (see 'tavlo read --help')\n"},
        // Several clocks (loopback: should a refusal ever let a read start, nothing leaves the
        // machine).
        {{"read", "127.0.0.10", "127.0.0.10", "--wired"},
         "tavlo read: '127.0.0.10' is given twice (see 'tavlo read --help')\n"},
        {{"read", "127.0.0.10", "--wired", "--json", "--csv"},
         "tavlo read: give --json or --csv, not both (see 'tavlo read --help')\n"},
        {{"read", "127.0.0.10", "127.0.0.11", "--wired", "--parallel", "0"},
         "tavlo read: --parallel takes a number of clocks from 1 to 64, not '0' (see 'tavlo read "
         "--help')\n"},
        {{"write", "127.0.0.10", "127.0.0.11", "--wired", "--batch", "-"},
         "tavlo write: --batch takes one ADDRESS (see 'tavlo write --help')\n"},
        {{"read", "--wifi"},
         "tavlo read: give the address of the clock to read (see 'tavlo read --help')\n"},
        {{"read", "0.0.0.0", "--wifi"},
         "tavlo read: '0.0.0.0' is not an address like 192.0.2.10 (see 'tavlo read --help')\n"},
        {{"read", "127.0.0.0", "--wifi"},
         "tavlo read: '127.0.0.0' is a network or broadcast address (a group label), not a clock "
         "(see 'tavlo read --help')\n"},
        {{"write", "127.0.0.10", "--wired"},
         "tavlo write: give ADDRESS and FILE (- for standard input) (see 'tavlo write --help')\n"},
        {{"write", "127.0.0.10", "-"},
         "tavlo write: give one of --wired, --wifi and --early (see 'tavlo write --help')\n"},
        {{"write", "--batch", "127.0.0.0", "--wired", "-"},
         "tavlo write: '127.0.0.0' is a network or broadcast address (a group label), not a "
         "clock (see 'tavlo write --help')\n"},
        {{"write", "127.0.0.10", "--wired", "--interface", "eth0", "-"},
         "tavlo write: --interface goes with --batch (see 'tavlo write --help')\n"},
        {{"write", "--batch", "127.0.0.10", "--wired", "--interface", "no-such-if", "-"},
         "tavlo write: no interface 'no-such-if' with a broadcast address ('tavlo interfaces' "
         "lists them) (see 'tavlo write --help')\n"},
        {{"write", "127.0.0.10", "--early", "--page", "wifi", "-"},
         "tavlo write: early-version clocks have no WIFI page (see 'tavlo write --help')\n"},
        {{"write", "127.0.0.10", "--wired", "--json", "-"},
         "tavlo write: --json prints the request of --dry-run; give both (see 'tavlo write "
         "--help')\n"},
        {{"write", "127.0.0.10", "--wifi", "/nonexistent/settings.json"},
         "tavlo write: cannot read /nonexistent/settings.json\n"},
        {{"firmware", "127.0.0.10"},
         "tavlo firmware: needs ADDRESS and FILE (see 'tavlo firmware --help')\n"},
        {{"firmware", "127.0.0.10", "a.bin", "--mac", "00-11"},
         "tavlo firmware: '00-11' is not a MAC address (XX-XX-XX-XX-XX-XX) (see 'tavlo firmware "
         "--help')\n"},
        // Several clocks (loopback: should a refusal ever let a transfer start, nothing leaves
        // the machine).
        {{"firmware", "127.0.0.10", "127.0.0.11", "a.bin", "--mac", "00-11-22-33-44-55"},
         "tavlo firmware: --mac goes with one ADDRESS only (see 'tavlo firmware --help')\n"},
        {{"firmware", "127.0.0.10", "127.0.0.10", "a.bin"},
         "tavlo firmware: '127.0.0.10' is given twice (see 'tavlo firmware --help')\n"},
        {{"firmware", "127.0.0.10", "127.0.0.0", "a.bin"},
         "tavlo firmware: '127.0.0.0' is a network address (a group label), not a clock (see "
         "'tavlo firmware --help')\n"},
        {{"firmware", "127.0.0.10", "a.bin", "--parallel", "65"},
         "tavlo firmware: --parallel takes a number of transfers from 1 to 64, not '65' (see "
         "'tavlo firmware --help')\n"},
        {{"firmware", "127.0.0.10", "a.bin", "--parallel", "2x"},
         "tavlo firmware: --parallel takes a number of transfers from 1 to 64, not '2x' (see "
         "'tavlo firmware --help')\n"},
        // A bad file stops a batch before its first clock, with one message.
        {{"firmware", "127.0.0.10", "127.0.0.11", "image.txt", "--parallel", "2"},
         "tavlo firmware: Select file error!\n"},
        {{"firmware", "127.0.0.10", "127.0.0.11", "/nonexistent/image.bin"},
         "tavlo firmware: File does not exist!\n"},
    };
    for (const auto& c : cases) {
        const Outcome run = RunTavlo(c.args);
        EXPECT_EQ(run.status, kExitUsage) << c.line;
        EXPECT_EQ(run.err, c.line);
        EXPECT_EQ(run.out, "");
    }
    // backup and restore take the search's ranges; a refused one makes no folder.
    const std::string folder = ::testing::TempDir() + "tavlo-cli-no-backup";
    for (const char* command : {"backup", "restore"}) {
        const Outcome run = RunTavlo({command, folder, "--range", "127.0.0.0/15"});
        EXPECT_EQ(run.status, kExitUsage);
        EXPECT_EQ(run.err, std::string("tavlo ") + command +
                               ": '127.0.0.0/15': the prefix length must be from 16 to 32 (see "
                               "'tavlo " +
                               command + " --help')\n");
    }
    EXPECT_FALSE(std::filesystem::exists(folder));
    // A missing value is the parser's own message, on one line.
    const Outcome missing = RunTavlo({"search", "--unicast"});
    EXPECT_EQ(missing.status, kExitUsage);
    EXPECT_EQ(missing.err.find("tavlo search: --unicast"), 0u) << missing.err;
    EXPECT_EQ(missing.err.find('\n'), missing.err.size() - 1) << missing.err;
}

TEST(CliUsage, HelpOnStandardOutput) {
    for (const auto& [args, says] :
         {std::pair{std::vector<std::string>{"--help"}, "tavlo [OPTIONS] [SUBCOMMAND]"},
          std::pair{std::vector<std::string>{"help"}, "Exit status: 0 success"},
          std::pair{std::vector<std::string>{"read", "-h"}, "--passwords"},
          std::pair{std::vector<std::string>{"search", "--help"}, "--unicast FROM"},
          std::pair{std::vector<std::string>{"firmware", "--help", "--bogus"}, "--mac"}}) {
        const Outcome run = RunTavlo(args);
        EXPECT_EQ(run.status, kExitSuccess) << says;
        EXPECT_NE(run.out.find(says), std::string::npos) << run.out;
        EXPECT_EQ(run.err, "");
    }
}

TEST(CliText, ControlCharactersNeverReachTheTerminal) {
    EXPECT_EQ(Printable(std::string("a\x1b[2Jb\r\n\x7f", 9)), "a?[2Jb???");
    // C1 controls (U+009B is a terminal's command start) and bytes that are no UTF-8 (a raw
    // 0x9B is the same command to an 8-bit terminal); other characters stay.
    EXPECT_EQ(Printable("x\xc2\x9b"
                        "2J\xc2\x80\xc2\x9fy"),
              "x?2J??y");
    EXPECT_EQ(Printable("\x9b"
                        "2J\xc3\xa9\xe2\x84\x83\xc2\xa0"),
              "?2J\xc3\xa9\xe2\x84\x83\xc2\xa0");
    EXPECT_EQ(Printable("\xe2\x84"), "??");  // cut short
    EXPECT_EQ(Printable("127.0.0.10 (SN0042)"), "127.0.0.10 (SN0042)");
    EXPECT_TRUE(platform::IsPrintable("Lobby \xe2\x84\x83"));
    EXPECT_FALSE(platform::IsPrintable("Lobby\xc2\x85"));
}

TEST(CliErrors, OneLineOnStandardError) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err, false};
    EXPECT_EQ(UsageError(io, "read", "give one address only"), kExitUsage);
    EXPECT_EQ(err.str(), "tavlo read: give one address only (see 'tavlo read --help')\n");
    err.str("");
    EXPECT_EQ(Failure(io, "read", "no answer from 127.0.0.10", kExitNoAnswer), kExitNoAnswer);
    EXPECT_EQ(err.str(), "tavlo read: no answer from 127.0.0.10\n");
    EXPECT_TRUE(out.str().empty());
}

TEST(CliProgress, SilentWhenNotATerminal) {
    std::ostringstream out;
    std::ostringstream err;
    Io io{out, err, false};
    {
        ProgressLine line(io);
        line.Show("Searching wired clocks: 127.0.0.5, 0 found");
    }
    EXPECT_TRUE(err.str().empty());
    Io terminal{out, err, true};
    {
        ProgressLine line(terminal);
        line.Show("probing");
    }
    EXPECT_EQ(err.str(), "\r\033[Kprobing\r\033[K");
}

}  // namespace
}  // namespace tavlo::cli
