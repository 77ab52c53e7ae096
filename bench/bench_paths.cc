#include "bench/bench_paths.h"

#include <sys/resource.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <system_error>

namespace fs = std::filesystem;

namespace velmor_bench {

static std::string Environment(const char* name) {
  const char* value = std::getenv(name);
  return value ? value : "";
}

std::string WorkDir() { return Environment("VELMOR_BENCH_WORK"); }
std::string BaseUrl() { return Environment("VELMOR_BENCH_URL"); }
std::string WorkPath(const std::string& relative) { return WorkDir() + "/" + relative; }

std::string RunPath(const std::string& name) {
  const std::string run = Environment("VELMOR_BENCH_RUN");
  return WorkPath(run.empty() ? name : name + "." + run);
}

void RemoveTree(const std::string& path) {
  std::error_code ignored;
  fs::remove_all(path, ignored);
}

bool MakeEmptyCopy(const std::string& source, const std::string& target) {
  std::error_code error;
  fs::create_directories(target, error);
  if (error) return false;
  for (fs::recursive_directory_iterator it(source, error), end; !error && it != end;
       it.increment(error)) {
    const fs::path destination = target / it->path().lexically_relative(source);
    if (it->is_directory()) {
      fs::create_directories(destination, error);
    } else {
      std::ofstream(destination).close();
    }
  }
  return !error;
}

std::string ReadText(const std::string& path) {
  std::ifstream in(path);
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

bool HaveWorkDir(benchmark::State& state) {
  if (!WorkDir().empty() && fs::is_directory(WorkDir())) return true;
  state.SkipWithError("VELMOR_BENCH_WORK names no directory (run bench/run.sh)");
  return false;
}

double PeakRssMib() {
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  return static_cast<double>(usage.ru_maxrss) / 1024.0;  // kilobytes on Linux
}

}  // namespace velmor_bench
