// Win32_NetworkAdapter and Win32_NetworkAdapterConfiguration from
// /sys/class/net, getifaddrs, /proc/net/route, /proc/net/ipv6_route and
// /etc/resolv.conf.
#include <arpa/inet.h>

#include <algorithm>
#include <cstdio>

#include "wmi/linux/backend.h"
#include "wmi/linux/checked.h"

namespace wmi::lx {

namespace {

struct Adapter {
  std::string ifname;
  std::int64_t index = 0;
  std::string name;  // product name
  std::optional<std::string> manufacturer, service, pnp, mac;
  std::optional<std::int64_t> mtu, type, flags;  // flags: IFF_UP, IFF_MULTICAST, ...
  std::optional<std::uint64_t> speed;
  std::optional<bool> up;
  bool physical = false, wireless = false;
  std::optional<std::int64_t> carrier;
};

std::vector<Adapter> ReadAdapters(Context& ctx) {
  const Tree& tree = ctx.tree();
  std::vector<Adapter> out;
  for (const std::string& ifname : tree.List("/sys/class/net")) {
    std::string dir = "/sys/class/net/" + ifname;
    auto index = tree.Number(dir + "/ifindex");
    if (!index) continue;
    Adapter a;
    a.ifname = ifname;
    a.index = *index;
    a.type = tree.Number(dir + "/type");
    a.mtu = tree.Number(dir + "/mtu", 0, UINT32_MAX);  // the kernel's unsigned MTU; "-1" is none
    a.flags = tree.Number(dir + "/flags", 0, UINT32_MAX);
    if (a.flags) a.up = (*a.flags & 1) != 0;
    a.carrier = tree.Number(dir + "/carrier");
    a.wireless = tree.Exists(dir + "/wireless") || tree.Exists(dir + "/phy80211");
    a.speed = MulU(Unsigned(tree.Number(dir + "/speed", 1, INT64_MAX)), 1000000);  // Mb/s
    if (auto m = tree.Line(dir + "/address")) {
      bool zero = std::all_of(m->begin(), m->end(), [](char c) { return c == '0' || c == ':'; });
      if (!zero && m->size() == 17) a.mac = Upper(*m);
    }
    auto device = tree.Resolve(dir + "/device");
    a.physical = device && device->find("/virtual/") == std::string::npos;
    if (device) {
      if (auto drv = tree.Resolve(dir + "/device/driver")) a.service = Basename(*drv);
      a.pnp = ctx.DeviceIdAbove(*device);
      for (const PciDevice& p : ctx.Pci())
        if (*device == p.sysfs || StartsWith(*device, p.sysfs + "/")) {
          a.manufacturer = p.vendor_name;
          if (p.device_name) a.name = *p.device_name;
        }
      for (const UsbDevice& u : ctx.Usb())
        if (*device == u.sysfs || StartsWith(*device, u.sysfs + "/")) {
          a.manufacturer = u.manufacturer;
          if (u.product_name) a.name = *u.product_name;
        }
    }
    if (a.name.empty()) {
      auto uevent = KeyValues(tree.Read(dir + "/uevent").value_or(""), '=');
      std::string kind = uevent.count("DEVTYPE") ? uevent["DEVTYPE"] : "";
      if (a.type == 772)
        a.name = "Software Loopback Interface";
      else if (kind == "bridge")
        a.name = "Bridge";
      else if (kind == "vlan")
        a.name = "VLAN";
      else if (kind == "bond")
        a.name = "Bond";
      else if (kind == "wlan" || a.wireless)
        a.name = "Wireless Adapter";
      else if (tree.Exists(dir + "/tun_flags"))
        a.name = "TUN/TAP Adapter";
      else if (a.physical)
        a.name = "Network Adapter";
      else
        a.name = ifname;  // a virtual interface of a kind sysfs does not tell (ifb, veth, dummy ...)
    }
    out.push_back(std::move(a));
  }
  std::sort(out.begin(), out.end(), [](const Adapter& x, const Adapter& y) { return x.index < y.index; });
  return out;
}

std::string Caption(const Adapter& a) {
  char buf[24];
  std::snprintf(buf, sizeof buf, "[%08lld] ", static_cast<long long>(a.index));
  return buf + a.name;
}

std::string Mask(int prefix) {
  std::uint32_t m = prefix <= 0 ? 0 : prefix >= 32 ? 0xFFFFFFFFu : ~((1u << (32 - prefix)) - 1);
  return std::to_string(m >> 24) + "." + std::to_string(m >> 16 & 0xFF) + "." + std::to_string(m >> 8 & 0xFF) + "." +
         std::to_string(m & 0xFF);
}

// A route of the main tables (/proc/net/route, /proc/net/ipv6_route).
struct Route {
  bool v6 = false;
  bool default_gateway = false;  // to everywhere, through a gateway
  std::string gateway;           // the gateway's address, for a default gateway
  std::optional<std::int64_t> metric;
};

std::string Ipv4(std::uint32_t g) {  // in network order, written by the kernel as a little-endian number
  return std::to_string(g & 0xFF) + "." + std::to_string(g >> 8 & 0xFF) + "." + std::to_string(g >> 16 & 0xFF) + "." +
         std::to_string(g >> 24);
}

// Every route by interface, in the order of the tables.
std::map<std::string, std::vector<Route>> Routes(const Tree& tree) {
  std::map<std::string, std::vector<Route>> out;
  tree.EachLine("/proc/net/route", [&](std::string_view line) {
    auto w = Words(line);
    if (w.size() < 8 || w[0] == "Iface") return;
    auto dest = ParseHex(w[1]), gw = ParseHex(w[2]), flags = ParseHex(w[3]), mask = ParseHex(w[7]);
    if (!dest || !gw || !flags || !mask) return;
    Route r;
    r.metric = ParseIntIn(w[6], 0, UINT32_MAX);
    r.default_gateway = *dest == 0 && *mask == 0 && (*flags & 2);
    if (r.default_gateway) r.gateway = Ipv4(static_cast<std::uint32_t>(*gw));
    out[w[0]].push_back(std::move(r));
  });
  tree.EachLine("/proc/net/ipv6_route", [&](std::string_view line) {
    auto w = Words(line);
    if (w.size() < 10 || w[0].size() != 32 || w[4].size() != 32) return;
    auto flags = ParseHex(w[8]);
    Route r;
    r.v6 = true;
    r.metric = ParseIntIn("0x" + w[5], 0, UINT32_MAX);
    r.default_gateway =
        w[0] == std::string(32, '0') && w[1] == "00" && flags && (*flags & 2) && w[4] != std::string(32, '0');
    if (r.default_gateway) {
      unsigned char bytes[16];
      for (int i = 0; i < 16; ++i) {
        auto b = ParseHex(w[4].substr(static_cast<std::size_t>(i) * 2, 2));
        if (!b) return;
        bytes[i] = static_cast<unsigned char>(*b);
      }
      char text6[INET6_ADDRSTRLEN];
      if (!inet_ntop(AF_INET6, bytes, text6, sizeof text6)) return;
      r.gateway = text6;
    }
    out[w[9]].push_back(std::move(r));
  });
  return out;
}

struct Resolver {
  std::vector<std::string> servers, search;
  std::optional<std::string> domain;
};

Resolver ReadResolver(const Tree& tree) {
  auto parse = [](const std::string& text) {
    Resolver r;
    for (const std::string& line : Lines(text)) {
      auto w = Words(line);
      if (w.size() < 2 || w[0][0] == '#' || w[0][0] == ';') continue;
      if (w[0] == "nameserver")
        r.servers.push_back(w[1]);
      else if (w[0] == "search")
        r.search.assign(w.begin() + 1, w.end());
      else if (w[0] == "domain")
        r.domain = w[1];
    }
    return r;
  };
  Resolver r = parse(tree.Read("/etc/resolv.conf").value_or(""));
  // systemd-resolved's stub: the servers behind it are in its own file.
  bool stub = !r.servers.empty() &&
              std::all_of(r.servers.begin(), r.servers.end(), [](const std::string& s) { return s == "127.0.0.53"; });
  if (stub) {
    if (auto upstream = tree.Read("/run/systemd/resolve/resolv.conf")) {
      Resolver u = parse(*upstream);
      if (!u.servers.empty()) r.servers = u.servers;
    }
  }
  if (!r.domain && !r.search.empty()) r.domain = r.search.front();
  return r;
}

// Whether a DHCP client holds a lease for the interface, and the server that gave it.
std::pair<bool, std::optional<std::string>> Dhcp(const Tree& tree, const Adapter& a) {
  if (auto lease = tree.Read("/run/systemd/netif/leases/" + std::to_string(a.index))) {
    auto kv = KeyValues(*lease, '=');
    std::optional<std::string> server;
    if (kv.count("SERVER_ADDRESS")) server = kv["SERVER_ADDRESS"];
    return {true, server};
  }
  for (const std::string& e : tree.List("/var/lib/dhcp"))
    if (e.find(a.ifname + ".lease") != std::string::npos) return {true, std::nullopt};
  for (const std::string& e : tree.List("/var/lib/NetworkManager"))
    if (e.find("-" + a.ifname + ".lease") != std::string::npos) return {true, std::nullopt};
  for (const std::string& e : tree.List("/var/lib/dhcpcd"))
    if (StartsWith(e, a.ifname + ".lease") || e.find("-" + a.ifname + ".lease") != std::string::npos)
      return {true, std::nullopt};
  return {false, std::nullopt};
}

}  // namespace

InstanceList BuildNetworkAdapters(const ClassDef& def, Context& ctx) {
  InstanceList out;
  for (const Adapter& a : ReadAdapters(ctx)) {
    Builder b(def, ctx);
    b.Device(std::to_string(a.index), a.name);
    b.Text("Caption", Caption(a));
    b.Text("ProductName", a.name).Text("NetConnectionID", a.ifname);
    b.Int("Index", a.index).Int("InterfaceIndex", a.index);
    b.Text("MACAddress", a.mac).Text("Manufacturer", a.manufacturer).Text("ServiceName", a.service);
    b.Text("PNPDeviceID", a.pnp);
    if (a.wireless)
      b.Text("AdapterType", "Wireless").Int("AdapterTypeId", 9);
    else if (a.type == 1)
      b.Text("AdapterType", "Ethernet 802.3").Int("AdapterTypeId", 0);
    b.Big("Speed", a.speed);
    b.Bool("NetEnabled", a.up).Bool("Installed", true).Bool("PhysicalAdapter", a.physical);
    if (a.up) {
      b.Int("NetConnectionStatus", !*a.up ? 0 : a.carrier == 0 ? 7 : 2);  // Disconnected, Media disconnected, Connected
      b.Int("Availability", *a.up ? 3 : 8);                               // Running/Full Power, Off Line
    }
    b.Bool("PowerManagementSupported", false);
    out.push_back(b.Build());
  }
  return out;
}

InstanceList BuildNetworkConfigurations(const ClassDef& def, Context& ctx) {
  const Tree& tree = ctx.tree();
  InstanceList out;
  std::vector<InterfaceAddress> addresses = ctx.system().InterfaceAddresses();
  auto routes = Routes(tree);
  Resolver resolver = ReadResolver(tree);
  auto sysctl = [&](const char* name) { return tree.Number(std::string("/proc/sys/net/ipv4/") + name); };
  for (const Adapter& a : ReadAdapters(ctx)) {
    Builder b(def, ctx);
    b.Text("Caption", Caption(a)).Text("Description", a.name);
    b.Int("Index", a.index).Int("InterfaceIndex", a.index);
    b.Text("MACAddress", a.mac).Text("ServiceName", a.service);
    b.Int("MTU", a.mtu);
    std::vector<std::string> ips, subnets;
    for (bool v6 : {false, true})
      for (const InterfaceAddress& ia : addresses)
        if (ia.interface == a.ifname && ia.ipv6 == v6) {
          ips.push_back(ia.address);
          subnets.push_back(v6 ? std::to_string(ia.prefix) : Mask(ia.prefix));
        }
    bool enabled = !ips.empty();
    b.Bool("IPEnabled", enabled);
    if (enabled) {
      b.Texts("IPAddress", ips).Texts("IPSubnet", subnets);
      auto own = routes.find(a.ifname);
      if (own != routes.end()) {
        std::vector<std::string> g;
        std::vector<std::int64_t> m;
        std::optional<std::int64_t> lowest;
        for (const Route& r : own->second) {
          if (r.default_gateway) {
            g.push_back(r.gateway);
            // Windows' cost range is 1 to 9999; Linux's metric starts at 0 (the best) and goes beyond.
            m.push_back(std::clamp<std::int64_t>(r.metric.value_or(0), 1, 9999));
          }
          if (!r.v6 && r.metric && (!lowest || *r.metric < *lowest)) lowest = r.metric;
        }
        if (!g.empty()) b.Texts("DefaultIPGateway", g).Ints("GatewayCostMetric", m);
        // The lowest metric of the adapter's IPv4 routes, in the same 1 to 9999.
        if (lowest) b.Int("IPConnectionMetric", std::clamp<std::int64_t>(*lowest, 1, 9999));
      }
      bool loopback = a.type == 772;
      if (!loopback) {
        if (!resolver.servers.empty()) b.Texts("DNSServerSearchOrder", resolver.servers);
        if (!resolver.search.empty()) b.Texts("DNSDomainSuffixSearchOrder", resolver.search);
        b.Text("DNSDomain", resolver.domain);
      }
      b.Text("DNSHostName", ctx.HostName());
      auto [dhcp, server] = Dhcp(tree, a);
      b.Bool("DHCPEnabled", dhcp).Text("DHCPServer", server);
      b.Int("DefaultTTL", sysctl("ip_default_ttl"));
      b.Int("KeepAliveTime", Mul(sysctl("tcp_keepalive_time"), 1000));  // seconds to milliseconds
      b.Int("KeepAliveInterval", Mul(sysctl("tcp_keepalive_intvl"), 1000));
      b.Int("TcpMaxConnectRetransmissions", sysctl("tcp_syn_retries"));
      b.Int("TcpMaxDataRetransmissions", sysctl("tcp_retries2"));
      if (auto p = sysctl("ip_no_pmtu_disc")) b.Bool("PMTUDiscoveryEnabled", *p == 0);
      // Black-hole detection: packetization-layer MTU probing, off when 0.
      if (auto p = sysctl("tcp_mtu_probing")) b.Bool("PMTUBHDetectEnabled", *p != 0);
      // IFF_MULTICAST: the kernel answers IGMP on every multicast interface (2, IP and IGMP multicast).
      if (a.flags) b.Int("IGMPLevel", (*a.flags & 0x1000) ? 2 : 0);
      b.Bool("IPXEnabled", false);
    }
    out.push_back(b.Build());
  }
  return out;
}

}  // namespace wmi::lx
