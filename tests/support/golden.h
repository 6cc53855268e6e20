// Golden files: reviewed outputs kept under tests/data. A test compares what
// the code gives now with its golden file, byte for byte. With
// PCINFO_UPDATE_GOLDEN=1 in the environment (scripts/golden sets it) the test
// writes the file instead, so that a change shows in `git diff tests/data`.
#pragma once

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <fstream>
#include <sstream>
#include <string>
#include <string_view>

namespace testing_support {

inline bool UpdatingGolden() {
  const char* update = std::getenv("PCINFO_UPDATE_GOLDEN");
  return update != nullptr && std::string_view(update) == "1";
}

// The line of `text` that holds byte `at`, without its line end.
inline std::string LineAt(const std::string& text, std::size_t at) {
  if (at >= text.size()) return "<end of text>";
  std::size_t begin = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
  begin = begin == std::string::npos ? 0 : begin + 1;
  const std::size_t end = text.find('\n', at);
  std::string line = text.substr(begin, end == std::string::npos ? std::string::npos : end - begin);
  if (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// `relative` is the golden file's path below tests/data.
inline void ExpectMatchesGolden(const std::string& relative, const std::string& actual) {
  const std::string path = std::string(PCINFO_TEST_DATA) + "/" + relative;
  if (UpdatingGolden()) {
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    out << actual;
    ASSERT_TRUE(out.good()) << "could not write " << path;
    return;
  }
  std::ifstream in(path, std::ios::binary);
  ASSERT_TRUE(in.good()) << path << " is missing; scripts/golden writes it";
  std::ostringstream golden;
  golden << in.rdbuf();
  const std::string expected = golden.str();
  if (expected == actual) return;
  const auto [e, a] = std::mismatch(expected.begin(), expected.end(), actual.begin(), actual.end());
  const auto at = static_cast<std::size_t>(e - expected.begin());
  const auto line = 1 + std::count(expected.begin(), e, '\n');
  ADD_FAILURE() << path << " differs from the output at line " << line << " (byte " << at << ")\n"
                << "  golden: " << LineAt(expected, at) << "\n"
                << "  now:    " << LineAt(actual, static_cast<std::size_t>(a - actual.begin())) << "\n"
                << "If the change is meant, run scripts/golden and review `git diff tests/data`.";
}

}  // namespace testing_support
