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

namespace wmi::lx {

namespace {

// A regular file opened for reading, never a device node, FIFO or socket; -1 otherwise.
int OpenRegular(const std::string& path) {
  struct stat st;
  if (::stat(path.c_str(), &st) != 0 || !S_ISREG(st.st_mode)) return -1;
  return ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
}

void Note(const std::string& path, const char* what) { std::fprintf(stderr, "pcinfo: %s: %s\n", path.c_str(), what); }

// The whole of a regular file, cut at Tree::kMaxRead.
std::optional<std::string> ReadWhole(const std::string& path) {
  int fd = OpenRegular(path);
  if (fd < 0) return std::nullopt;
  std::string out;
  char buf[8192];
  bool ok = true;
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      ok = false;
      break;
    }
    if (n == 0) break;
    out.append(buf, static_cast<std::size_t>(n));
    if (out.size() > Tree::kMaxRead) {
      out.resize(Tree::kMaxRead);
      Note(path, "longer than 64 MB, read up to there");
      break;
    }
  }
  ::close(fd);
  if (!ok) return std::nullopt;
  return out;
}

}  // namespace

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
  if (!remembered_) remembered_ = std::make_shared<std::unordered_map<std::string, std::optional<std::string>>>();
}

std::optional<std::string> Tree::Read(std::string_view rel) const {
  if (!remembered_) return ReadWhole(HostPath(rel));
  std::string key(rel);
  if (auto it = remembered_->find(key); it != remembered_->end()) return it->second;
  auto text = ReadWhole(HostPath(rel));
  if (!text || text->size() <= kMaxRemembered) remembered_->emplace(std::move(key), text);
  return text;
}

bool Tree::EachLine(std::string_view rel, const std::function<void(std::string_view)>& fn) const {
  std::string path = HostPath(rel);
  int fd = OpenRegular(path);
  if (fd < 0) return false;
  std::string line;  // the part of a line read so far
  bool too_long = false, noted = false;
  char buf[65536];
  for (;;) {
    ssize_t n = ::read(fd, buf, sizeof buf);
    if (n < 0) {
      ::close(fd);
      return false;
    }
    if (n == 0) break;
    std::string_view chunk(buf, static_cast<std::size_t>(n));
    while (!chunk.empty()) {
      auto nl = chunk.find('\n');
      std::string_view piece = chunk.substr(0, nl);
      if (!too_long) {
        if (line.size() + piece.size() > kMaxLine) {
          too_long = true;
          line.clear();
          if (!noted) Note(path, "a line longer than 1 MB left out");
          noted = true;
        } else {
          line.append(piece);
        }
      }
      if (nl == std::string_view::npos) break;
      if (!too_long) fn(line);
      line.clear();
      too_long = false;
      chunk.remove_prefix(nl + 1);
    }
  }
  ::close(fd);
  if (!line.empty() && !too_long) fn(line);
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
  DIR* d = ::opendir(HostPath(rel).c_str());
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
  struct stat st;
  return ::stat(HostPath(rel).c_str(), &st) == 0;
}

bool Tree::IsDir(std::string_view rel) const {
  struct stat st;
  return ::stat(HostPath(rel).c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

std::optional<std::int64_t> Tree::ModifiedTime(std::string_view rel) const {
  auto inside = Resolve(rel);
  struct stat st;
  if (!inside || ::stat(HostPath(*inside).c_str(), &st) != 0) return std::nullopt;
  return static_cast<std::int64_t>(st.st_mtime);
}

std::optional<std::string> Tree::Link(std::string_view rel) const {
  char buf[PATH_MAX];
  ssize_t n = ::readlink(HostPath(rel).c_str(), buf, sizeof buf - 1);
  if (n <= 0) return std::nullopt;
  return std::string(buf, static_cast<std::size_t>(n));
}

namespace {

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

std::optional<std::string> Tree::Resolve(std::string_view rel) const {
  auto real = RealPath(HostPath(rel));
  if (!real) return std::nullopt;
  const std::string& r = *real;
  if (root_.empty()) return r;
  if (!real_root_) real_root_ = RealPath(root_);
  if (!*real_root_) return std::nullopt;
  const std::string& b = **real_root_;
  if (r == b) return std::string("/");
  if (r.size() <= b.size() || r.compare(0, b.size(), b) != 0 || r[b.size()] != '/') return std::nullopt;
  return r.substr(b.size());
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
