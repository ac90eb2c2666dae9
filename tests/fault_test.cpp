// The tool under injected faults: a run is repeated with each of its
// allocations failing in turn, then with each read of the input and each
// write to the output failing in turn. Every such run must end with one
// message and exit status 1, leave the input as it was, and leave in the
// output whole lines that begin the correct output, never the verdict.
#include <cstdlib>
#include <string>
#include <vector>

#include "gtest/gtest.h"
#include "test_util.h"

namespace {

// An input that takes every phase through its paths: several read blocks, a
// repeated schema line, a chain whose closures are long enough to be
// remembered and reused, a replaced right side, an empty line among the
// dependencies, and a lost dependency that sorts last, so that all the
// others are tested first.
std::string realistic_input() {
  std::string schemas =
      "A,B,C\nC,D\nA,B,C\n" + std::string(70000, 'x') + ",A\n";
  std::string dependencies = "A->B\nA->C\nC->D\n\nA,B->D\n";
  for (int i = 0; i < 20; ++i) {
    const std::string here = "L" + std::to_string(i),
                      next = "L" + std::to_string(i + 1);
    schemas += here + "," + next + (i == 0 ? ",K" : "") + "\n";
    dependencies += here + "->" + next + "\n";
  }
  dependencies += "L0,A->L20\nL0,C->L19\nD->A\nZ->K\n";
  return schemas + "\n" + dependencies;
}

// How many allocations and I/O calls a clean run makes.
struct fault_points {
  long allocations = 0, io = 0;
};

class Faults : public ::testing::Test {
 protected:
  void SetUp() override {
    write_file(input_, realistic_input());
    const outcome clean = run_tool({input_, output_}, dir_);
    ASSERT_EQ(clean.status, 0) << clean.err;
    expected_ = read_file(output_);
  }

  fault_points count() {
    const outcome counted = run_program(FDKEEP_FAULTS_BINARY, {input_, output_},
                                        {"FDKEEP_COUNT_FAULTS=1"}, dir_);
    EXPECT_EQ(counted.status, 0);
    EXPECT_EQ(read_file(output_), expected_);
    fault_points points;
    EXPECT_EQ(std::sscanf(counted.err.c_str(), "allocations %ld io %ld",
                          &points.allocations, &points.io),
              2)
        << counted.err;
    return points;
  }

  // Runs the tool with fault set to k; returns its standard error after
  // checking what every failed run must leave behind.
  std::string fail(const std::string& fault, long k) {
    std::filesystem::remove(output_);
    const outcome run = run_program(FDKEEP_FAULTS_BINARY, {input_, output_},
                                    {fault + "=" + std::to_string(k)}, dir_);
    EXPECT_EQ(run.status, 1);
    EXPECT_EQ(run.out, "");
    EXPECT_EQ(read_file(input_), realistic_input());
    const std::string output =
        std::filesystem::exists(output_) ? read_file(output_) : "";
    EXPECT_LT(output.size(), expected_.size()) << "the run wrote everything";
    EXPECT_EQ(expected_.compare(0, output.size(), output), 0)
        << "the output is not a beginning of the correct output";
    EXPECT_TRUE(output.empty() || output.back() == '\n')
        << "the output ends inside a line";
    return run.err;
  }

  scratch_dir dir_;
  const std::string input_ = dir_ / "in", output_ = dir_ / "out";
  std::string expected_;
};

TEST_F(Faults, EveryFailedAllocationEndsWithOutOfMemory) {
  const fault_points points = count();
  ASSERT_GT(points.allocations, 100);
  for (long k = 1; k <= points.allocations; ++k) {
    SCOPED_TRACE("allocation " + std::to_string(k));
    EXPECT_EQ(fail("FDKEEP_FAIL_ALLOCATION", k), "fdkeep: out of memory\n");
    if (HasFailure()) break;
  }
}

TEST_F(Faults, EveryFailedReadOrWriteNamesItsFile) {
  const fault_points points = count();
  ASSERT_GT(points.io, 40);
  const std::string read_error =
      "fdkeep: cannot read input file '" + input_ + "': Input/output error\n";
  const std::string write_error = "fdkeep: cannot write output file '" +
                                  output_ + "': Input/output error\n";
  int reads = 0;
  for (long k = 1; k <= points.io; ++k) {
    SCOPED_TRACE("I/O call " + std::to_string(k));
    const std::string error = fail("FDKEEP_FAIL_IO", k);
    reads += error == read_error;
    EXPECT_TRUE(error == read_error || error == write_error) << error;
    if (HasFailure()) break;
  }
  EXPECT_GE(reads, 3) << "reads at the start, in the middle and at the end";
}

// fdkeep-explain under the same faults: it writes only once it has its
// whole explanation, so every failed run ends with one message, status 2
// and nothing on standard output.
TEST_F(Faults, ExplainFailsCleanlyUnderEveryFault) {
  const outcome counted = run_program(FDKEEP_EXPLAIN_FAULTS_BINARY, {input_},
                                      {"FDKEEP_COUNT_FAULTS=1"}, dir_);
  ASSERT_EQ(counted.status, 1);  // the last dependency is lost
  fault_points points;
  ASSERT_EQ(std::sscanf(counted.err.c_str(), "allocations %ld io %ld",
                        &points.allocations, &points.io),
            2)
      << counted.err;
  const struct {
    const char* fault;
    long points;
    std::string message;
  } sweeps[] = {
      {"FDKEEP_FAIL_ALLOCATION", points.allocations, "out of memory"},
      {"FDKEEP_FAIL_IO", points.io,
       "cannot read input file '" + input_ + "': Input/output error"},
  };
  for (const auto& sweep : sweeps)
    for (long k = 1; k <= sweep.points; ++k) {
      SCOPED_TRACE(std::string(sweep.fault) + " " + std::to_string(k));
      const outcome run = run_program(
          FDKEEP_EXPLAIN_FAULTS_BINARY, {input_},
          {std::string(sweep.fault) + "=" + std::to_string(k)}, dir_);
      EXPECT_EQ(run.status, 2);
      EXPECT_EQ(run.out, "");
      EXPECT_EQ(run.err, "fdkeep-explain: " + sweep.message + "\n");
      if (HasFailure()) return;
    }
}

}  // namespace
