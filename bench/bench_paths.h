// Where the benchmarks find their data: bench/run.sh makes it and passes
// its places through the environment.
#pragma once

#include <benchmark/benchmark.h>

#include <string>

namespace velmor_bench {

// VELMOR_BENCH_WORK: a directory on the filesystem under test, holding
// md5.bin (+ md5.bin.md5), pkg/p.upd and the unpacked pkg/p.
std::string WorkDir();
// VELMOR_BENCH_URL: the loopback server's base URL ("http://127.0.0.1:port").
std::string BaseUrl();

// WorkDir() + "/" + relative.
std::string WorkPath(const std::string& relative);

// Where a run writes: WorkPath(name), with "." + VELMOR_BENCH_RUN appended
// when that is set, so that each run of a series gets a place of its own.
std::string RunPath(const std::string& name);

// Removes `path` and everything below it; missing is fine.
void RemoveTree(const std::string& path);

// Recreates `target` as the tree below `source` with every file empty: an
// earlier installation whose files the update replaces.
bool MakeEmptyCopy(const std::string& source, const std::string& target);

// The whole text of a small file; empty when it cannot be read.
std::string ReadText(const std::string& path);

// Ends the benchmark with an error when the environment lacks its data.
bool HaveWorkDir(benchmark::State& state);

// Peak resident memory of this process so far, in MiB.
double PeakRssMib();

}  // namespace velmor_bench
