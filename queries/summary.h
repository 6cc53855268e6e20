// The system summary: the machine in one screen of labelled lines (name,
// maker and model, processors, memory, disks and volumes, display, network,
// operating system, firmware, battery), in human units and words. It reads
// only the classes it needs, and a value the machine does not answer (or
// answers with a firmware placeholder) leaves its part, or its line, out.
//
// A front-end shows it with RunSummary(host, language): the pane gets the
// header "概要" (or "Summary") and the lines, like a button's output. The
// console builds it with BuildSummary and prints it, or writes it as JSON.
#pragma once

#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "queries/host.h"
#include "queries/pane.h"
#include "queries/value_names.h"
#include "wmi/provider.h"
#include "wmi/value.h"

namespace queries {

// One piece of a line: the name programs know it by, the text in the
// summary's language, and the value it was made from (Null when the text is
// the value itself). A part not shown in the line only serves programs.
struct SummaryPart {
  std::string key;
  std::string text;
  wmi::Value raw;
  bool in_line = true;
};

// One labelled line. A repeated line (a processor, a disk, ...) stands once
// per instance; programs get its instances as a list.
struct SummaryLine {
  std::string key;
  bool repeated = false;
  std::string label;
  std::vector<SummaryPart> parts;

  // label ": " then the parts shown in the line, joined by ", ".
  std::string Text() const;
};

struct Summary {
  Language language = Language::English;
  std::vector<SummaryLine> lines;
};

// The classes of root\cimv2 the summary reads, in the order it reads them.
// Where Win32_Battery lacks the capacities, root\wmi's BatteryStaticData and
// BatteryFullChargedCapacity are read as well.
std::span<const std::string_view> SummaryClasses();

// The summary's header caption: "概要" in Japanese, "Summary" in English.
std::string_view SummaryCaption(Language language);

// Reads the summary's classes from the provider. A class that fails or is
// missing leaves its lines out; nothing is thrown.
Summary BuildSummary(wmi::Provider& provider, Language language);

// The header (caption and 90 "-"), then one pane line per summary line.
void PrintSummary(Pane& pane, const Summary& summary);

// What the window's key and menu entry run: clears the pane when auto-clear
// is on, then prints the summary of the host's provider, and brings its last
// line into view.
void RunSummary(Host& host, Language language);

}  // namespace queries
