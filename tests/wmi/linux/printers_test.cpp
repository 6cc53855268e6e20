// Printers, their settings and jobs through a real CUPS daemon: .ci/run
// starts one on a private socket (tests/wmi/linux/cups/start-cupsd.sh) with
// the queue "pcinfo-test" printing to a file and one held job, and names the
// socket in PCINFO_TEST_CUPS_SERVER. The rest of the machine is the
// synthetic desktop tree.
#include <arpa/inet.h>
#include <cups/cups.h>
#include <netinet/in.h>
#include <poll.h>
#include <stdlib.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <thread>

#include "queries/buttons.h"
#include "queries/procedures.h"
#include "tests/support/test_host.h"
#include "tests/wmi/linux/tree_util.h"
#include "wmi/linux/system.h"

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

// A print server on 127.0.0.1 that reads each request and then answers with
// an endless header one byte every `gap` (dripping), or never (a zero gap).
// It gives up on a connection by itself after kPatience.
class SlowPrintServer {
 public:
  static constexpr auto kPatience = std::chrono::seconds(60);

  explicit SlowPrintServer(std::chrono::milliseconds gap) : gap_(gap) {
    listener_ = ::socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t size = sizeof a;
    if (::bind(listener_, reinterpret_cast<sockaddr*>(&a), size) != 0 || ::listen(listener_, 4) != 0 ||
        ::getsockname(listener_, reinterpret_cast<sockaddr*>(&a), &size) != 0)
      ADD_FAILURE() << "no listening socket";
    port_ = ntohs(a.sin_port);
    thread_ = std::thread([this] { Serve(); });
  }
  ~SlowPrintServer() {
    stop_ = true;
    thread_.join();
    ::close(listener_);
  }
  std::string address() const { return "127.0.0.1:" + std::to_string(port_); }
  int connections() const { return connections_; }
  int requests() const { return requests_; }
  // Whether every connection was left by the client before the server's own patience ran out.
  bool client_left_first() const { return !outlasted_; }

 private:
  void Serve() {
    while (!stop_) {
      pollfd p{listener_, POLLIN, 0};
      if (::poll(&p, 1, 50) != 1) continue;
      int fd = ::accept4(listener_, nullptr, nullptr, SOCK_CLOEXEC);
      if (fd < 0) continue;
      ++connections_;
      Answer(fd);
      ::close(fd);
    }
  }
  void Answer(int fd) {
    const auto end = std::chrono::steady_clock::now() + kPatience;
    std::string seen;
    const std::string head = "HTTP/1.1 200 OK\r\nX-Drip: ";
    std::size_t sent = 0;
    while (!stop_) {
      if (std::chrono::steady_clock::now() > end) {
        outlasted_ = true;
        return;
      }
      pollfd p{fd, POLLIN, 0};
      const int wait = gap_.count() > 0 ? static_cast<int>(gap_.count()) : 50;
      if (::poll(&p, 1, wait) == 1) {
        char buf[4096];
        ssize_t n = ::recv(fd, buf, sizeof buf, 0);
        if (n <= 0) return;  // the client left
        seen.append(buf, static_cast<std::size_t>(n));
        for (auto at = seen.find("POST "); at != std::string::npos; at = seen.find("POST ", at + 1)) ++requests_;
        seen.erase(0, seen.size() > 4 ? seen.size() - 4 : 0);
        continue;
      }
      if (gap_.count() == 0) continue;
      const char c = sent < head.size() ? head[sent] : 'a';
      if (::send(fd, &c, 1, MSG_NOSIGNAL) != 1) return;  // the client left
      ++sent;
    }
  }

  std::chrono::milliseconds gap_;
  int listener_ = -1, port_ = 0;
  std::atomic<bool> stop_{false}, outlasted_{false};
  std::atomic<int> connections_{0}, requests_{0};
  std::thread thread_;
};

// A server that drips its answer just faster than each wait of libcups kept
// the exchange going for minutes: one deadline ends the whole of it.
TEST(Printers, ADrippingServerIsGivenUpAtTheDeadline) {
  SlowPrintServer slow(std::chrono::milliseconds(200));
  CupsServer server(slow.address());
  EXPECT_EQ(wmi::lx::QueryCups(), std::nullopt);
  EXPECT_TRUE(slow.client_left_first());
  EXPECT_EQ(slow.connections(), 1);
}

// A server that never answers is asked once.
TEST(Printers, ASilentServerIsAskedOnce) {
  SlowPrintServer silent(std::chrono::milliseconds(0));
  CupsServer server(silent.address());
  EXPECT_EQ(wmi::lx::QueryCups(), std::nullopt);
  EXPECT_TRUE(silent.client_left_first());
  EXPECT_EQ(silent.connections(), 1);
  EXPECT_EQ(silent.requests(), 1);
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
