// The shipped examples: the tool's output matches each expected output byte
// for byte, as does output_for() on the same bytes in memory, and each
// verdict is the one the definition gives.
#include <filesystem>
#include <string>

#include "definition.h"
#include "gtest/gtest.h"
#include "main.h"
#include "test_util.h"

namespace {

namespace fs = std::filesystem;

TEST(Examples, OutputsMatchAndVerdictsFollowTheDefinition) {
  const std::string yes = "f\xFCgg\xF5s\xE9g\xF6rz\xF5\n";
  int examples = 0;
  for (const auto& entry : fs::directory_iterator(FDKEEP_EXAMPLES_DIR)) {
    if (entry.path().extension() != ".txt") continue;
    ++examples;
    const std::string input = entry.path().string();
    fs::path expected_path = entry.path();
    expected_path.replace_extension(".out");
    SCOPED_TRACE(input);

    scratch_dir dir;
    const outcome run = run_tool({input, dir / "out"}, dir);
    ASSERT_EQ(run.status, 0) << run.err;
    const std::string output = read_file(dir / "out");
    EXPECT_EQ(output, read_file(expected_path.string()));
    EXPECT_EQ(output_for(read_file(input), input), output);

    const std::optional<bool> expected =
        verdict_by_definition(read_file(input));
    ASSERT_TRUE(expected.has_value());
    // The negative verdict ends with " " + yes, the positive one with "\n".
    EXPECT_EQ(output.ends_with("\n" + yes), *expected);
  }
  EXPECT_GE(examples, 4);
}

}  // namespace
