// Benchmarks the fdkeep binary on generated workloads and prints a table:
// workload, size, lines, median and minimum wall time, peak memory, verdict,
// and the check against each workload's target.
//
// usage: fdkeep_bench FDKEEP EXPLAIN FLOOR_ECHO FLOOR_EMPTY WORKDIR [RUNS]
//        fdkeep_bench --compare RUNS INPUT PROGRAM...
//        fdkeep_bench --hostile FDKEEP WORKDIR
//        fdkeep_bench --shapes FDKEEP EXPLAIN FLOOR_ECHO WORKDIR
//                     [RUNS [CPU_LIMIT [ONLY]]]
//        fdkeep_bench --shape NAME BYTES [lost]
// The second form runs each program on INPUT in turn, RUNS times, and prints
// each one's median and its ratio to the first: a side-by-side comparison of
// two builds. The third runs fdkeep on hostile inputs (a 100 MB line, ten
// million empty lines, a million distinct names, a dependency of 100,000
// names), each at half and at full size, to show that time and memory grow
// linearly with them. The fourth times the hostile shapes of shapes.h, each
// at two sizes, preserved and lost, beside the echo floor on the same file. The
// fifth writes one shape's input to standard output.
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <cstdio>
#include <fstream>
#include <functional>
#include <string>
#include <vector>

#include "preservation.h"
#include "reading.h"
#include "shapes.h"
#include "workloads.h"

namespace {

struct sample {
  double seconds;
  long peak_kib;
  bool finished = true;  // false when the run hit its time limit
};

// Runs program with args and measures it. A command of the form
// PROGRAM INPUT OUTPUT gets a fresh OUTPUT: the file is removed first, so
// that every run creates its output rather than cutting the last one. A
// positive cpu_limit stops the run after that many seconds of CPU time;
// any other failure ends the benchmark.
sample measure(const std::vector<std::string>& command, int cpu_limit = 0) {
  if (command.size() == 3) unlink(command[2].c_str());
  std::vector<char*> argv;
  for (const std::string& word : command)
    argv.push_back(const_cast<char*>(word.c_str()));
  argv.push_back(nullptr);
  const auto start = std::chrono::steady_clock::now();
  const pid_t pid = fork();
  if (pid == 0) {
    if (cpu_limit > 0) {
      const rlimit limit{static_cast<rlim_t>(cpu_limit),
                         static_cast<rlim_t>(cpu_limit)};
      setrlimit(RLIMIT_CPU, &limit);
    }
    // What a program prints would mix with the table.
    const int null = open("/dev/null", O_WRONLY);
    if (null >= 0) dup2(null, STDOUT_FILENO);
    execv(argv[0], argv.data());
    _exit(127);
  }
  int status = 0;
  rusage usage{};
  wait4(pid, &status, 0, &usage);
  const auto end = std::chrono::steady_clock::now();
  const double seconds = std::chrono::duration<double>(end - start).count();
  if (cpu_limit > 0 && WIFSIGNALED(status) &&
      (WTERMSIG(status) == SIGXCPU || WTERMSIG(status) == SIGKILL))
    return {seconds, usage.ru_maxrss, false};
  // fdkeep-explain says with status 1 that a dependency is lost.
  const bool explaining = command[0].ends_with("fdkeep-explain");
  if (!WIFEXITED(status) || WEXITSTATUS(status) > (explaining ? 1 : 0)) {
    std::fprintf(stderr, "%s failed\n", command[0].c_str());
    std::exit(1);
  }
  return {seconds, usage.ru_maxrss};
}

double median(std::vector<double> values) {
  std::sort(values.begin(), values.end());
  const size_t n = values.size();
  return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2]) / 2;
}

struct timing {
  double median_s, min_s;
  long peak_kib;
  bool finished = true;  // false when a run hit its time limit
};

timing summarize(const std::vector<sample>& samples) {
  std::vector<double> seconds;
  long peak = 0;
  bool finished = true;
  for (const sample& s : samples) {
    seconds.push_back(s.seconds);
    peak = std::max(peak, s.peak_kib);
    finished = finished && s.finished;
  }
  return {median(seconds), *std::min_element(seconds.begin(), seconds.end()),
          peak, finished};
}

// Runs the commands in turn, runs times, so that they share the machine's
// mood, and returns one timing per command. A command that hits cpu_limit
// (when positive) is not run again.
std::vector<timing> side_by_side(
    const std::vector<std::vector<std::string>>& commands, int runs,
    int cpu_limit = 0) {
  std::vector<std::vector<sample>> samples(commands.size());
  for (int r = 0; r < runs; ++r)
    for (size_t c = 0; c < commands.size(); ++c)
      if (samples[c].empty() || samples[c].back().finished)
        samples[c].push_back(measure(commands[c], cpu_limit));
  std::vector<timing> result;
  for (const auto& s : samples) result.push_back(summarize(s));
  return result;
}

std::string verdict_of(const std::string& output) {
  std::ifstream in(output, std::ios::binary);
  std::string line, last;
  while (std::getline(in, line)) last = line;
  if (last == "f\xFCgg\xF5s\xE9g\xF6rz\xF5") return "true";
  if (last == "nem f\xFCgg\xF5s\xE9g\xF6rz\xF5") return "false";
  return "?";
}

size_t count_lines(const std::string& text) {
  return std::count(text.begin(), text.end(), '\n');
}

struct workload {
  std::string name, size;
  std::function<std::string()> make;
};

}  // namespace

// Times programs side by side on one input; see the usage above.
int compare(int runs, const std::string& input,
            const std::vector<std::string>& programs) {
  std::vector<std::vector<std::string>> commands;
  for (const std::string& program : programs)
    commands.push_back({program, input, "/tmp/fdkeep_bench_compare.out"});
  const std::vector<timing> t = side_by_side(commands, runs);
  for (size_t i = 0; i < programs.size(); ++i)
    std::printf("%-40s median %8.2f ms  min %8.2f ms  %.3f x first\n",
                programs[i].c_str(), t[i].median_s * 1e3, t[i].min_s * 1e3,
                t[i].median_s / t[0].median_s);
  return 0;
}

// Hostile inputs at half and full size; see the usage above.
int hostile(const std::string& fdkeep, const std::string& dir) {
  const struct {
    const char* name;
    std::function<std::string(size_t)> make;  // the input at a given size
    size_t full;
  } inputs[] = {
      {"one long line (bytes)", [](size_t n) { return std::string(n, 'x'); },
       100'000'000},
      {"empty lines", [](size_t n) { return std::string(n, '\n'); },
       10'000'000},
      {"distinct names",
       [](size_t n) {
         std::string schemas, dependencies;
         for (size_t line = 0; line < n / 1000; ++line) {
           std::string first, last;
           for (size_t i = 0; i < 1000; ++i) {
             last = 'n' + std::to_string(line * 1000 + i);
             if (i == 0) first = last;
             schemas += (i ? "," : "") + last;
           }
           schemas += '\n';
           dependencies += first + "->" + last + '\n';
         }
         return schemas + "\n" + dependencies;
       },
       1'000'000},
      {"names in one dependency",
       [](size_t n) {
         std::string schemas, left;
         for (size_t i = 0; i < n; ++i) {
           const std::string name = 'a' + std::to_string(i);
           schemas += name + (i % 1000 == 999 ? "\n" : ",");
           left += (i ? "," : "") + name;
         }
         return "b," + schemas + "\na0->b\n" + left + "->b\n";
       },
       100'000},
  };
  std::printf("%-24s %12s %10s %10s %12s %12s\n", "hostile input", "size", "ms",
              "peak MiB", "time ratio", "memory ratio");
  for (const auto& input : inputs) {
    timing half{};
    for (size_t size : {input.full / 2, input.full}) {
      const std::string path = dir + "/hostile.txt";
      std::ofstream(path, std::ios::binary) << input.make(size);
      const timing t =
          side_by_side({{fdkeep, path, dir + "/hostile.out"}}, 3)[0];
      if (size == input.full)
        std::printf("%-24s %12zu %10.0f %10.1f %12.2f %12.2f\n", input.name,
                    size, t.median_s * 1e3, t.peak_kib / 1024.0,
                    t.median_s / half.median_s,
                    static_cast<double>(t.peak_kib) / half.peak_kib);
      else
        std::printf("%-24s %12zu %10.0f %10.1f\n", input.name, size,
                    t.median_s * 1e3, t.peak_kib / 1024.0);
      std::fflush(stdout);
      half = t;
    }
  }
  std::remove((dir + "/hostile.txt").c_str());
  std::remove((dir + "/hostile.out").c_str());
  return 0;
}

// The growth of a time over the one before (none for the first), as text.
std::string growth_text(double seconds, double previous) {
  char text[16];
  std::snprintf(text, sizeof text, "%.2f", seconds / previous);
  return previous > 0 ? text : "-";
}

// The hostile shapes at half and all of their benchmark size, preserved
// and lost, fdkeep and fdkeep-explain each run side by side with the echo
// floor on the same file. A run that takes more than cpu_limit seconds ends
// its shape. Growth is judged from half to full size; the quarter size, where
// runs take a few tens of milliseconds and a shared machine's noise moves a
// ratio by a third, is left out. Only the shapes whose names hold only (when
// it is not empty) are run; a verdict other than the shape's is a miss.
int shapes(const std::string& fdkeep, const std::string& explain,
           const std::string& echo, const std::string& dir, int runs,
           int cpu_limit, const std::string& only) {
  std::printf("%-13s %-5s %9s %9s %6s %6s %10s %6s %6s %8s %s\n", "shape",
              "made", "bytes", "fdkeep ms", "growth", "x echo", "explain ms",
              "growth", "x echo", "peak MiB",
              "targets (growth <= 4.6, x echo <= 100, memory)");
  const std::string path = dir + "/shape.txt", out = dir + "/shape.out",
                    floor_out = dir + "/shape.floor";
  for (const hostile_shape& shape : hostile_shapes()) {
    if (!only.empty() && std::string(shape.name).find(only) == std::string::npos)
      continue;
    for (const bool lost : {false, true}) {
      double previous[2] = {0, 0};
      for (size_t bytes : {shape.benchmark_bytes / 2, shape.benchmark_bytes}) {
        const bool judge_growth = bytes == shape.benchmark_bytes;
        const std::string text_in = make_shape(shape, bytes, lost, 1);
        std::ofstream(path, std::ios::binary) << text_in;
        const auto t = side_by_side(
            {{fdkeep, path, out}, {explain, path}, {echo, path, floor_out}},
            runs, cpu_limit);
        if (!t[0].finished || !t[1].finished) {
          std::printf("%-13s %-5s %9zu %9s\n", shape.name,
                      lost ? "lost" : "kept",
                      text_in.size(),
                      ("> " + std::to_string(cpu_limit) + " s").c_str());
          break;
        }
        const double memory_limit_kib =
            64.0 * text_in.size() / 1024 + 32 * 1024;
        bool met = std::max(t[0].peak_kib, t[1].peak_kib) <= memory_limit_kib &&
                   (verdict_of(out) == "true") == (!lost && shape.preservable);
        for (int i : {0, 1})
          met = met && t[i].median_s / t[2].median_s <= 100 &&
                (!judge_growth || t[i].median_s / previous[i] <= 4.6);
        std::printf(
            "%-13s %-5s %9zu %9.1f %6s %6.1f %10.1f %6s %6.1f %8.1f %s\n",
            shape.name, lost ? "lost" : "kept",
            text_in.size(), t[0].median_s * 1e3,
            growth_text(t[0].median_s, previous[0]).c_str(),
            t[0].median_s / t[2].median_s, t[1].median_s * 1e3,
            growth_text(t[1].median_s, previous[1]).c_str(),
            t[1].median_s / t[2].median_s,
            std::max(t[0].peak_kib, t[1].peak_kib) / 1024.0,
            met ? "ok" : "MISSED");
        std::fflush(stdout);
        previous[0] = t[0].median_s;
        previous[1] = t[1].median_s;
      }
    }
  }
  for (const std::string& file : {path, out, floor_out})
    std::remove(file.c_str());
  return 0;
}

// Writes the input of the shape called name at about bytes bytes to standard
// output; see the usage above.
int write_shape(const std::string& name, size_t bytes, bool lost) {
  const hostile_shape* shape = shape_named(name);
  if (shape == nullptr) {
    std::fprintf(stderr, "no shape called %s\n", name.c_str());
    return 2;
  }
  const std::string text = make_shape(*shape, bytes, lost, 1);
  std::fwrite(text.data(), 1, text.size(), stdout);
  return 0;
}

// Reads an input file and prints the verdict and the work the analysis did,
// for the verdict and for the explanation, per dependency and unit of the
// input's size, as the tests bound it.
int count_work(const std::string& path) {
  const input in = read_input(path);
  work_count verdict, explanation;
  const bool preserved = preserves(in.model, verdict);
  explain(in.model, {}, [](size_t, const dependency_report&) {}, explanation);
  const double per = static_cast<double>(std::max<size_t>(
                         1, in.model.dependency_count())) *
                     static_cast<double>(std::max<size_t>(
                         1, in.model.left.value_count() +
                                in.model.right.value_count() +
                                in.model.schemas.value_count()));
  std::printf("%s: %zu dependencies, %s; work per dependency and unit of "
              "size: verdict %.3f (%llu closures), explanation %.3f (%llu "
              "closures)\n",
              path.c_str(), in.model.dependency_count(),
              preserved ? "preserved" : "lost", verdict.total() / per,
              static_cast<unsigned long long>(verdict.closures),
              explanation.total() / per,
              static_cast<unsigned long long>(explanation.closures));
  return 0;
}

int main(int argc, char* argv[]) {
  if (argc == 3 && std::string(argv[1]) == "--work") return count_work(argv[2]);
  if (argc >= 4 && std::string(argv[1]) == "--shape")
    return write_shape(argv[2], std::strtoul(argv[3], nullptr, 10),
                       argc > 4 && std::string(argv[4]) == "lost");
  if (argc >= 6 && std::string(argv[1]) == "--shapes")
    return shapes(argv[2], argv[3], argv[4], argv[5],
                  argc > 6 ? std::atoi(argv[6]) : 5,
                  argc > 7 ? std::atoi(argv[7]) : 60, argc > 8 ? argv[8] : "");
  if (argc == 4 && std::string(argv[1]) == "--hostile")
    return hostile(argv[2], argv[3]);
  if (argc >= 5 && std::string(argv[1]) == "--compare")
    return compare(std::atoi(argv[2]), argv[3],
                   std::vector<std::string>(argv + 4, argv + argc));
  if (argc < 6) {
    std::fprintf(stderr,
                 "usage: fdkeep_bench FDKEEP EXPLAIN FLOOR_ECHO FLOOR_EMPTY "
                 "WORKDIR [RUNS]\n");
    return 2;
  }
  const std::string fdkeep = argv[1], explain = argv[2], echo = argv[3],
                    empty = argv[4], dir = argv[5];
  const int runs = argc > 6 ? std::atoi(argv[6]) : 7;
  const std::string out = dir + "/out";

  std::printf("%-18s %-12s %9s %10s %10s %9s %-7s %s\n", "workload", "size",
              "lines", "median ms", "min ms", "peak MiB", "verdict", "target");
  // A row of the table, with the verdict in output; floor programs have
  // none.
  auto row = [&](const std::string& name, const std::string& size, size_t lines,
                 const timing& t, const std::string& check,
                 const std::string& output) {
    const bool floor = name.starts_with(" ");
    std::printf("%-18s %-12s %9zu %10.1f %10.1f %9.1f %-7s %s\n", name.c_str(),
                size.c_str(), lines, t.median_s * 1e3, t.min_s * 1e3,
                t.peak_kib / 1024.0, floor ? "-" : verdict_of(output).c_str(),
                check.c_str());
    std::fflush(stdout);
  };
  auto write = [&](const std::string& name, const std::string& text) {
    const std::string path = dir + "/" + name + ".txt";
    std::ofstream(path, std::ios::binary) << text;
    return path;
  };
  auto within = [](double value, double limit) {
    return std::string(value <= limit ? "ok" : "MISSED");
  };
  char text[128];

  // Fixed-size workloads, each beside the echo floor on the same file, with a
  // limit in milliseconds or in times the floor.
  const struct {
    workload w;
    double limit_ms, limit_floor;  // 0: none
  } fixed[] = {
      {{"classroom", "k=2000", [] { return classroom_batch(2000); }}, 40, 1.5},
      {{"wide", "350 ent.", [] { return wide_table(1, false); }}, 100, 1.5},
      {{"wide-lossy", "350 ent.", [] { return wide_table(1, true); }}, 100, 0},
      {{"deep-chains", "4x200", [] { return deep_chains(); }}, 50, 0},
  };
  for (const auto& f : fixed) {
    const std::string text_in = f.w.make();
    const std::string path = write(f.w.name, text_in);
    const auto t =
        side_by_side({{fdkeep, path, out}, {echo, path, dir + "/floor"}}, runs);
    const double ratio = t[0].median_s / t[1].median_s;
    if (f.limit_floor > 0) {
      std::snprintf(text, sizeof text, "%.2f x echo floor (<= %.1f): %s",
                    ratio, f.limit_floor, within(ratio, f.limit_floor).c_str());
    } else {
      std::snprintf(text, sizeof text, "<= %.0f ms: %s (%.2f x echo floor)",
                    f.limit_ms, within(t[0].median_s * 1e3, f.limit_ms).c_str(),
                    ratio);
    }
    row(f.w.name, f.w.size, count_lines(text_in), t[0], text, out);
    row("  echo floor", "", count_lines(text_in), t[1], "", "");
  }

  // Explaining every dependency, beside fdkeep on the same input.
  for (const bool lossy : {false, true}) {
    const std::string text_in = wide_table(1, lossy);
    const std::string path = write(lossy ? "wide-lossy" : "wide", text_in);
    const auto t = side_by_side({{fdkeep, path, out}, {explain, path}}, runs);
    const double ratio = t[1].median_s / t[0].median_s;
    std::snprintf(text, sizeof text, "%.2f x fdkeep (<= 3): %s", ratio,
                  within(ratio, 3).c_str());
    row(lossy ? "explain lossy" : "explain wide", "350 ent.",
        count_lines(text_in), t[1], text, out);
  }

  // The big file, against a program that only echoes it.
  {
    const std::string text_in = big_file();
    const std::string path = write("big", text_in);
    const auto t =
        side_by_side({{fdkeep, path, out}, {echo, path, dir + "/floor"}}, runs);
    const double ratio = t[0].median_s / t[1].median_s;
    const double memory_limit_kib = 3.0 * text_in.size() / 1024 + 16 * 1024;
    std::snprintf(text, sizeof text,
                  "%.2f x echo floor (<= 1.3): %s; memory <= %.0f MiB: %s",
                  ratio, within(ratio, 1.3).c_str(), memory_limit_kib / 1024,
                  within(t[0].peak_kib, memory_limit_kib).c_str());
    row("big-file", "1M lines", count_lines(text_in), t[0], text, out);
    std::snprintf(text, sizeof text, "floor for big-file");
    row("  echo floor", "", count_lines(text_in), t[1], text, "");
  }

  // The tiny file, against a program that does nothing.
  {
    const std::string text_in = classroom_batch(1);
    const std::string path = write("tiny", text_in);
    const auto t = side_by_side({{fdkeep, path, out}, {empty}}, runs * 5);
    const double ratio = t[0].median_s / t[1].median_s;
    std::snprintf(text, sizeof text, "%.2f x empty program (<= 1.2): %s", ratio,
                  within(ratio, 1.2).c_str());
    row("tiny", "k=1", count_lines(text_in), t[0], text, out);
    row("  empty program", "", 0, t[1], "floor for tiny", "");
  }

  // Growth with size: time per unit of size, relative to the smallest. The
  // four sizes run interleaved, so that they share the machine's load.
  for (const char* name : {"classroom", "wide"}) {
    const int scales[] = {1, 2, 4, 8};
    std::vector<std::vector<std::string>> commands;
    std::vector<size_t> lines;
    for (int scale : scales) {
      const std::string text_in = std::string(name) == "classroom"
                                      ? classroom_batch(2000 * scale)
                                      : wide_table(scale, false);
      const std::string stem = std::string(name) + "-x" + std::to_string(scale);
      commands.push_back(
          {fdkeep, write(stem, text_in), dir + "/" + stem + ".out"});
      lines.push_back(count_lines(text_in));
    }
    const std::vector<timing> t = side_by_side(commands, runs);
    for (size_t i = 0; i < t.size(); ++i) {
      const double growth = t[i].median_s / (t[0].median_s * scales[i]);
      std::snprintf(text, sizeof text, "time/size %.2f of 1x (<= 1.3): %s",
                    growth, within(growth, 1.3).c_str());
      row(name, std::to_string(scales[i]) + "x", lines[i], t[i], text,
          commands[i][2]);
    }
  }
  return 0;
}
