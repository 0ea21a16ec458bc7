// Runs the built varnex program and collects its exit status and output.
#pragma once

#include <sys/wait.h>

#include <cstdio>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

namespace VarnexTest {

struct ProgramResult {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

inline std::string ReadWhole(const std::string& path) {
  std::ifstream in(path);
  std::stringstream text;
  text << in.rdbuf();
  return text.str();
}

// `arguments` is appended to the program path as shell words.
inline ProgramResult RunVarnex(const std::string& arguments) {
  const std::string base = ::testing::TempDir() + "varnex_run_" + std::to_string(::getpid());
  const std::string command =
      std::string("'") + VARNEX_CLI_PATH + "' " + arguments + " > '" + base + ".out' 2> '" + base + ".err'";
  const int raw = std::system(command.c_str());
  ProgramResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = ReadWhole(base + ".out");
  result.err = ReadWhole(base + ".err");
  std::remove((base + ".out").c_str());
  std::remove((base + ".err").c_str());
  return result;
}

}  // namespace VarnexTest
