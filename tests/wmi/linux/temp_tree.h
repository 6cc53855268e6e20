// A tree written by a test into a temporary folder: the files a case needs,
// each named with the text it holds, so the test shows a value beside its source.
#pragma once

#include <unistd.h>

#include <atomic>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>

#include "tests/wmi/linux/tree_util.h"

namespace lxtest {

class TempTree {
 public:
  TempTree() {
    static std::atomic<int> counter{0};
    root_ = std::filesystem::temp_directory_path() /
            ("pcinfo-tree-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(root_);
    std::filesystem::create_directories(root_);
  }
  explicit TempTree(const std::map<std::string, std::string>& files) : TempTree() {
    for (const auto& [path, text] : files) File(path, text);
  }
  ~TempTree() {
    std::error_code ec;
    std::filesystem::remove_all(root_, ec);
  }
  TempTree(const TempTree&) = delete;
  TempTree& operator=(const TempTree&) = delete;

  // Writes `text` to `path` (absolute inside the tree), making its folders.
  TempTree& File(const std::string& path, const std::string& text) {
    std::filesystem::path p = root_ / path.substr(1);
    std::filesystem::create_directories(p.parent_path());
    std::ofstream(p, std::ios::binary) << text;
    return *this;
  }
  // A symbolic link at `path` to the in-tree path `target`.
  TempTree& Link(const std::string& path, const std::string& target) {
    std::filesystem::path p = root_ / path.substr(1);
    std::filesystem::create_directories(p.parent_path());
    std::filesystem::create_directory_symlink(std::filesystem::relative(root_ / target.substr(1), p.parent_path()), p);
    return *this;
  }
  std::string root() const { return root_.string(); }

  std::vector<wmi::Instance> All(const std::string& cls) {
    auto provider = wmi::lx::LinuxProvider::ForTree(root());
    auto rs = provider->Connect("winmgmts:")->ExecQuery("Select * from " + cls, wmi::kCategoryFlags);
    std::vector<wmi::Instance> out;
    while (auto i = rs->Next()) out.push_back(std::move(*i));
    return out;
  }

 private:
  std::filesystem::path root_;
};

}  // namespace lxtest
