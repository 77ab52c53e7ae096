// The benchmark program: wxWidgets and libcurl set up as the launcher's
// start-up does, then Google Benchmark's own main.
#include <benchmark/benchmark.h>
#include <curl/curl.h>
#include <wx/init.h>

#include "launcher/system/mini_dumper.h"

int main(int argc, char** argv) {
  // A crash must show as one, not end the run quietly with a dump.
  MiniDumper::SuppressInstallation(true);
  if (!wxInitialize()) return 1;
  curl_global_init(CURL_GLOBAL_ALL);
  benchmark::Initialize(&argc, argv);
  if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
  benchmark::RunSpecifiedBenchmarks();
  benchmark::Shutdown();
  curl_global_cleanup();
  wxUninitialize();
  return 0;
}
