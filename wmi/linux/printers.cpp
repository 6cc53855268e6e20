// Printers, their settings and their jobs from the local print server (CUPS,
// through System::PrintServer): Win32_Printer, Win32_PrinterConfiguration and
// Win32_PrintJob. No server: no instances.
#include "wmi/linux/backend.h"
#include "wmi/linux/peripherals.h"

namespace wmi::lx {

namespace {

std::optional<std::string> First(const IppAttributes& a, const char* name) {
  auto it = a.find(name);
  if (it == a.end() || it->second.empty()) return std::nullopt;
  return Printable(it->second.front());
}

std::optional<std::int64_t> Int(const IppAttributes& a, const char* name) {
  auto v = First(a, name);
  return v ? ParseInt(*v) : std::nullopt;
}

bool Has(const IppAttributes& a, const char* name, const std::string& value) {
  auto it = a.find(name);
  if (it == a.end()) return false;
  for (const std::string& v : it->second)
    if (v == value) return true;
  return false;
}

bool True(const IppAttributes& a, const char* name) { return First(a, name) == std::optional<std::string>("true"); }

// "600x600" -> 600, 600.
std::optional<std::pair<std::int64_t, std::int64_t>> Resolution(const IppAttributes& a) {
  auto r = First(a, "printer-resolution-default");
  if (!r) return std::nullopt;
  auto x = r->find('x');
  if (x == std::string::npos) return std::nullopt;
  auto h = ParseInt(r->substr(0, x)), v = ParseInt(r->substr(x + 1));
  if (!h || !v) return std::nullopt;
  return std::make_pair(*h, *v);
}

constexpr std::int64_t kPrinterRemote = 0x2;  // CUPS_PRINTER_REMOTE in printer-type

// What `build` makes of each named queue of the print server; nothing without a server.
template <class Build>
InstanceList EachPrinter(Context& ctx, Build build) {
  InstanceList out;
  const auto& server = ctx.PrintServer();
  if (!server) return out;
  for (const IppAttributes& p : server->printers)
    if (auto name = First(p, "printer-name")) out.push_back(build(*server, p, *name));
  return out;
}

}  // namespace

InstanceList BuildPrinters(const ClassDef& def, Context& ctx) {
  return EachPrinter(ctx, [&](const PrintServerState& server, const IppAttributes& p, const std::string& name) {
    Builder b(def, ctx);
    b.Device(name, name, First(p, "printer-info").value_or(""));
    b.Text("Comment", First(p, "printer-info")).Text("Location", First(p, "printer-location"));
    b.Text("DriverName", First(p, "printer-make-and-model")).Text("PortName", First(p, "device-uri"));
    bool is_default = server.default_printer == name;
    bool shared = True(p, "printer-is-shared");
    bool network = (Int(p, "printer-type").value_or(0) & kPrinterRemote) != 0;
    bool accepting = First(p, "printer-is-accepting-jobs") != std::optional<std::string>("false");
    b.Bool("Default", is_default).Bool("Shared", shared).Bool("Network", network).Bool("Local", !network);
    b.Text("ShareName", shared ? std::optional<std::string>(name) : std::nullopt)
        .Bool("WorkOffline", !accepting)
        .Bool("SpoolEnabled", true);
    // Attributes: 4 default, 8 shared, 16 network, 64 local, 1024 work offline.
    b.Int("Attributes", (is_default ? 4 : 0) | (shared ? 8 : 0) | (network ? 16 : 64) | (accepting ? 0 : 1024));
    // printer-state 3 idle, 4 processing, 5 stopped; PrinterStatus 3 idle, 4 printing, 6 stopped printing;
    // ExtendedPrinterStatus 8 paused.
    auto state = Int(p, "printer-state");
    if (state == 3) b.Int("PrinterStatus", 3).Int("ExtendedPrinterStatus", 3).Text("Status", "OK");
    if (state == 4) b.Int("PrinterStatus", 4).Int("ExtendedPrinterStatus", 4).Text("Status", "OK");
    if (state == 5) b.Int("PrinterStatus", 6).Int("ExtendedPrinterStatus", 8).Text("Status", "Degraded");
    // Capabilities: 2 color, 3 duplex, 4 copies, 5 collate.
    std::vector<std::int64_t> caps;
    std::vector<std::string> descr;
    auto copies = First(p, "copies-supported");
    if (copies && copies->find('-') != std::string::npos && ParseInt(copies->substr(copies->find('-') + 1)) > 1)
      caps.push_back(4), descr.push_back("Copies");
    if (True(p, "color-supported")) caps.push_back(2), descr.push_back("Color");
    if (Has(p, "sides-supported", "two-sided-long-edge")) caps.push_back(3), descr.push_back("Duplex");
    if (Has(p, "multiple-document-handling-supported", "separate-documents-collated-copies"))
      caps.push_back(5), descr.push_back("Collate");
    b.Ints("Capabilities", caps).Texts("CapabilityDescriptions", descr);
    if (auto r = Resolution(p)) b.Int("HorizontalResolution", r->first).Int("VerticalResolution", r->second);
    if (auto it = p.find("document-format-supported"); it != p.end()) b.Texts("MimeTypesSupported", it->second);
    if (auto it = p.find("job-sheets-supported"); it != p.end()) b.Texts("AvailableJobSheets", it->second);
    b.Text("DefaultPaperType", First(p, "media-default")).Int("DefaultPriority", Int(p, "job-priority-default"));
    b.Int("DefaultCopies", Int(p, "copies-default"));
    return b.Build();
  });
}

InstanceList BuildPrinterConfigurations(const ClassDef& def, Context& ctx) {
  return EachPrinter(ctx, [&](const PrintServerState&, const IppAttributes& p, const std::string& name) {
    Builder b(def, ctx);
    b.Text("Name", name).Text("Caption", name).Text("DeviceName", name).Text("Description", name);
    b.Int("Copies", Int(p, "copies-default")).Text("PaperSize", First(p, "media-default"));
    // Color: 1 monochrome, 2 color.
    if (auto mode = First(p, "print-color-mode-default")) b.Int("Color", *mode == "monochrome" ? 1 : 2);
    // orientation-requested 3 portrait, 4 landscape; Orientation 1 portrait, 2 landscape.
    auto orientation = Int(p, "orientation-requested-default");
    if (orientation == 3 || orientation == 4) b.Int("Orientation", *orientation - 2);
    if (auto sides = First(p, "sides-default")) b.Bool("Duplex", *sides != "one-sided");
    if (auto r = Resolution(p)) {
      b.Int("HorizontalResolution", r->first).Int("VerticalResolution", r->second);
      b.Int("XResolution", r->first).Int("YResolution", r->second);
    }
    return b.Build();
  });
}

InstanceList BuildPrintJobs(const ClassDef& def, Context& ctx) {
  const auto& server = ctx.PrintServer();
  if (!server) return {};
  InstanceList out;
  for (const IppAttributes& j : server->jobs) {
    auto id = Int(j, "job-id");
    if (!id) continue;
    std::string printer = Basename(First(j, "job-printer-uri").value_or(""));
    std::string name = printer + ", " + std::to_string(*id);
    Builder b(def, ctx);
    b.Text("Name", name).Text("Caption", name).Text("Description", name).Int("JobId", id);
    b.Text("Document", First(j, "job-name")).Text("Owner", First(j, "job-originating-user-name"));
    b.Text("HostPrintQueue", "\\\\" + ctx.HostName()).Text("DataType", First(j, "document-format"));
    b.Int("Priority", Int(j, "job-priority"));
    if (auto k = Int(j, "job-k-octets"); k && *k >= 0 && *k < (1 << 21)) b.Int("Size", *k * 1024);
    b.Int("TotalPages", Int(j, "job-impressions")).Int("PagesPrinted", Int(j, "job-impressions-completed"));
    if (auto t = Int(j, "time-at-creation"); t && *t > 0) b.Text("TimeSubmitted", ctx.DateTime(*t));
    if (auto t = Int(j, "time-at-processing"); t && *t > 0) b.Text("StartTime", ctx.DateTime(*t));
    // job-state 3 pending, 4 held, 5 processing, 6 stopped; StatusMask 1 paused, 16 printing, 512 blocked.
    auto state = Int(j, "job-state");
    std::int64_t mask = state == 4 ? 1 : state == 5 ? 16 : state == 6 ? 512 : 0;
    b.Int("StatusMask", mask).Text("JobStatus", state == 4 ? "Paused" : state == 5 ? "Printing" : "");
    b.Text("Status", state == 6 ? "Degraded" : "OK");
    out.push_back(b.Build());
  }
  return out;
}

const std::optional<PrintServerState>& Context::PrintServer() {
  if (!print_server_) print_server_ = system_.PrintServer();
  return *print_server_;
}

}  // namespace wmi::lx
