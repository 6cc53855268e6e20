// The Linux backend's file parsers on any bytes: one file of a captured tree
// is replaced by the input, then every class is built and each value turned
// into text. The first two bytes choose the file; the rest is its content.
#include <unistd.h>

#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

#include "wmi/error.h"
#include "wmi/linux/linux_provider.h"
#include "wmi/text.h"

namespace fs = std::filesystem;

namespace {

struct Tree {
  fs::path root;
  std::vector<fs::path> files;  // regular files, relative to root
};

const Tree& Fixture() {
  static const Tree tree = [] {
    Tree t;
    t.root = fs::temp_directory_path() / ("pcinfo-fuzz-tree-" + std::to_string(::getpid()));
    fs::remove_all(t.root);
    fs::copy(std::string(PCINFO_TEST_DATA) + "/linux/laptop", t.root,
             fs::copy_options::recursive | fs::copy_options::copy_symlinks);
    for (const auto& e : fs::recursive_directory_iterator(t.root))
      if (e.is_regular_file() && !e.is_symlink()) t.files.push_back(fs::relative(e.path(), t.root));
    std::sort(t.files.begin(), t.files.end());
    return t;
  }();
  return tree;
}

std::string ReadAll(const fs::path& p) {
  std::ifstream in(p, std::ios::binary);
  return std::string(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

void WriteAll(const fs::path& p, std::string_view bytes) {
  std::ofstream(p, std::ios::binary | std::ios::trunc).write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const Tree& tree = Fixture();
  if (size < 2 || tree.files.empty()) return 0;
  std::size_t index = (static_cast<std::size_t>(data[0]) << 8 | data[1]) % tree.files.size();
  fs::path file = tree.root / tree.files[index];
  const std::string original = ReadAll(file);
  WriteAll(file, std::string_view(reinterpret_cast<const char*>(data) + 2, size - 2));

  auto provider = wmi::lx::LinuxProvider::ForTree(tree.root.string());
  try {
    auto connection = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
    for (const std::string& name : wmi::lx::KnownClassNames()) {
      try {
        auto rs = connection->InstancesOf(name, 16);
        while (auto instance = rs->Next())
          for (const wmi::Property& p : instance->Properties()) {
            try {
              (void)wmi::Convert(p.value);
            } catch (const wmi::Error&) {
            }
          }
      } catch (const wmi::Error&) {
      }
    }
  } catch (const wmi::Error&) {
  }

  WriteAll(file, original);
  return 0;
}
