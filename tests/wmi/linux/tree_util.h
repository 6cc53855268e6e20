// Helpers for the Linux backend tests: a provider over a tree in tests/data/linux.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "wmi/error.h"
#include "wmi/linux/linux_provider.h"
#include "wmi/text.h"

namespace wmi {
inline void PrintTo(const Value& v, std::ostream* os) { *os << Describe(v); }
}  // namespace wmi

namespace lxtest {

inline std::string TreePath(const std::string& name) { return std::string(PCINFO_TEST_DATA) + "/linux/" + name; }

struct TreeFixture {
  explicit TreeFixture(const std::string& name) : provider(wmi::lx::LinuxProvider::ForTree(TreePath(name))) {}

  std::vector<wmi::Instance> Query(const std::string& wql) {
    auto c = provider->Connect("winmgmts:\\\\.\\root\\cimv2");
    auto rs = c->ExecQuery(wql, wmi::kCategoryFlags);
    std::vector<wmi::Instance> out;
    while (auto i = rs->Next()) out.push_back(std::move(*i));
    return out;
  }
  std::vector<wmi::Instance> All(const std::string& cls) { return Query("Select * from " + cls); }
  // The one instance whose `key` property holds `value`.
  wmi::Instance One(const std::string& cls, const std::string& key, const std::string& value) {
    for (auto& i : All(cls)) {
      const wmi::Value& v = i.Get(key);
      if (v.kind() == wmi::Value::Kind::Text && v.text() == value) return i;
    }
    ADD_FAILURE() << "no " << cls << " with " << key << " = " << value;
    return wmi::Instance();
  }

  std::unique_ptr<wmi::lx::LinuxProvider> provider;
};

inline wmi::Value Texts(std::vector<std::string> items) {
  std::vector<wmi::Value> e;
  for (auto& s : items) e.emplace_back(std::move(s));
  return wmi::Value(std::move(e));
}

inline wmi::Value Ints(std::vector<std::int64_t> items) {
  std::vector<wmi::Value> e;
  for (auto i : items) e.emplace_back(i);
  return wmi::Value(std::move(e));
}

}  // namespace lxtest

#define EXPECT_PROP(inst, name, expected) EXPECT_EQ((inst).Get(name), wmi::Value(expected)) << (name)
#define EXPECT_NULL(inst, name) \
  EXPECT_TRUE((inst).Get(name).is_null()) << (name) << " = " << wmi::Describe((inst).Get(name))
