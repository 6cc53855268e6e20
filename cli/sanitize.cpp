#include "cli/sanitize.h"

#include <algorithm>
#include <array>
#include <cstdio>
#include <map>
#include <set>
#include <string>

#include "wmi/provider.h"

namespace cli {

namespace {

bool IsHex(char c) { return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'f') || (c >= 'A' && c <= 'F'); }

// xx:xx:xx:xx:xx:xx or xx-xx-xx-xx-xx-xx.
bool IsMac(std::string_view s) {
  if (s.size() != 17) return false;
  for (std::size_t i = 0; i < s.size(); ++i) {
    if (i % 3 == 2) {
      if (s[i] != ':' && s[i] != '-') return false;
    } else if (!IsHex(s[i])) {
      return false;
    }
  }
  return true;
}

bool IsIPv4(std::string_view s) {
  int parts = 0, digits = 0, value = 0;
  for (char c : s) {
    if (c == '.') {
      if (digits == 0) return false;
      ++parts, digits = 0, value = 0;
    } else if (c >= '0' && c <= '9') {
      value = value * 10 + (c - '0');
      if (++digits > 3 || value > 255) return false;
    } else {
      return false;
    }
  }
  return parts == 3 && digits > 0;
}

bool IsIPv6(std::string_view s) {
  if (s.size() < 2 || s.find(':') == std::string_view::npos) return false;
  for (char c : s)
    if (!(IsHex(c) || c == ':' || c == '.' || c == '%')) return false;
  return s.find("::") != std::string_view::npos || std::count(s.begin(), s.end(), ':') == 7;
}

class Masker {
 public:
  // Originals are noted first, so that no mask is made equal to one of them.
  void Note(const wmi::Value& v) {
    if (v.kind() == wmi::Value::Kind::Text) originals_.insert(v.text());
    if (v.kind() == wmi::Value::Kind::Integer) originals_.insert(std::to_string(v.integer()));
    if (v.is_array())
      for (const wmi::Value& e : v.elements()) Note(e);
  }

  // The mask of one original value's text, the same each time.
  std::string Mask(const std::string& original) {
    auto it = masks_.find(original);
    if (it != masks_.end()) return it->second;
    std::string mask;
    do mask = NextMask(original);
    while (originals_.count(mask));
    return masks_.emplace(original, mask).first->second;
  }

  std::string NextMask(const std::string& original) {
    char buffer[64];
    if (IsMac(original)) {
      ++macs_;
      std::snprintf(buffer, sizeof buffer, "02:00:00:%02X:%02X:%02X", (macs_ >> 16) & 0xff, (macs_ >> 8) & 0xff,
                    macs_ & 0xff);
    } else if (IsIPv4(original) && ipv4_ < 3 * 254) {
      static constexpr std::array<const char*, 3> kNets = {"192.0.2", "198.51.100", "203.0.113"};
      std::snprintf(buffer, sizeof buffer, "%s.%d", kNets[ipv4_ / 254], ipv4_ % 254 + 1);
      ++ipv4_;
    } else if (IsIPv6(original)) {
      std::snprintf(buffer, sizeof buffer, "2001:db8::%x", ++ipv6_);
    } else {
      std::snprintf(buffer, sizeof buffer, "masked-%d", ++others_);
    }
    return buffer;
  }

  wmi::Value MaskValue(const wmi::Value& v) {
    switch (v.kind()) {
      case wmi::Value::Kind::Text:
        if (v.text().empty()) return v;
        return Mask(v.text());
      case wmi::Value::Kind::Integer:
        return Mask(std::to_string(v.integer()));
      case wmi::Value::Kind::Real:
        return Mask(std::to_string(v.real()));
      case wmi::Value::Kind::Array: {
        std::vector<wmi::Value> elements;
        for (const wmi::Value& e : v.elements()) elements.push_back(MaskValue(e));
        return elements;
      }
      default:
        return v;
    }
  }

  // Every occurrence of a masked original (four characters or more) within
  // the text, replaced by its mask; the longest original wins at each place,
  // and the text of a mask is not searched again.
  std::string Replace(const std::string& text) const {
    std::string out;
    std::size_t i = 0;
    while (i < text.size()) {
      const std::pair<const std::string, std::string>* hit = nullptr;
      auto range = by_first_.find(text[i]);
      if (range != by_first_.end())
        for (const auto* entry : range->second)
          if (text.compare(i, entry->first.size(), entry->first) == 0) {
            hit = entry;
            break;
          }
      if (hit) {
        out += hit->second;
        i += hit->first.size();
      } else {
        out += text[i++];
      }
    }
    return out;
  }

  wmi::Value ReplaceIn(const wmi::Value& v) const {
    if (v.kind() == wmi::Value::Kind::Text) return Replace(v.text());
    if (v.is_array()) {
      std::vector<wmi::Value> elements;
      for (const wmi::Value& e : v.elements()) elements.push_back(ReplaceIn(e));
      return elements;
    }
    return v;
  }

  // Builds the index Replace searches by, once every value is masked.
  void Index() {
    by_first_.clear();
    for (const auto& entry : masks_)
      if (entry.first.size() >= 4) by_first_[entry.first[0]].push_back(&entry);
    for (auto& [c, list] : by_first_)
      std::sort(list.begin(), list.end(), [](auto* a, auto* b) { return a->first.size() > b->first.size(); });
  }

 private:
  std::set<std::string> originals_;
  std::map<std::string, std::string> masks_;
  std::map<char, std::vector<const std::pair<const std::string, std::string>*>> by_first_;
  int macs_ = 0, ipv4_ = 0, ipv6_ = 0, others_ = 0;
};

bool IsSanitized(std::string_view class_name, std::string_view property) {
  for (std::string_view entry : SanitizedProperties()) {
    auto dot = entry.find('.');
    if (dot == std::string_view::npos) {
      if (wmi::EqualsIgnoreCase(entry, property)) return true;
    } else if (wmi::EqualsIgnoreCase(entry.substr(0, dot), class_name) &&
               wmi::EqualsIgnoreCase(entry.substr(dot + 1), property)) {
      return true;
    }
  }
  return false;
}

}  // namespace

const std::vector<std::string_view>& SanitizedProperties() {
  static const std::vector<std::string_view> kProperties = {
      // Serial numbers and unique identifiers of the hardware and the system.
      "SerialNumber",
      "IdentifyingNumber",
      "UUID",
      "ProcessorId",
      "VolumeSerialNumber",
      "SMBIOSAssetTag",
      "AssetTag",
      "GUID",
      // Network addresses.
      "MACAddress",
      "PermanentAddress",
      "NetworkAddresses",
      "IPAddress",
      "DefaultIPGateway",
      "DHCPServer",
      "DNSServerSearchOrder",
      "WINSPrimaryServer",
      "WINSSecondaryServer",
      "IPXAddress",
      // Host and domain names.
      "CSName",
      "SystemName",
      "DNSHostName",
      "DNSDomain",
      "DNSDomainSuffixSearchOrder",
      "Domain",
      "Workgroup",
      "ServerName",
      "__SERVER",
      "PSComputerName",
      "Win32_ComputerSystem.Name",
      // People and accounts.
      "UserName",
      "RegisteredUser",
      "Organization",
      "PrimaryOwnerName",
      "PrimaryOwnerContact",
      "FullName",
      "SID",
      "UserSID",
      "User",
      "Win32_UserAccount.Name",
      "Win32_NetworkLoginProfile.Name",
  };
  return kProperties;
}

void Sanitize(wmi::Snapshot& snapshot) {
  Masker masker;
  for (const wmi::RecordedNamespace& ns : snapshot.namespaces)
    for (const wmi::RecordedClass& c : ns.classes)
      for (const wmi::Instance& instance : c.instances)
        for (const wmi::Property& p : instance.Properties())
          if (IsSanitized(c.name, p.name)) masker.Note(p.value);
  for (wmi::RecordedNamespace& ns : snapshot.namespaces)
    for (wmi::RecordedClass& c : ns.classes)
      for (wmi::Instance& instance : c.instances) {
        std::vector<wmi::Property> properties = instance.Properties();
        for (wmi::Property& p : properties)
          if (IsSanitized(c.name, p.name)) p.value = masker.MaskValue(p.value);
        instance = wmi::Instance(std::move(properties));
      }
  masker.Index();
  for (wmi::RecordedNamespace& ns : snapshot.namespaces)
    for (wmi::RecordedClass& c : ns.classes)
      for (wmi::Instance& instance : c.instances) {
        std::vector<wmi::Property> properties = instance.Properties();
        for (wmi::Property& p : properties) p.value = masker.ReplaceIn(p.value);
        instance = wmi::Instance(std::move(properties));
      }
}

}  // namespace cli
