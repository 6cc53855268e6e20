// The local print server through libcups: its queues (CUPS-Get-Printers), its
// default queue (CUPS-Get-Default) and the unfinished jobs of every user
// (Get-Jobs). A server that is not there fails the connection at once; one
// that does not answer, or drips its answer, is given up at one deadline for
// the whole exchange, tried once.
//
// libcups is loaded when a print server may be there, not when the program
// starts: it brings some thirty libraries (TLS, Kerberos, D-Bus ...) whose
// loading would be paid by every run, and a machine without it still runs.
#include <arpa/inet.h>
#include <cups/cups.h>
#include <dlfcn.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <thread>
#include <utility>

#include "wmi/linux/system.h"

namespace wmi::lx {

namespace {

// The functions of libcups this file calls.
// clang-format off
#define PCINFO_CUPS_FUNCTIONS(X) \
  X(cupsDoRequest)               \
  X(cupsEncryption)              \
  X(cupsLastError)               \
  X(cupsServer)                  \
  X(cupsUser)                    \
  X(httpClose)                   \
  X(httpConnect2)                \
  X(httpGetFd)                   \
  X(httpSetTimeout)              \
  X(ippAddBoolean)               \
  X(ippAddString)                \
  X(ippAddStrings)               \
  X(ippAttributeString)          \
  X(ippDelete)                   \
  X(ippFindAttribute)            \
  X(ippFirstAttribute)           \
  X(ippGetBoolean)               \
  X(ippGetCount)                 \
  X(ippGetGroupTag)              \
  X(ippGetInteger)               \
  X(ippGetName)                  \
  X(ippGetRange)                 \
  X(ippGetResolution)            \
  X(ippGetString)                \
  X(ippGetValueTag)              \
  X(ippNewRequest)               \
  X(ippNextAttribute)            \
  X(ippPort)
// clang-format on

struct CupsLibrary {
#define PCINFO_CUPS_POINTER(f) decltype(&::f) f = nullptr;
  PCINFO_CUPS_FUNCTIONS(PCINFO_CUPS_POINTER)
#undef PCINFO_CUPS_POINTER
};

// libcups, loaded at the first call; nullptr where it or one of its functions is missing.
const CupsLibrary* Cups() {
  static const CupsLibrary* library = []() -> const CupsLibrary* {
    void* handle = dlopen("libcups.so.2", RTLD_NOW | RTLD_LOCAL);
    if (!handle) return nullptr;
    static CupsLibrary l;
#define PCINFO_CUPS_RESOLVE(f)                               \
  l.f = reinterpret_cast<decltype(&::f)>(dlsym(handle, #f)); \
  if (!l.f) return nullptr;
    PCINFO_CUPS_FUNCTIONS(PCINFO_CUPS_RESOLVE)
#undef PCINFO_CUPS_RESOLVE
    return &l;
  }();
  return library;
}

// Whether something may answer at localhost:631 (IPv4 or IPv6), where libcups
// looks when nothing else is configured: refused or unanswered says no.
bool LocalPortAnswers() {
  sockaddr_in v4{};
  v4.sin_family = AF_INET;
  v4.sin_port = htons(631);
  v4.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
  sockaddr_in6 v6{};
  v6.sin6_family = AF_INET6;
  v6.sin6_port = htons(631);
  v6.sin6_addr = in6addr_loopback;
  const std::pair<const sockaddr*, socklen_t> kAddresses[] = {{reinterpret_cast<const sockaddr*>(&v4), sizeof v4},
                                                              {reinterpret_cast<const sockaddr*>(&v6), sizeof v6}};
  for (const auto& [addr, size] : kAddresses) {
    int fd = ::socket(addr->sa_family, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
    if (fd < 0) continue;
    bool answers = ::connect(fd, addr, size) == 0;
    if (!answers && errno == EINPROGRESS) {
      pollfd p{fd, POLLOUT, 0};
      int error = 0;
      socklen_t len = sizeof error;
      answers = ::poll(&p, 1, 200) == 1 && ::getsockopt(fd, SOL_SOCKET, SO_ERROR, &error, &len) == 0 && error == 0;
    }
    ::close(fd);
    if (answers) return true;
  }
  return false;
}

// Whether a print server may be there, as libcups finds one: a server named in
// the environment or a client.conf, the local socket, or the local IPP port.
bool ServerMayBeThere() {
  if (std::getenv("CUPS_SERVER") || std::getenv("IPP_PORT")) return true;
  if (::access("/etc/cups/client.conf", F_OK) == 0) return true;
  if (const char* home = std::getenv("HOME");
      home && ::access((std::string(home) + "/.cups/client.conf").c_str(), F_OK) == 0)
    return true;
  if (::access("/run/cups/cups.sock", F_OK) == 0 || ::access("/var/run/cups/cups.sock", F_OK) == 0) return true;
  return LocalPortAnswers();
}

constexpr int kConnectMillis = 1000;
// How long libcups waits for a byte before it asks GiveUp: a server started on
// demand (socket activation) answers its first request within it.
constexpr double kWaitSeconds = 2.0;
// The whole exchange, connection to last answer; a running server takes milliseconds.
constexpr std::chrono::milliseconds kExchangeDeadline{4000};

// Ends the exchange at its deadline however the server drips its answer (each
// byte just inside libcups' wait would keep it going for ever): the socket is
// shut down, and every read and write after that fails at once.
class Deadline {
 public:
  Deadline(int fd, std::chrono::milliseconds limit) : fd_(fd), thread_([this, limit] { Watch(limit); }) {}
  ~Deadline() { Stop(); }
  Deadline(const Deadline&) = delete;
  Deadline& operator=(const Deadline&) = delete;

  bool passed() {
    std::lock_guard<std::mutex> lock(mutex_);
    return passed_;
  }
  // Ends the watch, before the socket is closed (its number may be reused at once); whether the deadline passed.
  bool Stop() {
    {
      std::lock_guard<std::mutex> lock(mutex_);
      done_ = true;
    }
    wake_.notify_all();
    if (thread_.joinable()) thread_.join();
    return passed_;
  }

 private:
  void Watch(std::chrono::milliseconds limit) {
    std::unique_lock<std::mutex> lock(mutex_);
    if (wake_.wait_for(lock, limit, [this] { return done_; })) return;
    passed_ = true;
    ::shutdown(fd_, SHUT_RDWR);
  }

  const int fd_;
  std::mutex mutex_;
  std::condition_variable wake_;
  bool done_ = false, passed_ = false;
  std::thread thread_;  // last: starts when the rest is ready
};

std::vector<std::string> Values(const CupsLibrary& c, ipp_attribute_t* a) {
  std::vector<std::string> out;
  int n = c.ippGetCount(a);
  for (int i = 0; i < n; ++i) {
    switch (c.ippGetValueTag(a)) {
      case IPP_TAG_INTEGER:
      case IPP_TAG_ENUM:
        out.push_back(std::to_string(c.ippGetInteger(a, i)));
        break;
      case IPP_TAG_BOOLEAN:
        out.push_back(c.ippGetBoolean(a, i) ? "true" : "false");
        break;
      case IPP_TAG_RESOLUTION: {
        int y = 0;
        ipp_res_t units;
        int x = c.ippGetResolution(a, i, &y, &units);
        out.push_back(std::to_string(x) + "x" + std::to_string(y));
        break;
      }
      case IPP_TAG_RANGE: {
        int upper = 0;
        int lower = c.ippGetRange(a, i, &upper);
        out.push_back(std::to_string(lower) + "-" + std::to_string(upper));
        break;
      }
      default: {
        const char* s = c.ippGetString(a, i, nullptr);
        if (s) {
          out.emplace_back(s);
        } else {
          char buf[1024];
          c.ippAttributeString(a, buf, sizeof buf);
          out.emplace_back(buf);
        }
        break;
      }
    }
  }
  return out;
}

// The response's groups of one tag, each as its attributes.
std::vector<IppAttributes> Groups(const CupsLibrary& c, ipp_t* response, ipp_tag_t group) {
  std::vector<IppAttributes> out;
  if (!response) return out;
  IppAttributes cur;
  for (ipp_attribute_t* a = c.ippFirstAttribute(response); a; a = c.ippNextAttribute(response)) {
    const char* name = c.ippGetName(a);
    if (!name || c.ippGetGroupTag(a) != group) {
      if (!cur.empty()) out.push_back(std::move(cur));
      cur.clear();
      continue;
    }
    cur[name] = Values(c, a);
  }
  if (!cur.empty()) out.push_back(std::move(cur));
  return out;
}

// Asked by libcups after each wait of kWaitSeconds without a byte: never wait again (no second try).
int GiveUp(http_t*, void*) { return 0; }

}  // namespace

std::optional<PrintServerState> QueryCups() {
  if (!ServerMayBeThere()) return std::nullopt;
  const CupsLibrary* cups = Cups();
  if (!cups) return std::nullopt;
  const CupsLibrary& c = *cups;
  http_t* http =
      c.httpConnect2(c.cupsServer(), c.ippPort(), nullptr, AF_UNSPEC, c.cupsEncryption(), 1, kConnectMillis, nullptr);
  if (!http) return std::nullopt;
  c.httpSetTimeout(http, kWaitSeconds, GiveUp, nullptr);
  Deadline deadline(c.httpGetFd(http), kExchangeDeadline);
  PrintServerState state;

  static const char* const kPrinterAttrs[] = {"printer-name",
                                              "printer-info",
                                              "printer-location",
                                              "printer-make-and-model",
                                              "device-uri",
                                              "printer-state",
                                              "printer-state-reasons",
                                              "printer-type",
                                              "printer-is-shared",
                                              "printer-is-accepting-jobs",
                                              "queued-job-count",
                                              "color-supported",
                                              "copies-default",
                                              "copies-supported",
                                              "sides-supported",
                                              "sides-default",
                                              "media-default",
                                              "media-supported",
                                              "printer-resolution-default",
                                              "orientation-requested-default",
                                              "print-color-mode-default",
                                              "job-sheets-supported",
                                              "document-format-supported",
                                              "printer-uri-supported",
                                              "multiple-document-handling-supported",
                                              "job-priority-default"};
  ipp_t* request = c.ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  c.ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(sizeof kPrinterAttrs / sizeof *kPrinterAttrs), nullptr, kPrinterAttrs);
  ipp_t* response = c.cupsDoRequest(http, request, "/");
  if (!response || c.cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE || deadline.passed()) {
    c.ippDelete(response);
    deadline.Stop();
    c.httpClose(http);
    return std::nullopt;
  }
  state.printers = Groups(c, response, IPP_TAG_PRINTER);
  c.ippDelete(response);

  response = c.cupsDoRequest(http, c.ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
  if (response && !deadline.passed()) {
    if (ipp_attribute_t* a = c.ippFindAttribute(response, "printer-name", IPP_TAG_NAME))
      if (const char* s = c.ippGetString(a, 0, nullptr)) state.default_printer = s;
    c.ippDelete(response);
  }

  static const char* const kJobAttrs[] = {"job-id",
                                          "job-name",
                                          "job-originating-user-name",
                                          "job-state",
                                          "job-state-reasons",
                                          "job-printer-uri",
                                          "job-k-octets",
                                          "job-priority",
                                          "job-impressions",
                                          "job-impressions-completed",
                                          "job-media-sheets-completed",
                                          "time-at-creation",
                                          "time-at-processing",
                                          "document-format",
                                          "job-hold-until",
                                          "job-printer-state-message"};
  request = c.ippNewRequest(IPP_OP_GET_JOBS);
  c.ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
  c.ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, c.cupsUser());
  c.ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
  c.ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 0);
  c.ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                  static_cast<int>(sizeof kJobAttrs / sizeof *kJobAttrs), nullptr, kJobAttrs);
  response = c.cupsDoRequest(http, request, "/");
  state.jobs = Groups(c, response, IPP_TAG_JOB);
  c.ippDelete(response);
  const bool late = deadline.Stop();
  c.httpClose(http);
  // An answer cut at the deadline is no answer: the queues without their jobs would mislead.
  if (late) return std::nullopt;
  return state;
}

}  // namespace wmi::lx
