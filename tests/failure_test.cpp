// End-to-end tests of the runs that fail: each ends with one message on
// standard error and exit status 1, and leaves the input, and an output that
// must survive, as they were.
#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "gtest/gtest.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

const char kInput[] = "A,B\n\nA->B\n";
const char kOldOutput[] = "old output\n";

// Runs the tool on input and output and expects it to fail with message.
void expect_failure(const std::string& input, const std::string& output,
                    const std::string& message, const scratch_dir& dir) {
  const outcome run = run_tool({input, output}, dir);
  EXPECT_EQ(run.status, 1);
  EXPECT_EQ(run.out, "");
  EXPECT_EQ(run.err, "fdkeep: " + message + "\n");
}

TEST(Failure, InputCannotBeOpened) {
  scratch_dir dir;
  fs::create_directory(dir / "folder");
  write_file(dir / "old", kOldOutput);
  const struct {
    std::string input, reason;
  } rows[] = {
      {dir / "missing", "No such file or directory"},
      {dir / "folder", "Is a directory"},
      {dir / "missing/in", "No such file or directory"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    const std::string why =
        "cannot open input file '" + row.input + "': " + row.reason;
    expect_failure(row.input, dir / "new", why, dir);
    EXPECT_FALSE(fs::exists(dir / "new")) << "output was created";
    expect_failure(row.input, dir / "old", why, dir);
    EXPECT_EQ(read_file(dir / "old"), kOldOutput) << "output was changed";
  }
}

TEST(Failure, UnreadableInput) {
  if (::geteuid() == 0) GTEST_SKIP() << "root reads every file";
  scratch_dir dir;
  write_file(dir / "in", kInput);
  ::chmod((dir / "in").c_str(), 0200);
  expect_failure(
      dir / "in", dir / "out",
      "cannot open input file '" + (dir / "in") + "': Permission denied", dir);
  EXPECT_FALSE(fs::exists(dir / "out"));
}

TEST(Failure, InputAndOutputAreTheSameFile) {
  scratch_dir dir;
  write_file(dir / "in", kInput);
  fs::create_symlink(dir / "in", dir / "symlink");
  fs::create_hard_link(dir / "in", dir / "hardlink");
  for (const std::string& output :
       {dir / "in", dir / "symlink", dir / "hardlink", dir / "./in"}) {
    SCOPED_TRACE(output);
    expect_failure(dir / "in", output,
                   "cannot open output file '" + output +
                       "': it is the input file '" + (dir / "in") + "'",
                   dir);
    EXPECT_EQ(read_file(dir / "in"), kInput);
  }
}

TEST(Failure, OutputCannotBeOpened) {
  scratch_dir dir;
  write_file(dir / "in", kInput);
  fs::create_directory(dir / "folder");
  const struct {
    std::string output, reason;
  } rows[] = {
      {dir / "missing/out", "No such file or directory"},
      {dir / "folder", "Is a directory"},
      {dir / "in/out", "Not a directory"},
  };
  for (const auto& row : rows)
    expect_failure(
        dir / "in", row.output,
        "cannot open output file '" + row.output + "': " + row.reason, dir);
  EXPECT_EQ(read_file(dir / "in"), kInput);
}

TEST(Failure, OutputCannotBeWritten) {
  scratch_dir dir;
  write_file(dir / "in", kInput);
  expect_failure(dir / "in", "/dev/full",
                 "cannot write output file '/dev/full': No space left on "
                 "device",
                 dir);
  EXPECT_EQ(read_file(dir / "in"), kInput);
}

TEST(Failure, InputIsCheckedBeforeOutput) {
  scratch_dir dir;
  expect_failure(dir / "missing", dir / "no/out",
                 "cannot open input file '" + (dir / "missing") +
                     "': No such file or directory",
                 dir);
}

TEST(Failure, DependencyWithoutArrowStopsTheRun) {
  const struct {
    std::string input;
    int line;
    std::string output;
  } rows[] = {
      {"A,B\n\nA->B\nAB\nC->D\n", 4, "A,B\n\nA->B\n"},
      {"\nA-B", 2, "\n"},
      {"A\n\n\n\nA>B\nA->B\n", 5, "A\n\n\n\n"},
      {"A\n\nA- >B\n", 3, "A\n\n"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.input);
    scratch_dir dir;
    write_file(dir / "in", row.input);
    expect_failure(dir / "in", dir / "out",
                   dir / "in" + ":" + std::to_string(row.line) +
                       ": dependency has no \"->\"",
                   dir);
    EXPECT_EQ(read_file(dir / "out"), row.output);
    EXPECT_EQ(read_file(dir / "in"), row.input);
  }
}

// Mode bits of path.
mode_t mode_of(const std::string& path) {
  struct stat status {};
  EXPECT_EQ(::stat(path.c_str(), &status), 0);
  return status.st_mode & 07777;
}

TEST(OutputFile, NewFileGets664MinusUmask) {
  scratch_dir dir;
  write_file(dir / "in", kInput);
  const struct {
    mode_t umask, mode;
  } rows[] = {{0, 0664}, {022, 0644}, {077, 0600}, {0002, 0664}};
  for (const auto& row : rows) {
    const mode_t saved = ::umask(row.umask);
    const std::string out = dir / ("out" + std::to_string(row.umask));
    const outcome run = run_tool({dir / "in", out}, dir);
    ::umask(saved);
    EXPECT_EQ(run.status, 0) << run.err;
    EXPECT_EQ(mode_of(out), row.mode) << "umask " << row.umask;
  }
}

TEST(OutputFile, ExistingFileIsCutInPlace) {
  scratch_dir dir;
  write_file(dir / "in", "A\n");
  write_file(dir / "out", std::string(10000, 'x'));
  ::chmod((dir / "out").c_str(), 0640);
  struct stat before {};
  ::stat((dir / "out").c_str(), &before);

  const outcome run = run_tool({dir / "in", dir / "out"}, dir);
  ASSERT_EQ(run.status, 0) << run.err;
  struct stat after {};
  ::stat((dir / "out").c_str(), &after);
  EXPECT_EQ(after.st_ino, before.st_ino);
  EXPECT_EQ(mode_of(dir / "out"), 0640u);
  EXPECT_EQ(read_file(dir / "out").substr(0, 3), "A\n\n");
  EXPECT_EQ(read_file(dir / "out").find('x'), std::string::npos);
}

}  // namespace
