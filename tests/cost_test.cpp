// What the analysis costs, counted rather than timed: on every hostile shape,
// preserved and lost, at two sizes, the work per tested dependency (names
// processed, dependencies and rules looked at, closures begun) stays within
// twice the input's size. Quadratic shapes measure 0.8 to 1.7 here (an
// explanation that walks a whole cycle or every round of two schemas for
// each lost dependency); a test that became cubic on one of them would do
// work in proportion to the square of the size per dependency, hundreds of
// times the input's size at these sizes.
#include <string>

#include "gtest/gtest.h"
#include "preservation.h"
#include "reading.h"
#include "shapes.h"

namespace {

constexpr double kWorkPerDependencyAndSize = 2;

// The work per dependency and number of the input.
double per_dependency_and_size(const work_count& work,
                               const numbered_input& model) {
  const double size = static_cast<double>(model.left.value_count() +
                                          model.right.value_count() +
                                          model.schemas.value_count());
  return static_cast<double>(work.total()) /
         static_cast<double>(model.dependency_count()) / size;
}

TEST(Cost, WorkPerDependencyStaysWithinTheInputsSize) {
  for (const hostile_shape& shape : hostile_shapes())
    for (const bool lost : {false, true})
      for (const size_t bytes : {12'000, 25'000}) {
        SCOPED_TRACE(std::string(shape.name) + (lost ? ", lost, " : ", ") +
                     std::to_string(bytes) + " bytes");
        const input in =
            read_input_text(make_shape(shape, bytes, lost, 1), "shape");
        work_count verdict, explanation;
        EXPECT_EQ(preserves(in.model, verdict), !lost && shape.preservable);
        explain(in.model, {}, [](size_t, const dependency_report&) {},
                explanation);
        EXPECT_LE(per_dependency_and_size(verdict, in.model),
                  kWorkPerDependencyAndSize);
        EXPECT_LE(per_dependency_and_size(explanation, in.model),
                  kWorkPerDependencyAndSize);
      }
}

}  // namespace
