// The summary as text is the pane text the window shows for it; as JSON each
// line is an object of its parts, each part its text and, where the text was
// made from a value, that value ("raw"); a line that stands once per instance
// (processors, disks, ...) is a list. JSON text is always in English, so that
// programs read the same words on every machine.
#include "cli/summary_command.h"

#include <cstdlib>
#include <nlohmann/json.hpp>
#include <ostream>
#include <string_view>

#include "cli/value_json.h"
#include "queries/pane.h"
#include "queries/summary.h"

#ifdef _WIN32
#ifndef WIN32_LEAN_AND_MEAN
#define WIN32_LEAN_AND_MEAN
#endif
#include <windows.h>
#endif

namespace cli {

namespace {

nlohmann::ordered_json PartJson(const queries::SummaryPart& part) {
  nlohmann::ordered_json o{{"text", part.text}};
  if (!part.raw.is_null()) o["raw"] = ToJson(part.raw);
  return o;
}

nlohmann::ordered_json LineJson(const queries::SummaryLine& line) {
  if (line.parts.size() == 1 && line.parts.front().key == line.key) return PartJson(line.parts.front());
  nlohmann::ordered_json o = nlohmann::ordered_json::object();
  for (const queries::SummaryPart& part : line.parts) o[part.key] = PartJson(part);
  return o;
}

}  // namespace

queries::Language ConsoleLanguage() {
#ifdef _WIN32
  return PRIMARYLANGID(GetUserDefaultUILanguage()) == LANG_JAPANESE ? queries::Language::Japanese
                                                                    : queries::Language::English;
#else
  // The first of these that is set decides, as for the C library's messages.
  for (const char* name : {"LC_ALL", "LC_MESSAGES", "LANG"}) {
    const char* value = std::getenv(name);
    if (value == nullptr || *value == '\0') continue;
    return std::string_view(value).starts_with("ja") ? queries::Language::Japanese : queries::Language::English;
  }
  return queries::Language::English;
#endif
}

int SummaryCommand(const SummaryArguments& args, const Options& options, std::ostream& out) {
  auto provider = OpenProvider(options);
  if (args.json) {
    const queries::Summary summary = queries::BuildSummary(*provider, queries::Language::English);
    nlohmann::ordered_json doc = nlohmann::ordered_json::object();
    for (const queries::SummaryLine& line : summary.lines) {
      if (!line.repeated) {
        doc[line.key] = LineJson(line);
        continue;
      }
      if (!doc.contains(line.key)) doc[line.key] = nlohmann::ordered_json::array();
      doc[line.key].push_back(LineJson(line));
    }
    out << doc.dump(2, ' ', false, nlohmann::ordered_json::error_handler_t::replace) << "\n";
    return 0;
  }
  queries::TextPane pane;
  queries::PrintSummary(pane, queries::BuildSummary(*provider, ConsoleLanguage()));
  out << pane.text();
  return 0;
}

}  // namespace cli
