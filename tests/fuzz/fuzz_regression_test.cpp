// Runs every input kept in tests/fuzz/regressions/<target>/ through the fuzz
// target of that name (fuzz/fuzz_<target>.cpp, built into this program), so
// that an input that once broke a reader keeps being checked by the same
// properties the fuzzer checks. Each input is one test.

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <vector>

#include "capture_sink.h"
#include "fuzz_util.h"

namespace fs = std::filesystem;

namespace VarnexFuzz {

std::map<std::string, Target>& Targets() {
  static std::map<std::string, Target> targets;
  return targets;
}

void Register(const char* name, Target target) { Targets()[name] = target; }

void Fail(const char* what) { ADD_FAILURE() << "fuzz property broken: " << what; }

}  // namespace VarnexFuzz

namespace {

class KeptInput : public ::testing::Test {
 public:
  KeptInput(VarnexFuzz::Target target, fs::path file) : target_(target), file_(std::move(file)) {}
  void TestBody() override {
    std::ifstream in(file_, std::ios::binary);
    ASSERT_TRUE(in.good()) << file_;
    const std::string bytes{std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>()};
    VarnexTest::CaptureSink quiet;  // the targets check properties, not messages
    target_(reinterpret_cast<const std::uint8_t*>(bytes.data()), bytes.size());
  }

 private:
  VarnexFuzz::Target target_;
  fs::path file_;
};

// A test that fails with `problem`.
class Broken : public ::testing::Test {
 public:
  explicit Broken(std::string problem) : problem_(std::move(problem)) {}
  void TestBody() override { FAIL() << problem_; }

 private:
  std::string problem_;
};

template <typename Factory>
void Register(const std::string& suite, const std::string& name, Factory factory) {
  ::testing::RegisterTest(suite.c_str(), name.c_str(), nullptr, nullptr, __FILE__, __LINE__, factory);
}

}  // namespace

int main(int argc, char** argv) {
  ::testing::InitGoogleTest(&argc, argv);
  const fs::path root = VARNEX_FUZZ_REGRESSION_DIR;
  // Every target has kept inputs, and every folder of inputs has a target.
  for (const auto& [name, target] : VarnexFuzz::Targets()) {
    const fs::path dir = root / name;
    if (!fs::is_directory(dir)) {
      Register("FuzzRegression", name, [dir] { return new Broken("no kept inputs in " + dir.string()); });
      continue;
    }
    std::vector<fs::path> files;
    for (const auto& entry : fs::directory_iterator(dir))
      if (entry.is_regular_file()) files.push_back(entry.path());
    std::sort(files.begin(), files.end());
    for (const fs::path& file : files)
      Register("FuzzRegression_" + name, file.filename().string(),
               [target = target, file] { return new KeptInput(target, file); });
  }
  if (fs::is_directory(root))
    for (const auto& entry : fs::directory_iterator(root))
      if (VarnexFuzz::Targets().count(entry.path().filename().string()) == 0)
        Register("FuzzRegression", entry.path().filename().string(),
                 [dir = entry.path()] { return new Broken("no fuzz target for " + dir.string()); });
  return RUN_ALL_TESTS();
}
