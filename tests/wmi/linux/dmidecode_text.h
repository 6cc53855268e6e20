// dmidecode's decode of the corpus tables (tests/data/smbios/<machine>/dmidecode.txt),
// read as an independent reference for the firmware classes.
#pragma once

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <map>
#include <sstream>
#include <string>
#include <vector>

namespace lxtest {

// One structure as dmidecode prints it: its type and its "Key: Value" lines.
struct Decoded {
  int type = -1;
  std::map<std::string, std::string> fields;
  std::string Get(const std::string& key) const {
    auto it = fields.find(key);
    return it == fields.end() ? std::string() : it->second;
  }
};

inline std::string Trimmed(std::string s) {
  while (!s.empty() && (s.back() == ' ' || s.back() == '\t' || s.back() == '\r')) s.pop_back();
  std::size_t i = 0;
  while (i < s.size() && (s[i] == ' ' || s[i] == '\t')) ++i;
  return s.substr(i);
}

struct Dmidecode {
  std::string version;  // "3.0" from "SMBIOS 3.0.0 present."
  std::vector<Decoded> structures;
  std::vector<const Decoded*> OfType(int type) const {
    std::vector<const Decoded*> out;
    for (const Decoded& d : structures)
      if (d.type == type) out.push_back(&d);
    return out;
  }
};

inline Dmidecode ReadDmidecode(const std::string& path) {
  Dmidecode out;
  std::ifstream in(path);
  std::string line;
  while (std::getline(in, line)) {
    if (line.rfind("SMBIOS ", 0) == 0 && line.find(" present") != std::string::npos) {
      std::istringstream w(line.substr(7));
      std::string v;
      w >> v;
      auto second_dot = v.find('.', v.find('.') + 1);
      out.version = v.substr(0, second_dot);
    } else if (line.rfind("Handle ", 0) == 0) {
      Decoded d;
      auto at = line.find("DMI type ");
      if (at != std::string::npos) d.type = std::stoi(line.substr(at + 9));
      out.structures.push_back(d);
    } else if (!out.structures.empty() && line.size() > 1 && line[0] == '\t' && line[1] != '\t') {
      auto colon = line.find(':');
      if (colon != std::string::npos)
        out.structures.back().fields.emplace(Trimmed(line.substr(1, colon - 1)), Trimmed(line.substr(colon + 1)));
    }
  }
  return out;
}

// The corpus machines: the folders of tests/data/smbios, sorted.
inline std::vector<std::string> CorpusMachines() {
  std::vector<std::string> out;
  for (const auto& e : std::filesystem::directory_iterator(std::string(PCINFO_TEST_DATA) + "/smbios"))
    if (e.is_directory()) out.push_back(e.path().filename().string());
  std::sort(out.begin(), out.end());
  return out;
}

}  // namespace lxtest
