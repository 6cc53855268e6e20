// pcinfo-cli summary [--json], and pcinfo-cli with no command: the machine in
// one screen of labelled lines, or for programs as JSON with the raw values
// beside the words.
#pragma once

#include <iosfwd>

#include "cli/cli.h"
#include "queries/value_names.h"

namespace cli {

struct SummaryArguments {
  bool json = false;  // --json
};

// The console's language: Japanese under a Japanese locale (the user's UI
// language on Windows; LC_ALL, LC_MESSAGES or LANG elsewhere), English
// otherwise.
queries::Language ConsoleLanguage();

int SummaryCommand(const SummaryArguments& args, const Options& options, std::ostream& out);

}  // namespace cli
