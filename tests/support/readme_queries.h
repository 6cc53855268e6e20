// The SQL questions the README's Inventory section shows (its ```sql blocks),
// for the test that runs them and the benchmark that times them.
#pragma once

#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace testing_support {

inline std::vector<std::string> ReadmeQueries(const std::string& readme = std::string(PCINFO_TEST_DATA) +
                                                                          "/../../README.md") {
  std::ifstream in(readme, std::ios::binary);
  std::vector<std::string> queries;
  std::string line, block;
  bool section = false, in_block = false;
  while (std::getline(in, line)) {
    if (line.starts_with("## ")) section = line == "## Inventory";
    if (!section) continue;
    if (!in_block && line == "```sql") {
      in_block = true;
      block.clear();
    } else if (in_block && line == "```") {
      in_block = false;
      queries.push_back(block);
    } else if (in_block) {
      block += line + "\n";
    }
  }
  return queries;
}

}  // namespace testing_support
