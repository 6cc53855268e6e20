// Read-only access to a file tree below a root directory ("/" on the live
// machine, a captured or synthetic copy in tests), and small text helpers.
// Nothing here throws: a missing, unreadable or odd file gives nullopt.
//
// Every read of a captured tree stays inside it: symbolic links are followed
// as the kernel follows them, and a path that ends outside the tree (a link
// to /etc/shadow, ../../home/me/.pgpass, or an absolute link that would show
// the reader's own machine) reads as missing. The live tree "/" has no outside.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <utility>
#include <vector>

namespace wmi::lx {

class Tree {
 public:
  explicit Tree(std::string root);

  const std::string& root() const { return root_; }
  // The host path of `rel` (an absolute path inside the tree, e.g. "/proc/cpuinfo").
  std::string HostPath(std::string_view rel) const;

  // The whole file, when it is a regular file that can be read. Device nodes,
  // FIFOs and sockets are never opened. A file longer than kMaxRead reads as
  // missing, with a note on stderr: no real file of procfs or sysfs comes near
  // it, and a tree's file says its length before it is read.
  std::optional<std::string> Read(std::string_view rel) const;
  // Each line of a line-oriented file (mountinfo, interrupts, route tables),
  // without its newline, read piece by piece. A single line longer than
  // kMaxLine is left out, and a file longer than kMaxLines is read up to there
  // (the line it cuts left out), each with a note on stderr: the largest real
  // ones (tens of thousands of mounts) are a few megabytes.
  // False when the file is not a regular file that can be read.
  bool EachLine(std::string_view rel, const std::function<void(std::string_view)>& fn) const;
  static constexpr std::size_t kMaxRead = 64u << 20;
  static constexpr std::size_t kMaxLine = 1u << 20;
  static constexpr std::size_t kMaxLines = 16u << 20;
  // The first line, trimmed; nullopt when the file is missing or the line empty.
  std::optional<std::string> Line(std::string_view rel) const;
  // The first line as a number (decimal, or hex with 0x); nullopt when not a number.
  std::optional<std::int64_t> Number(std::string_view rel) const;
  // The first line as a number in [lo, hi]; nullopt when not a number or outside.
  std::optional<std::int64_t> Number(std::string_view rel, std::int64_t lo, std::int64_t hi) const;
  std::optional<std::uint64_t> Hex(std::string_view rel) const;

  // Entry names of a directory, sorted ("." and ".." left out).
  std::vector<std::string> List(std::string_view rel) const;
  bool Exists(std::string_view rel) const;
  bool IsDir(std::string_view rel) const;
  // The target of a symbolic link, as written.
  std::optional<std::string> Link(std::string_view rel) const;
  // The last modification time of a file or folder, in seconds since the epoch, links followed
  // within the tree; nullopt when it does not exist or leaves the tree.
  std::optional<std::int64_t> ModifiedTime(std::string_view rel) const;
  // The path inside the tree that `rel` resolves to, symbolic links followed;
  // nullopt when it does not exist or leaves the tree.
  std::optional<std::string> Resolve(std::string_view rel) const;

  // From now on, Read answers a file it has read before (up to kMaxRemembered
  // bytes) from memory: for one session of queries, in which several classes
  // read the same attributes. A line file that EachLine cut at its cap is
  // remembered as read up to there, whatever link it is reached by, and is
  // never read again. Copies of the tree share what is remembered.
  void RememberReads();
  static constexpr std::size_t kMaxRemembered = 1u << 20;

 private:
  // The host path `rel` names, links followed, when it stays inside the tree;
  // nullopt when it leaves the tree or does not exist. On "/", HostPath(rel).
  std::optional<std::string> Inside(std::string_view rel) const;
  // Whether a canonical host path lies inside the (canonical) root.
  bool Within(const std::string& real) const;

  std::string root_;                                             // without a trailing slash ("" for "/")
  mutable std::optional<std::optional<std::string>> real_root_;  // the root, links followed, once asked
  struct Remembered {
    std::unordered_map<std::string, std::optional<std::string>> by_path;
    // Line files cut at their cap, by device and inode.
    using Identity = std::pair<std::uint64_t, std::uint64_t>;
    std::map<Identity, std::string> capped;
  };
  std::shared_ptr<Remembered> remembered_;
};

// A regular file of the host opened for reading, never a device node, FIFO or
// socket, and what makes it itself: two links to one file are one file.
struct OpenFile {
  int fd = -1;
  std::uint64_t device = 0, inode = 0;
};
std::optional<OpenFile> OpenRegularFile(const std::string& host_path);

// Text helpers.
std::string Trim(std::string_view s);
std::vector<std::string> Split(std::string_view s, char sep);  // empty pieces kept
std::vector<std::string> Words(std::string_view s);            // blank-separated, empty pieces dropped
std::vector<std::string> Lines(std::string_view s);
std::optional<std::int64_t> ParseInt(std::string_view s);   // decimal, or hex with 0x
std::optional<std::uint64_t> ParseHex(std::string_view s);  // hex, with or without 0x
std::string Upper(std::string_view s);
std::string Lower(std::string_view s);
std::string Hex4(unsigned v);  // "8086" -> upper-case, 4 digits
std::string Basename(std::string_view path);
bool StartsWith(std::string_view s, std::string_view prefix);
// "key: value" or "key=value" lines into a map (first occurrence wins); values trimmed,
// quotes around values removed when `unquote` is set.
std::map<std::string, std::string> KeyValues(std::string_view text, char sep, bool unquote = false);

}  // namespace wmi::lx
