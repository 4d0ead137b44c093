// What every benchmark needs: timing, the page cache warmed, a grid's worth of rows, and a main
// that reports failures.
#pragma once

#include <chrono>
#include <functional>
#include <string>

#include "data/data_source.h"

using Clock = std::chrono::steady_clock;

double MicrosSince(Clock::time_point start);
// Microseconds per call of `op` (given 1..reps), after one call that warms the caches.
double MicrosPerOp(int reps, const std::function<void(int)>& op);
double ResidentMiB();
// Reads the table files of `dir` through once, so that every run starts with them in the page
// cache.
void WarmPageCache(const std::string& dir);

// The engine's configuration while the object lives: a file, named by DBENGINE_CONF, that gives
// the program's database directory to the server that `conninfo` (a libpq connection string)
// reaches. The engine reads it when a record set first opens the database.
class ServerConfig {
  public:
    explicit ServerConfig(const std::string& conninfo);
    ~ServerConfig();
    ServerConfig(const ServerConfig&) = delete;
    ServerConfig& operator=(const ServerConfig&) = delete;

  private:
    std::string file_;
};

// A view of a grid's height: the record sets keep this many records at hand.
class GridRows : public TDataLink {
  public:
    int BufferCount() const override { return 30; }
    void DataEvent(TDataEvent, TField*, int) override {}
};

// A benchmark's main: refuses another number of arguments than `argcWanted` with `usage`, runs
// `run` and reports its failure. Answers the exit status.
int BenchMain(int argc, int argcWanted, const char* usage, const std::function<void()>& run);
