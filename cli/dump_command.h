// The companion's class browser: the `classes` and `dump` commands.
#pragma once

#include <filesystem>
#include <iosfwd>
#include <optional>
#include <string>
#include <vector>

namespace cli {

// True for a plain class name: letters, digits and underscores, at least one.
bool IsPlainClassName(const std::string& name);

// `classes`: the catalogue, one name a line.
int ClassesCommand(const std::vector<std::string>& args, std::ostream& out);

// `dump [--namespace NS] [--info DIR] CLASS`. `from` is the snapshot option,
// `program_dir` the folder whose `info` folder is the default DIR.
int DumpCommand(const std::vector<std::string>& args, const std::optional<std::string>& from,
                const std::filesystem::path& program_dir, std::ostream& out);

}  // namespace cli
