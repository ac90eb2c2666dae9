// Fault injection for a test-only build of the tool. Environment variables
// choose the fault:
//   FDKEEP_FAIL_ALLOCATION=k  the k-th allocation through operator new throws
//                             std::bad_alloc (later ones succeed);
//   FDKEEP_FAIL_IO=k          the k-th read, write or writev on a file other
//                             than standard input, output and error fails
//                             with EIO;
//   FDKEEP_COUNT_FAULTS=1     at exit, "allocations N io M" goes to standard
//                             error, so that a test knows how many points
//                             there are to sweep.
// The definitions here take the place of the C library's read, write and
// writev for calls from the tool, which reach the real ones through dlsym.
#include <dlfcn.h>
#include <sys/uio.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <new>

namespace {

long from_environment(const char* name) {
  const char* value = std::getenv(name);
  return value == nullptr ? 0 : std::atol(value);
}

// What to fail and what has been counted so far. Trivially destructible, so
// that it outlives every static object that might still allocate at exit.
struct fault_plan {
  long fail_allocation = from_environment("FDKEEP_FAIL_ALLOCATION");
  long fail_io = from_environment("FDKEEP_FAIL_IO");
  bool count = from_environment("FDKEEP_COUNT_FAULTS") != 0;
  long allocations = 0;
  long io_calls = 0;
};

fault_plan& plan() {
  static fault_plan the_plan;
  return the_plan;
}

// Reports the counts when the program ends.
struct count_report {
  ~count_report() {
    if (!plan().count) return;
    char text[64];
    const int length =
        std::snprintf(text, sizeof text, "allocations %ld io %ld\n",
                      plan().allocations, plan().io_calls);
    if (length > 0) (void)!::write(STDERR_FILENO, text, length);
  }
} report_at_exit;

void* allocate(std::size_t size) {
  if (++plan().allocations == plan().fail_allocation) throw std::bad_alloc();
  if (void* memory = std::malloc(size == 0 ? 1 : size)) return memory;
  throw std::bad_alloc();
}

// True when this call on fd is the one to fail.
bool io_fails(int fd) {
  if (fd <= 2) return false;
  if (++plan().io_calls != plan().fail_io) return false;
  errno = EIO;
  return true;
}

template <typename Function>
Function real(const char* name) {
  return reinterpret_cast<Function>(::dlsym(RTLD_NEXT, name));
}

}  // namespace

void* operator new(std::size_t size) { return allocate(size); }
void* operator new[](std::size_t size) { return allocate(size); }
void operator delete(void* memory) noexcept { std::free(memory); }
void operator delete[](void* memory) noexcept { std::free(memory); }
void operator delete(void* memory, std::size_t) noexcept { std::free(memory); }
void operator delete[](void* memory, std::size_t) noexcept {
  std::free(memory);
}

extern "C" ssize_t read(int fd, void* buffer, size_t size) {
  static const auto next = real<ssize_t (*)(int, void*, size_t)>("read");
  return io_fails(fd) ? -1 : next(fd, buffer, size);
}

extern "C" ssize_t write(int fd, const void* buffer, size_t size) {
  static const auto next = real<ssize_t (*)(int, const void*, size_t)>("write");
  return io_fails(fd) ? -1 : next(fd, buffer, size);
}

extern "C" ssize_t writev(int fd, const iovec* parts, int count) {
  static const auto next = real<ssize_t (*)(int, const iovec*, int)>("writev");
  return io_fails(fd) ? -1 : next(fd, parts, count);
}
