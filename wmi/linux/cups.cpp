// The local print server through libcups: its queues (CUPS-Get-Printers), its
// default queue (CUPS-Get-Default) and the unfinished jobs of every user
// (Get-Jobs). A server that is not there fails the connection at once; one
// that does not answer is given up after a short timeout.
#include <cups/cups.h>

#include <cstdio>

#include "wmi/linux/system.h"

namespace wmi::lx {

namespace {

constexpr int kConnectMillis = 1000;
constexpr double kAnswerSeconds = 2.0;

std::vector<std::string> Values(ipp_attribute_t* a) {
  std::vector<std::string> out;
  int n = ippGetCount(a);
  for (int i = 0; i < n; ++i) {
    switch (ippGetValueTag(a)) {
      case IPP_TAG_INTEGER:
      case IPP_TAG_ENUM:
        out.push_back(std::to_string(ippGetInteger(a, i)));
        break;
      case IPP_TAG_BOOLEAN:
        out.push_back(ippGetBoolean(a, i) ? "true" : "false");
        break;
      case IPP_TAG_RESOLUTION: {
        int y = 0;
        ipp_res_t units;
        int x = ippGetResolution(a, i, &y, &units);
        out.push_back(std::to_string(x) + "x" + std::to_string(y));
        break;
      }
      case IPP_TAG_RANGE: {
        int upper = 0;
        int lower = ippGetRange(a, i, &upper);
        out.push_back(std::to_string(lower) + "-" + std::to_string(upper));
        break;
      }
      default: {
        const char* s = ippGetString(a, i, nullptr);
        if (s) {
          out.emplace_back(s);
        } else {
          char buf[1024];
          ippAttributeString(a, buf, sizeof buf);
          out.emplace_back(buf);
        }
        break;
      }
    }
  }
  return out;
}

// The response's groups of one tag, each as its attributes.
std::vector<IppAttributes> Groups(ipp_t* response, ipp_tag_t group) {
  std::vector<IppAttributes> out;
  if (!response) return out;
  IppAttributes cur;
  for (ipp_attribute_t* a = ippFirstAttribute(response); a; a = ippNextAttribute(response)) {
    const char* name = ippGetName(a);
    if (!name || ippGetGroupTag(a) != group) {
      if (!cur.empty()) out.push_back(std::move(cur));
      cur.clear();
      continue;
    }
    cur[name] = Values(a);
  }
  if (!cur.empty()) out.push_back(std::move(cur));
  return out;
}

int GiveUp(http_t*, void*) { return 0; }

}  // namespace

std::optional<PrintServerState> QueryCups() {
  http_t* http =
      httpConnect2(cupsServer(), ippPort(), nullptr, AF_UNSPEC, cupsEncryption(), 1, kConnectMillis, nullptr);
  if (!http) return std::nullopt;
  httpSetTimeout(http, kAnswerSeconds, GiveUp, nullptr);
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
  ipp_t* request = ippNewRequest(IPP_OP_CUPS_GET_PRINTERS);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(sizeof kPrinterAttrs / sizeof *kPrinterAttrs), nullptr, kPrinterAttrs);
  ipp_t* response = cupsDoRequest(http, request, "/");
  if (!response || cupsLastError() > IPP_STATUS_OK_EVENTS_COMPLETE) {
    ippDelete(response);
    httpClose(http);
    return std::nullopt;
  }
  state.printers = Groups(response, IPP_TAG_PRINTER);
  ippDelete(response);

  response = cupsDoRequest(http, ippNewRequest(IPP_OP_CUPS_GET_DEFAULT), "/");
  if (response) {
    if (ipp_attribute_t* a = ippFindAttribute(response, "printer-name", IPP_TAG_NAME))
      if (const char* s = ippGetString(a, 0, nullptr)) state.default_printer = s;
    ippDelete(response);
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
  request = ippNewRequest(IPP_OP_GET_JOBS);
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_URI, "printer-uri", nullptr, "ipp://localhost/");
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_NAME, "requesting-user-name", nullptr, cupsUser());
  ippAddString(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "which-jobs", nullptr, "not-completed");
  ippAddBoolean(request, IPP_TAG_OPERATION, "my-jobs", 0);
  ippAddStrings(request, IPP_TAG_OPERATION, IPP_TAG_KEYWORD, "requested-attributes",
                static_cast<int>(sizeof kJobAttrs / sizeof *kJobAttrs), nullptr, kJobAttrs);
  response = cupsDoRequest(http, request, "/");
  state.jobs = Groups(response, IPP_TAG_JOB);
  ippDelete(response);
  httpClose(http);
  return state;
}

}  // namespace wmi::lx
