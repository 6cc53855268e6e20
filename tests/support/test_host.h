// A host for running procedures in tests: a pane in memory, a snapshot given
// as JSON text, and an auto-clear switch holding a check-box value.
#pragma once

#include <memory>
#include <string>

#include "queries/host.h"
#include "queries/pane.h"
#include "wmi/recorded/snapshot.h"

namespace testing_support {

// A host over a provider owned elsewhere, auto-clear off.
class PaneHost : public queries::Host {
 public:
  explicit PaneHost(wmi::Provider& p) : provider_(p) {}
  queries::Pane& pane() override { return pane_; }
  wmi::Provider& provider() override { return provider_; }
  bool IsAutoClear() override { return false; }
  std::string text() const { return pane_.text(); }

 private:
  queries::TextPane pane_;
  wmi::Provider& provider_;
};

class TestHost : public queries::Host {
 public:
  explicit TestHost(const std::string& snapshot_json, int check_value = 0)
      : provider_(std::make_shared<const wmi::Snapshot>(wmi::ParseSnapshot(snapshot_json, "inline.json"))),
        check_value_(check_value) {}

  queries::Pane& pane() override { return pane_; }
  wmi::Provider& provider() override { return provider_; }
  bool IsAutoClear() override { return queries::IsTicked(check_value_); }

  void set_check_value(int v) { check_value_ = v; }
  queries::TextPane& text_pane() { return pane_; }
  const std::string& text() const { return pane_.text(); }

 private:
  queries::TextPane pane_;
  wmi::RecordedProvider provider_;
  int check_value_;
};

// Splits pane text at CR LF; every line must end with CR LF.
inline std::vector<std::string> Lines(const std::string& text) {
  std::vector<std::string> out;
  std::size_t start = 0;
  while (start < text.size()) {
    auto end = text.find("\r\n", start);
    if (end == std::string::npos) {
      out.push_back("<<unterminated>>" + text.substr(start));
      break;
    }
    out.push_back(text.substr(start, end - start));
    start = end + 2;
  }
  return out;
}

inline std::string Dashes(int n) { return std::string(static_cast<std::size_t>(n), '-'); }

}  // namespace testing_support
