// The floor under fdkeep on a big file: read the file line by line and write
// each line with a flush, nothing else.
#include <fstream>
#include <string>

int main(int argc, char* argv[]) {
  if (argc < 3) return 2;
  std::ifstream in(argv[1], std::ios::binary);
  std::ofstream out(argv[2], std::ios::binary);
  std::string line;
  while (std::getline(in, line)) out << line << '\n' << std::flush;
  return 0;
}
