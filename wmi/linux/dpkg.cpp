// Win32_Product from dpkg's database: the installed packages of
// /var/lib/dpkg/status, each with the time dpkg last unpacked it (the
// modification time of its file list in /var/lib/dpkg/info). The packages of
// rpm's database follow (rpm.cpp).
#include <cctype>

#include "wmi/linux/backend.h"
#include "wmi/linux/rpm.h"

namespace wmi::lx {

namespace {

// One package's fields: the first line of each (continuation lines only extend the description).
using Paragraph = std::map<std::string, std::string>;

// Whether a package or architecture name may stand in a path below /var/lib/dpkg/info.
bool PlainName(const std::string& name) {
  if (name.empty() || name.size() > 256 || name == "." || name == "..") return false;
  for (char c : name)
    if (!(std::isalnum(static_cast<unsigned char>(c)) || c == '.' || c == '+' || c == '-' || c == '_')) return false;
  return true;
}

// The maintainer's name without the mail address ("Jane Doe <jane@example.org>" -> "Jane Doe").
std::optional<std::string> MaintainerName(const std::string& maintainer) {
  std::string name = Trim(maintainer.substr(0, maintainer.find('<')));
  if (name.empty()) name = Trim(maintainer);
  return name.empty() ? std::nullopt : std::optional<std::string>(name);
}

std::optional<std::string> Field(const Paragraph& p, const char* key) {
  auto it = p.find(key);
  return it == p.end() || it->second.empty() ? std::nullopt : std::optional<std::string>(it->second);
}

}  // namespace

InstanceList BuildProducts(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<Paragraph> installed;
  Paragraph current;
  auto finish = [&] {
    // "Status: install ok installed": wanted, flag, state; only a package whose state is installed.
    auto status = Words(current.count("Status") ? current["Status"] : "");
    if (status.size() == 3 && status[2] == "installed" && Field(current, "Package")) installed.push_back(current);
    current.clear();
  };
  tree.EachLine("/var/lib/dpkg/status", [&](std::string_view line) {
    if (Trim(line).empty()) {
      finish();
      return;
    }
    if (line.front() == ' ' || line.front() == '\t') return;  // a continuation line
    auto colon = line.find(':');
    if (colon == std::string_view::npos) return;
    current.emplace(Trim(line.substr(0, colon)), Trim(line.substr(colon + 1)));
  });
  finish();

  InstanceList out;
  for (const Paragraph& p : installed) {
    std::string name = *Field(p, "Package");
    auto arch = Field(p, "Architecture");
    auto version = Field(p, "Version");
    Builder b(def, ctx);
    b.Text("Name", name).Text("Caption", name).Text("Description", Field(p, "Description"));
    b.Text("Version", version).Text("IdentifyingNumber", arch ? name + ":" + *arch : name);
    if (auto maintainer = Field(p, "Maintainer")) b.Text("Vendor", MaintainerName(*maintainer));
    b.Text("URLInfoAbout", Field(p, "Homepage"));
    b.Int("InstallState", 5);  // installed
    // A package that can be installed for several architectures keeps its list under name:arch.
    if (PlainName(name)) {
      std::optional<std::int64_t> unpacked;
      if (arch && PlainName(*arch)) unpacked = tree.ModifiedTime("/var/lib/dpkg/info/" + name + ":" + *arch + ".list");
      if (!unpacked) unpacked = tree.ModifiedTime("/var/lib/dpkg/info/" + name + ".list");
      if (unpacked) {
        auto when = ctx.DateTime(*unpacked);
        b.Text("InstallDate2", when);
        if (when) b.Text("InstallDate", when->substr(0, 8));  // yyyymmdd, as Windows Installer writes it
      }
    }
    out.push_back(b.Build());
  }
  for (Instance& i : RpmProducts(def, ctx)) out.push_back(std::move(i));
  return out;
}

}  // namespace wmi::lx
