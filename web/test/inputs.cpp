// Writes the generated inputs that the page's tests compare against the
// native tool into one folder: fdkeep_web_inputs FOLDER
//
//   wide.txt              the benchmark's wide workload at scale 1
//   big.txt               the lossy wide workload at scale 11 (10 MB)
//   shape-NAME-N[-lost].txt  each hostile shape at small sizes, both verdicts
//                         (blanks in NAME become dashes)
#include <algorithm>
#include <fstream>
#include <iostream>
#include <string>

#include "shapes.h"
#include "workloads.h"

namespace {

bool write(const std::string& path, const std::string& bytes) {
  std::ofstream out(path, std::ios::binary);
  out << bytes;
  return static_cast<bool>(out.flush());
}

}  // namespace

int main(int argc, char* argv[]) {
  if (argc != 2) {
    std::cerr << "usage: fdkeep_web_inputs FOLDER\n";
    return 2;
  }
  const std::string folder = std::string(argv[1]) + "/";
  bool written = write(folder + "wide.txt", wide_table(1, false)) &&
                 write(folder + "big.txt", wide_table(11, true));
  for (const hostile_shape& shape : hostile_shapes()) {
    std::string name = shape.name;
    std::replace(name.begin(), name.end(), ' ', '-');
    for (int n : {6, 17})
      for (bool lost : {false, true})
        written = written &&
                  write(folder + "shape-" + name + "-" + std::to_string(n) +
                            (lost ? "-lost" : "") + ".txt",
                        shape.make(n, lost, 1));
  }
  if (!written)
    std::cerr << "fdkeep_web_inputs: cannot write " << folder << "\n";
  return written ? 0 : 1;
}
