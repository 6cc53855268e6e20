// Printers, their settings and jobs through a real CUPS daemon: .ci/run
// starts one on a private socket (tests/wmi/linux/cups/start-cupsd.sh) with
// the queue "pcinfo-test" printing to a file and one held job, and names the
// socket in PCINFO_TEST_CUPS_SERVER. The rest of the machine is the
// synthetic desktop tree.
#include <cups/cups.h>
#include <stdlib.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"
#include "tests/wmi/linux/tree_util.h"

namespace {

// Points libcups at a server for the length of a test, and back afterwards.
struct CupsServer {
  explicit CupsServer(const std::string& path) {
    if (const char* old = std::getenv("CUPS_SERVER")) saved = old;
    ::setenv("CUPS_SERVER", path.c_str(), 1);
    cupsSetServer(nullptr);  // read CUPS_SERVER again
  }
  ~CupsServer() {
    if (saved.empty())
      ::unsetenv("CUPS_SERVER");
    else
      ::setenv("CUPS_SERVER", saved.c_str(), 1);
    cupsSetServer(nullptr);
  }
  std::string saved;
};

std::vector<wmi::Instance> Query(wmi::Provider& p, const std::string& cls) {
  auto c = p.Connect("winmgmts:\\\\.\\root\\cimv2");
  auto rs = c->ExecQuery("Select * from " + cls, wmi::kCategoryFlags);
  std::vector<wmi::Instance> out;
  while (auto i = rs->Next()) out.push_back(std::move(*i));
  return out;
}

std::unique_ptr<wmi::lx::LinuxProvider> DesktopWithLiveCalls() {
  return std::make_unique<wmi::lx::LinuxProvider>(lxtest::TreePath("desktop"), wmi::lx::MakeRealSystem(),
                                                  std::chrono::milliseconds(0));
}

TEST(Printers, NoServerNoInstances) {
  CupsServer server("/nonexistent/pcinfo/cups.sock");
  auto provider = DesktopWithLiveCalls();
  for (const char* cls : {"Win32_Printer", "Win32_PrinterConfiguration", "Win32_PrintJob"})
    EXPECT_TRUE(Query(*provider, cls).empty()) << cls;
  // The buttons print their header alone.
  testing_support::PaneHost host(*provider);
  queries::RunButton(host, *queries::FindButton("Command37"));
  EXPECT_EQ(host.text().find("\r\n" + std::string(31, '-') + "\r\n"), std::string::npos) << host.text();
}

struct WithCupsd : ::testing::Test {
  void SetUp() override {
    const char* sock = std::getenv("PCINFO_TEST_CUPS_SERVER");
    if (!sock || !*sock) GTEST_SKIP() << "no test print server (.ci/run starts one)";
    server = std::make_unique<CupsServer>(sock);
    provider = DesktopWithLiveCalls();
  }
  std::unique_ptr<CupsServer> server;
  std::unique_ptr<wmi::lx::LinuxProvider> provider;
};

TEST_F(WithCupsd, QueueSettingsAndHeldJob) {
  auto printers = Query(*provider, "Win32_Printer");
  ASSERT_EQ(printers.size(), 1u);
  const wmi::Instance& p = printers[0];
  EXPECT_PROP(p, "Name", "pcinfo-test");
  EXPECT_PROP(p, "DeviceID", "pcinfo-test");
  EXPECT_PROP(p, "Location", "Lab 2F");
  EXPECT_PROP(p, "Comment", "Test queue");
  EXPECT_PROP(p, "Default", true);
  EXPECT_PROP(p, "Local", true);
  EXPECT_PROP(p, "Network", false);
  EXPECT_PROP(p, "PrinterStatus", 3);  // idle: the one job is held
  EXPECT_PROP(p, "Shared", false);
  EXPECT_PROP(p, "Attributes", 4 | 64);  // default, local
  EXPECT_EQ(p.Get("PortName").text().substr(0, 8), "file:///");

  auto configs = Query(*provider, "Win32_PrinterConfiguration");
  ASSERT_EQ(configs.size(), 1u);
  EXPECT_PROP(configs[0], "Name", "pcinfo-test");

  auto jobs = Query(*provider, "Win32_PrintJob");
  ASSERT_EQ(jobs.size(), 1u);
  const wmi::Instance& j = jobs[0];
  EXPECT_PROP(j, "Document", "pcinfo held job");
  EXPECT_PROP(j, "JobStatus", "Paused");
  EXPECT_PROP(j, "StatusMask", 1);
  EXPECT_PROP(j, "Name", "pcinfo-test, " + std::to_string(j.Get("JobId").integer()));
  EXPECT_GT(j.Get("JobId").integer(), 0);
  EXPECT_FALSE(j.Get("Owner").is_null());
  EXPECT_EQ(j.Get("TimeSubmitted").text().size(), 25u);  // yyyymmddHHMMSS.mmmmmm+UUU

  for (const char* button : {"Command37", "Command38", "Command39"}) {
    testing_support::PaneHost host(*provider);
    queries::RunButton(host, *queries::FindButton(button));
    EXPECT_NE(host.text().find("pcinfo-test"), std::string::npos) << button << host.text();
  }
}

// The console links no libcups: it loads the library itself when a server may be there.
TEST_F(WithCupsd, TheConsoleLoadsLibcupsAndListsTheQueue) {
  std::FILE* out = ::popen(PCINFO_CLI " run Command37 Command39", "r");
  ASSERT_NE(out, nullptr);
  std::string text;
  char buf[4096];
  for (std::size_t n; (n = std::fread(buf, 1, sizeof buf, out)) > 0;) text.append(buf, n);
  EXPECT_EQ(::pclose(out), 0);
  EXPECT_NE(text.find("DeviceID: pcinfo-test\r\n"), std::string::npos) << text;
  EXPECT_NE(text.find("Document: pcinfo held job\r\n"), std::string::npos) << text;
}

}  // namespace
