// End-to-end tests: the built tool on files in a scratch directory.
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_util.h"

namespace {

using namespace std::string_literals;

// The tool's output for an input file that it reads in full.
std::string output_for(const std::string& input) {
  scratch_dir dir;
  write_file(dir / "in", input);
  const outcome run = run_tool({dir / "in", dir / "out"}, dir);
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "");
  return read_file(dir / "out");
}

// The verdict lines, as single ISO-8859-2 bytes.
const std::string kYes = "\x66\xFC\x67\x67\xF5\x73\xE9\x67\xF6\x72\x7A\xF5\n";
const std::string kNo = "\x6E\x65\x6D\x20" + kYes;

TEST(Output, EchoEmptyLineAndVerdict) {
  const struct {
    const char* what;
    std::string input;
    std::string output;
  } rows[] = {
      {"worked example", "A,B\nB,D\n\nA->B\nB->D\nD->A\n",
       "A,B\nB,D\n\nA->B\nB->D\nD->A\n\n" + kYes},
      {"no final line feed", "A,B\nB,D\n\nA->B\nB->D\nD->A",
       "A,B\nB,D\n\nA->B\nB->D\nD->A\n\n" + kYes},
      {"a lost dependency", "A,D\nB,D\n\nA,B->D\nD->B\n",
       "A,D\nB,D\n\nA,B->D\nD->B\n\n" + kNo},
      {"one schema", "A,B\n\nA->B\n", "A,B\n\nA->B\n\n" + kYes},
      {"empty file", "", "\n" + kYes},
      {"only a line feed", "\n", "\n\n" + kYes},
      {"empty dependency section", "A,B\n\n\n\n", "A,B\n\n\n\n\n" + kYes},
      {"no empty line: an arrow is part of a name", "A->B,C\nD\n",
       "A->B,C\nD\n\n" + kYes},
      {"first line empty", "\nA->B\n\nB->C\n", "\nA->B\n\nB->C\n\n" + kNo},
      {"carriage returns stay, so no separator is found",
       "A,B\r\n\r\nA->B\r\nAB\r\n", "A,B\r\n\r\nA->B\r\nAB\r\n\n" + kYes},
      {"NUL and high bytes", "A\0B,\xE9\n\n\xE9->A\0B\n"s,
       "A\0B,\xE9\n\n\xE9->A\0B\n\n"s + kYes},
      {"blanks belong to names", "A,B\n\nA -> B\n", "A,B\n\nA -> B\n\n" + kNo},
      {"arrow inside the right side", "A,B->C\n\nA->B->C\n",
       "A,B->C\n\nA->B->C\n\n" + kYes},
      {"empty sides are the empty name", "A,\n\n->A\nA->\n",
       "A,\n\n->A\nA->\n\n" + kYes},
      {"a later equal left side replaces the right side",
       "A,B\nB,C\n\nA->C\nB->C\nA->B\n",
       "A,B\nB,C\n\nA->C\nB->C\nA->B\n\n" + kYes},
      {"a repeated line replaces the right side again",
       "A,B\nB,C\n\nA->B\nA->C\nA->B\n",
       "A,B\nB,C\n\nA->B\nA->C\nA->B\n\n" + kYes},
      {"... also after its first repeat",
       "A,B\nB,C\n\nA->C\nA->B\nA->C\nA->B\nA->C\n",
       "A,B\nB,C\n\nA->C\nA->B\nA->C\nA->B\nA->C\n\n" + kNo},
  };
  for (const auto& row : rows)
    EXPECT_EQ(output_for(row.input), row.output) << row.what;
}

TEST(Echo, LinesLongerThanAReadAndAcrossReadBoundaries) {
  std::string input(200000, 'x');
  input += "\n\n";
  for (int i = 0; i < 50000; ++i)
    input += std::string(i % 7, 'a') + "->" + std::to_string(i) + "\n";
  input += std::string(70000, 'y') + "->z";  // no final line feed
  EXPECT_EQ(output_for(input), input + "\n\n" + kNo);
}

TEST(Echo, ExtraArgumentsAreIgnored) {
  scratch_dir dir;
  write_file(dir / "in", "A\n");
  const outcome run = run_tool({dir / "in", dir / "out", "--help", "x"}, dir);
  EXPECT_EQ(run.status, 0);
  EXPECT_EQ(run.out + run.err, "");
  EXPECT_EQ(read_file(dir / "out"), "A\n\n" + kYes);
}

TEST(Echo, ReadsFromAPipe) {
  scratch_dir dir;
  write_file(dir / "in", "A,B\n\nA->B\n");
  const outcome run = run_tool({"/dev/stdin", dir / "out"}, dir, dir / "in");
  EXPECT_EQ(run.status, 0) << run.err;
  EXPECT_EQ(read_file(dir / "out"), "A,B\n\nA->B\n\n" + kYes);

  ASSERT_EQ(::mkfifo((dir / "fifo").c_str(), 0600), 0);
  const pid_t writer = ::fork();
  if (writer == 0) {
    write_file(dir / "fifo", "C\n");
    ::_exit(0);
  }
  const outcome piped = run_tool({dir / "fifo", dir / "out"}, dir);
  // A reader of its own lets the writer finish even if the tool never
  // opened the fifo, so that such a fault fails the test instead of hanging.
  const int unblock = ::open((dir / "fifo").c_str(), O_RDONLY | O_NONBLOCK);
  ::waitpid(writer, nullptr, 0);
  ::close(unblock);
  EXPECT_EQ(piped.status, 0) << piped.err;
  EXPECT_EQ(read_file(dir / "out"), "C\n\n" + kYes);
}

TEST(CommandLine, UsageHelpAndVersion) {
  scratch_dir dir;
  const std::string usage = "usage: fdkeep INPUT OUTPUT\n";
  const struct {
    std::vector<std::string> args;
    int status;
    bool usage_on_stderr;
    std::string stdout_start;
  } rows[] = {
      {{}, 2, true, ""},
      {{dir / "in"}, 2, true, ""},
      {{"--version"}, 0, false, "fdkeep " FDKEEP_VERSION "\n"},
      {{"--help"}, 0, false, usage},
      {{"-h"}, 0, false, usage},
  };
  write_file(dir / "in", "A\n");
  for (const auto& row : rows) {
    const std::string args = ::testing::PrintToString(row.args);
    const outcome run = run_tool(row.args, dir);
    EXPECT_EQ(run.status, row.status) << args;
    EXPECT_EQ(run.err, row.usage_on_stderr ? usage : "") << args;
    EXPECT_EQ(run.out.substr(0, row.stdout_start.size()), row.stdout_start)
        << args;
    EXPECT_EQ(run.out.empty(), row.stdout_start.empty()) << args;
  }
  EXPECT_EQ(read_file(dir / "in"), "A\n");
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir / ""),
                          std::filesystem::directory_iterator()),
            1)
      << "a file was created";
}

TEST(CommandLine, HelpNamesFormatAndExitStatuses) {
  scratch_dir dir;
  const std::string help = run_tool({"--help"}, dir).out;
  for (const char* needle : {"->", "Exit status", "0664", "ISO-8859-2"})
    EXPECT_NE(help.find(needle), std::string::npos) << needle;
}

TEST(CommandLine, AnswerThatCannotBeWrittenIsAFailure) {
  scratch_dir dir;
  const std::string command =
      std::string(FDKEEP_BINARY) + " --version >/dev/full 2>" + (dir / "err");
  EXPECT_EQ(WEXITSTATUS(std::system(command.c_str())), 1);
  EXPECT_EQ(read_file(dir / "err"),
            "fdkeep: cannot write standard output: No space left on device\n");
}

}  // namespace
