#include "wmi/linux/tree.h"

#include <dirent.h>
#include <fcntl.h>
#include <limits.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <cctype>
#include <cstdio>
#include <cstdlib>
#include <map>

namespace wmi::lx {

namespace {

void Note(const std::string& path, const char* what) { std::fprintf(stderr, "pcinfo: %s: %s\n", path.c_str(), what); }

// Up to `cap` bytes of `fd`, then closes it; `capped` tells whether the file went on past them.
std::optional<std::string> ReadUpTo(int fd, std::size_t cap, bool& capped) {
  capped = false;
  std::string out;
  char buf[65536];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() > cap) {
      out.resize(cap);
      capped = true;
      break;
    }
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return out;
}

// Cuts text into lines as it comes, without their newlines; a line longer than
// Tree::kMaxLine is left out, with one note.
class LineSplitter {
 public:
  LineSplitter(const std::string& path, const std::function<void(std::string_view)>& fn) : path_(path), fn_(fn) {}

  void Feed(std::string_view chunk) {
    while (!chunk.empty()) {
      auto nl = chunk.find('\n');
      std::string_view piece = chunk.substr(0, nl);
      if (!too_long_) {
        if (line_.size() + piece.size() > Tree::kMaxLine) {
          too_long_ = true;
          line_.clear();
          if (!noted_) Note(path_, "a line longer than 1 MB left out");
          noted_ = true;
        } else {
          line_.append(piece);
        }
      }
      if (nl == std::string_view::npos) break;
      if (!too_long_) fn_(line_);
      line_.clear();
      too_long_ = false;
      chunk.remove_prefix(nl + 1);
    }
  }
  // The end of the file: its last line, unless `cut` says the file went on.
  void Finish(bool cut) {
    if (!cut && !line_.empty() && !too_long_) fn_(line_);
  }

 private:
  const std::string& path_;
  const std::function<void(std::string_view)>& fn_;
  std::string line_;  // the part of a line read so far
  bool too_long_ = false, noted_ = false;
};

// The canonical form of an existing path, links followed. The kernel names
// the file an O_PATH descriptor holds in one step, where realpath() asks for
// every component of a deep sysfs path in turn; realpath() serves where /proc
// is not mounted.
std::optional<std::string> RealPath(const std::string& path) {
  int fd = ::open(path.c_str(), O_PATH | O_CLOEXEC);
  if (fd < 0) return std::nullopt;
  char link[64], buf[PATH_MAX + 1];
  std::snprintf(link, sizeof link, "/proc/self/fd/%d", fd);
  ssize_t n = ::readlink(link, buf, PATH_MAX);
  ::close(fd);
  if (n > 0 && buf[0] == '/') return std::string(buf, static_cast<std::size_t>(n));
  char* real = ::realpath(path.c_str(), nullptr);
  if (!real) return std::nullopt;
  std::string r = real;
  std::free(real);
  return r;
}

}  // namespace

std::optional<OpenFile> OpenRegularFile(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return std::nullopt;
  int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
  if (fd < 0) return std::nullopt;
  if (::fstat(fd, &st) != 0 || !S_ISREG(st.st_mode)) {  // replaced since the look
    ::close(fd);
    return std::nullopt;
  }
  return OpenFile{fd, static_cast<std::uint64_t>(st.st_dev), static_cast<std::uint64_t>(st.st_ino)};
}

Tree::Tree(std::string root) : root_(std::move(root)) {
  while (!root_.empty() && root_.back() == '/') root_.pop_back();
}

std::string Tree::HostPath(std::string_view rel) const {
  std::string p = root_;
  if (rel.empty() || rel.front() != '/') p += '/';
  p += rel;
  return p;
}

void Tree::RememberReads() {
  if (!remembered_) remembered_ = std::make_shared<Remembered>();
}

std::optional<std::string> Tree::Inside(std::string_view rel) const {
  if (root_.empty()) return HostPath(rel);
  auto real = RealPath(HostPath(rel));
  if (!real || !Within(*real)) return std::nullopt;
  return real;
}

bool Tree::Within(const std::string& real) const {
  if (!real_root_) real_root_ = RealPath(root_);
  if (!*real_root_) return false;
  const std::string& b = **real_root_;
  if (b == "/") return true;
  return real == b || (real.size() > b.size() && real.compare(0, b.size(), b) == 0 && real[b.size()] == '/');
}

std::optional<std::string> Tree::Read(std::string_view rel) const {
  std::string key(rel);
  if (remembered_)
    if (auto it = remembered_->by_path.find(key); it != remembered_->by_path.end()) return it->second;
  std::optional<std::string> text;
  auto path = Inside(rel);
  if (auto file = path ? OpenRegularFile(*path) : std::nullopt) {
    bool longer = false;
    struct stat st;
    if (::fstat(file->fd, &st) == 0 && static_cast<std::uint64_t>(st.st_size) > kMaxRead) {
      ::close(file->fd);  // known without reading it (files of procfs say 0)
      longer = true;
    } else {
      text = ReadUpTo(file->fd, kMaxRead, longer);
    }
    if (longer) {
      text.reset();
      Note(*path, "longer than 64 MB, left out");
    }
  }
  if (remembered_ && (!text || text->size() <= kMaxRemembered)) remembered_->by_path.emplace(std::move(key), text);
  return text;
}

bool Tree::EachLine(std::string_view rel, const std::function<void(std::string_view)>& fn) const {
  auto path = Inside(rel);
  auto file = path ? OpenRegularFile(*path) : std::nullopt;
  if (!file) return false;
  LineSplitter lines(*path, fn);
  const Remembered::Identity identity{file->device, file->inode};
  if (remembered_) {
    if (auto it = remembered_->capped.find(identity); it != remembered_->capped.end()) {
      ::close(file->fd);
      lines.Feed(it->second);
      lines.Finish(true);
      return true;
    }
  }
  // What was read, kept in a session in case the file turns out to be cut.
  std::string seen;
  std::size_t total = 0;
  bool capped = false;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(file->fd, buf, sizeof buf);
    if (n < 0) {
      ::close(file->fd);
      return false;
    }
    if (n == 0) break;
    std::string_view chunk(buf, static_cast<std::size_t>(n));
    if (chunk.size() > kMaxLines - total) {
      chunk = chunk.substr(0, kMaxLines - total);
      capped = true;
    }
    total += chunk.size();
    if (remembered_) seen.append(chunk);
    lines.Feed(chunk);
    if (capped) break;
  }
  ::close(file->fd);
  lines.Finish(capped);
  if (capped) {
    Note(*path, "longer than 16 MB, read up to there");
    if (remembered_) remembered_->capped.emplace(identity, std::move(seen));
  }
  return true;
}

std::optional<std::string> Tree::Line(std::string_view rel) const {
  auto text = Read(rel);
  if (!text) return std::nullopt;
  auto nl = text->find('\n');
  std::string line = Trim(std::string_view(*text).substr(0, nl));
  if (line.empty()) return std::nullopt;
  return line;
}

std::optional<std::int64_t> Tree::Number(std::string_view rel) const {
  auto line = Line(rel);
  return line ? ParseInt(*line) : std::nullopt;
}

std::optional<std::int64_t> Tree::Number(std::string_view rel, std::int64_t lo, std::int64_t hi) const {
  auto v = Number(rel);
  if (!v || *v < lo || *v > hi) return std::nullopt;
  return v;
}

std::optional<std::uint64_t> Tree::Hex(std::string_view rel) const {
  auto line = Line(rel);
  return line ? ParseHex(*line) : std::nullopt;
}

std::vector<std::string> Tree::List(std::string_view rel) const {
  std::vector<std::string> names;
  auto path = Inside(rel);
  if (!path) return names;
  DIR* d = ::opendir(path->c_str());
  if (!d) return names;
  while (dirent* e = ::readdir(d)) {
    std::string n = e->d_name;
    if (n != "." && n != "..") names.push_back(std::move(n));
  }
  ::closedir(d);
  std::sort(names.begin(), names.end());
  return names;
}

bool Tree::Exists(std::string_view rel) const {
  auto path = Inside(rel);
  struct stat st;
  return path && ::stat(path->c_str(), &st) == 0;
}

bool Tree::IsDir(std::string_view rel) const {
  auto path = Inside(rel);
  struct stat st;
  return path && ::stat(path->c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::int64_t> Tree::ModifiedTime(std::string_view rel) const {
  auto inside = Resolve(rel);
  struct stat st;
  if (!inside || ::stat(HostPath(*inside).c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_mtime);
}

std::optional<std::string> Tree::Link(std::string_view rel) const {
  // The link itself is read, not followed; the folders that lead to it are.
  std::string path = HostPath(rel);
  if (!root_.empty()) {
    while (rel.size() > 1 && rel.back() == '/') rel.remove_suffix(1);
    auto slash = rel.rfind('/');
    std::string_view name = slash == std::string_view::npos ? rel : rel.substr(slash + 1);
    if (name.empty() || name == "." || name == "..") return std::nullopt;
    auto folder = Inside(slash == std::string_view::npos || slash == 0 ? std::string_view("/") : rel.substr(0, slash));
    if (!folder) return std::nullopt;
    path = *folder + "/" + std::string(name);
  }
  char buf[PATH_MAX];
  ssize_t n = ::readlink(path.c_str(), buf, sizeof buf - 1);
  if (n <= 0) return std::nullopt;
  return std::string(buf, static_cast<std::size_t>(n));
}

std::optional<std::string> Tree::Resolve(std::string_view rel) const {
  auto real = RealPath(HostPath(rel));
  if (!real) return std::nullopt;
  if (root_.empty()) return real;
  if (!Within(*real)) return std::nullopt;
  const std::size_t root_size = **real_root_ == "/" ? 0 : (*real_root_)->size();
  if (real->size() == root_size) return std::string("/");
  return real->substr(root_size);
}

std::string Trim(std::string_view s) {
  std::size_t a = 0, b = s.size();
  while (a < b && std::isspace(static_cast<unsigned char>(s[a]))) ++a;
  while (b > a && (std::isspace(static_cast<unsigned char>(s[b - 1])) || s[b - 1] == '\0')) --b;
  return std::string(s.substr(a, b - a));
}

std::vector<std::string> Split(std::string_view s, char sep) {
  std::vector<std::string> out;
  std::size_t start = 0;
  for (;;) {
    auto p = s.find(sep, start);
    out.emplace_back(s.substr(start, p == std::string_view::npos ? std::string_view::npos : p - start));
    if (p == std::string_view::npos) break;
    start = p + 1;
  }
  return out;
}

std::vector<std::string> Words(std::string_view s) {
  std::vector<std::string> out;
  std::size_t i = 0;
  while (i < s.size()) {
    while (i < s.size() && std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    std::size_t start = i;
    while (i < s.size() && !std::isspace(static_cast<unsigned char>(s[i]))) ++i;
    if (i > start) out.emplace_back(s.substr(start, i - start));
  }
  return out;
}

std::vector<std::string> Lines(std::string_view s) {
  std::vector<std::string> out = Split(s, '\n');
  if (!out.empty() && out.back().empty()) out.pop_back();
  return out;
}

std::optional<std::int64_t> ParseInt(std::string_view s) {
  std::string t = Trim(s);
  if (t.empty()) return std::nullopt;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) {
    auto h = ParseHex(t);
    if (!h || *h > static_cast<std::uint64_t>(INT64_MAX)) return std::nullopt;
    return static_cast<std::int64_t>(*h);
  }
  std::size_t i = 0;
  bool neg = false;
  if (t[0] == '-' || t[0] == '+') {
    neg = t[0] == '-';
    i = 1;
  }
  if (i >= t.size()) return std::nullopt;
  std::uint64_t v = 0;
  for (; i < t.size(); ++i) {
    if (!std::isdigit(static_cast<unsigned char>(t[i]))) return std::nullopt;
    if (v > (static_cast<std::uint64_t>(INT64_MAX) - 9) / 10) return std::nullopt;
    v = v * 10 + static_cast<std::uint64_t>(t[i] - '0');
  }
  return neg ? -static_cast<std::int64_t>(v) : static_cast<std::int64_t>(v);
}

std::optional<std::uint64_t> ParseHex(std::string_view s) {
  std::string t = Trim(s);
  std::size_t i = 0;
  if (t.size() > 2 && t[0] == '0' && (t[1] == 'x' || t[1] == 'X')) i = 2;
  if (i >= t.size() || t.size() - i > 16) return std::nullopt;
  std::uint64_t v = 0;
  for (; i < t.size(); ++i) {
    char c = t[i];
    int d = std::isdigit(static_cast<unsigned char>(c)) ? c - '0'
            : (c >= 'a' && c <= 'f')                    ? c - 'a' + 10
            : (c >= 'A' && c <= 'F')                    ? c - 'A' + 10
                                                        : -1;
    if (d < 0) return std::nullopt;
    v = v * 16 + static_cast<std::uint64_t>(d);
  }
  return v;
}

std::string Upper(std::string_view s) {
  std::string o(s);
  for (char& c : o) c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
  return o;
}

std::string Lower(std::string_view s) {
  std::string o(s);
  for (char& c : o) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return o;
}

std::string Hex4(unsigned v) {
  static const char* d = "0123456789ABCDEF";
  std::string o(4, '0');
  for (int i = 3; i >= 0; --i, v >>= 4) o[static_cast<std::size_t>(i)] = d[v & 0xF];
  return o;
}

std::string Basename(std::string_view path) {
  while (!path.empty() && path.back() == '/') path.remove_suffix(1);
  auto p = path.rfind('/');
  return std::string(p == std::string_view::npos ? path : path.substr(p + 1));
}

bool StartsWith(std::string_view s, std::string_view prefix) { return s.substr(0, prefix.size()) == prefix; }

std::map<std::string, std::string> KeyValues(std::string_view text, char sep, bool unquote) {
  std::map<std::string, std::string> out;
  for (const std::string& line : Lines(text)) {
    auto p = line.find(sep);
    if (p == std::string::npos) continue;
    std::string key = Trim(std::string_view(line).substr(0, p));
    std::string value = Trim(std::string_view(line).substr(p + 1));
    if (key.empty() || key[0] == '#') continue;
    if (unquote && value.size() >= 2 && (value.front() == '"' || value.front() == '\'') &&
        value.back() == value.front())
      value = value.substr(1, value.size() - 2);
    out.emplace(std::move(key), std::move(value));
  }
  return out;
}

}  // namespace wmi::lx
