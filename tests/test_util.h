// Small helpers shared by the tests: scratch directories, whole-file reads
// and writes, a readable rendering of schemas, and running the built tool.
#ifndef FDKEEP_TESTS_TEST_UTIL_H_
#define FDKEEP_TESTS_TEST_UTIL_H_

#include <filesystem>
#include <string>
#include <vector>

#include "schema.h"

// A fresh directory under the system's temporary directory, removed with
// everything in it when the guard goes away, also after a failed assertion.
class scratch_dir {
 public:
  scratch_dir();
  ~scratch_dir();
  scratch_dir(const scratch_dir&) = delete;
  scratch_dir& operator=(const scratch_dir&) = delete;

  // The path of name inside the directory.
  std::string operator/(const std::string& name) const;

 private:
  std::filesystem::path path_;
};

// The bytes of a file; fails the current test when it cannot be read.
std::string read_file(const std::string& path);

// Replaces the file's content by bytes.
void write_file(const std::string& path, const std::string& bytes);

// Renders each name in brackets, in the schema's order: {"", "A"} is "[][A]",
// the empty schema is "".
std::string render(const schema& s);

// What a run of the tool left behind.
struct outcome {
  int status;       // exit status, or -1 when the process did not exit
  std::string out;  // standard output
  std::string err;  // standard error
};

// Runs program with args and, added to the environment, the NAME=VALUE
// entries of environment; standard input comes from stdin_path, stdout and
// stderr are captured in files inside dir.
outcome run_program(const std::string& program,
                    const std::vector<std::string>& args,
                    const std::vector<std::string>& environment,
                    const scratch_dir& dir,
                    const std::string& stdin_path = "/dev/null");

// Runs the built tool with args, as run_program does.
outcome run_tool(const std::vector<std::string>& args, const scratch_dir& dir,
                 const std::string& stdin_path = "/dev/null");

#endif  // FDKEEP_TESTS_TEST_UTIL_H_
