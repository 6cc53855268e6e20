// A file the program writes whole: `-o FILE`, and any other output that must
// never be seen half-written.
#pragma once

#include <filesystem>
#include <string>
#include <string_view>

namespace cli {

// Writes `bytes` as the whole of `path`. The bytes go to a temporary file in
// the same folder, which replaces `path` in one rename: a reader sees the old
// file or the new one, never a torn or empty one. On failure (a full disk, a
// missing folder, no permission) `path` is left as it was, the temporary file
// is removed, and the answer says why; "" when the file was written.
std::string WriteWholeFile(const std::filesystem::path& path, std::string_view bytes);

}  // namespace cli
