#include "test_util.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fstream>
#include <sstream>

#include "gtest/gtest.h"

extern char** environ;

scratch_dir::scratch_dir() {
  std::string pattern =
      (std::filesystem::temp_directory_path() / "fdkeep-test-XXXXXX").string();
  if (::mkdtemp(pattern.data()) == nullptr) ADD_FAILURE() << "mkdtemp failed";
  path_ = pattern;
}

scratch_dir::~scratch_dir() {
  std::error_code ignored;
  std::filesystem::remove_all(path_, ignored);
}

std::string scratch_dir::operator/(const std::string& name) const {
  return (path_ / name).string();
}

std::string read_file(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  EXPECT_TRUE(in) << "cannot read " << path;
  std::ostringstream bytes;
  bytes << in.rdbuf();
  return bytes.str();
}

void write_file(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << bytes;
  ASSERT_TRUE(out.flush()) << "cannot write " << path;
}

std::string render(const schema& s) {
  std::string text;
  for (const std::string& name : s) text += "[" + name + "]";
  return text;
}

outcome run_tool(const std::vector<std::string>& args, const scratch_dir& dir,
                 const std::string& stdin_path) {
  return run_program(FDKEEP_BINARY, args, {}, dir, stdin_path);
}

outcome run_program(const std::string& program,
                    const std::vector<std::string>& args,
                    const std::vector<std::string>& environment,
                    const scratch_dir& dir, const std::string& stdin_path) {
  const std::string out_path = dir / ".stdout", err_path = dir / ".stderr";
  std::vector<std::string> words{program};
  words.insert(words.end(), args.begin(), args.end());
  std::vector<char*> argv;
  for (std::string& word : words) argv.push_back(word.data());
  argv.push_back(nullptr);
  std::vector<std::string> entries(environment);
  std::vector<char*> envp;
  // The language comes only from what a test gives, whatever the machine's.
  for (char** entry = environ; *entry != nullptr; ++entry) {
    const std::string_view name(*entry);
    if (!name.starts_with("LC_ALL=") && !name.starts_with("LC_MESSAGES=") &&
        !name.starts_with("LANG="))
      envp.push_back(*entry);
  }
  for (std::string& entry : entries) envp.push_back(entry.data());
  envp.push_back(nullptr);

  posix_spawn_file_actions_t actions;
  posix_spawn_file_actions_init(&actions);
  posix_spawn_file_actions_addopen(&actions, 0, stdin_path.c_str(), O_RDONLY,
                                   0);
  posix_spawn_file_actions_addopen(&actions, 1, out_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  posix_spawn_file_actions_addopen(&actions, 2, err_path.c_str(),
                                   O_WRONLY | O_CREAT | O_TRUNC, 0600);
  pid_t pid = 0;
  const int spawned =
      posix_spawn(&pid, argv[0], &actions, nullptr, argv.data(), envp.data());
  posix_spawn_file_actions_destroy(&actions);
  if (spawned != 0) {
    ADD_FAILURE() << "cannot start " << argv[0];
    return {-1, "", ""};
  }
  int status = 0;
  ::waitpid(pid, &status, 0);
  outcome result{WIFEXITED(status) ? WEXITSTATUS(status) : -1,
                 read_file(out_path), read_file(err_path)};
  std::filesystem::remove(out_path);
  std::filesystem::remove(err_path);
  return result;
}
