// Win32_LogonSession from systemd-logind's /run/systemd/sessions when present,
// else from the login records of utmp.
#include <utmp.h>

#include <cstring>

#include "wmi/linux/backend.h"

namespace wmi::lx {

InstanceList BuildLogonSessions(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  std::vector<std::string> sessions;
  for (const std::string& e : tree.List("/run/systemd/sessions"))
    if (e.find('.') == std::string::npos) sessions.push_back(e);  // leave out the .ref pipes
  if (!sessions.empty()) {
    for (const std::string& id : sessions) {
      auto text = tree.Read("/run/systemd/sessions/" + id);
      if (!text) continue;
      auto kv = KeyValues(*text, '=');
      Builder b(def, ctx);
      b.Text("LogonId", id);
      std::string cls = kv.count("CLASS") ? kv["CLASS"] : "user";
      std::int64_t type = 2;  // Interactive
      if (kv.count("REMOTE") && kv["REMOTE"] == "1")
        type = 10;  // RemoteInteractive
      else if (cls == "background" || cls == "manager" || cls == "manager-early")
        type = 5;  // Service
      b.Int("LogonType", type);
      if (kv.count("SERVICE")) b.Text("AuthenticationPackage", kv["SERVICE"]);
      if (kv.count("REALTIME")) {
        if (auto us = ParseInt(kv["REALTIME"]); us && *us > 0)
          b.Text("StartTime", ctx.DateTime(*us / 1000000, static_cast<int>(*us % 1000000)));
      }
      out.push_back(b.Build());
    }
    return out;
  }
  // utmp: the USER_PROCESS records, one per login.
  std::optional<std::string> data = tree.Read("/run/utmp");
  if (!data) data = tree.Read("/var/run/utmp");
  if (!data) return out;
  for (std::size_t off = 0; off + sizeof(struct utmp) <= data->size(); off += sizeof(struct utmp)) {
    struct utmp u;
    std::memcpy(&u, data->data() + off, sizeof u);
    if (u.ut_type != USER_PROCESS) continue;
    auto field = [](const char* s, std::size_t n) { return std::string(s, strnlen(s, n)); };
    Builder b(def, ctx);
    b.Text("LogonId", std::to_string(u.ut_session ? u.ut_session : u.ut_pid));
    std::string host = field(u.ut_host, sizeof u.ut_host);
    b.Int("LogonType", host.empty() ? 2 : 10);
    if (u.ut_tv.tv_sec > 0) b.Text("StartTime", ctx.DateTime(u.ut_tv.tv_sec, static_cast<int>(u.ut_tv.tv_usec)));
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
