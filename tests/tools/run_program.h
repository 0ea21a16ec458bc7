// Runs the built varnex program and collects its exit status and output.
#pragma once

#include <gtest/gtest.h>
#include <sys/wait.h>

#include <cstdio>
#include <sstream>
#include <string>
#include <vector>
#include <unistd.h>

#include "temp_dir.h"

namespace VarnexTest {

struct ProgramResult {
  int status = -1;  // the exit status; -1 when the program did not exit normally
  std::string out;
  std::string err;
};

// `arguments` is appended to the program path as shell words; `setup`, when
// given, is shell commands run before the program in its shell (a limit, say).
inline ProgramResult RunVarnex(const std::string& arguments, const std::string& setup = "") {
  const std::string base = ::testing::TempDir() + "varnex_run_" + std::to_string(::getpid());
  const std::string command = setup + (setup.empty() ? "" : "; ") + "'" + VARNEX_CLI_PATH + "' " + arguments +
                              " > '" + base + ".out' 2> '" + base + ".err'";
  const int raw = std::system(command.c_str());
  ProgramResult result;
  if (raw != -1 && WIFEXITED(raw)) result.status = WEXITSTATUS(raw);
  result.out = ReadFile(base + ".out");
  result.err = ReadFile(base + ".err");
  std::remove((base + ".out").c_str());
  std::remove((base + ".err").c_str());
  return result;
}

// Runs the program expecting exit status 0 (a failure names the arguments and
// shows stderr); its standard output.
inline std::string RunOk(const std::string& arguments) {
  const ProgramResult r = RunVarnex(arguments);
  EXPECT_EQ(r.status, 0) << arguments << "\n" << r.err;
  return r.out;
}

// The lines of a text, without their line breaks.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> lines;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) lines.push_back(line);
  return lines;
}

// The tab-separated fields of a line.
inline std::vector<std::string> Fields(const std::string& line) {
  std::vector<std::string> fields;
  std::istringstream in(line);
  for (std::string field; std::getline(in, field, '\t');) fields.push_back(field);
  return fields;
}

}  // namespace VarnexTest
