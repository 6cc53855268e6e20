#include "cli/export_command.h"

#include <chrono>
#include <cstdlib>
#include <ctime>
#include <filesystem>
#include <map>
#include <ostream>
#include <set>
#include <string_view>

#include "cli/capture_header.h"
#include "cli/cli.h"
#include "cli/inventory.h"
#include "cli/value_json.h"
#include "wmi/provider.h"
#include "wmi/utf8_path.h"

namespace cli {

namespace {

std::string Lower(std::string_view s) {
  std::string r(s);
  for (char& c : r)
    if (c >= 'A' && c <= 'Z') c = static_cast<char>(c - 'A' + 'a');
  return r;
}

const wmi::Value* FirstValue(const wmi::Snapshot& s, std::string_view class_name, std::string_view property) {
  const wmi::RecordedClass* c = s.FindClass("root\\cimv2", class_name);
  if (!c || c->instances.empty()) return nullptr;
  const wmi::Property* p = c->instances.front().Find(property);
  return p ? &p->value : nullptr;
}

std::string TextOf(const wmi::Value* v) { return v && v->kind() == wmi::Value::Kind::Text ? v->text() : ""; }

std::string FileTime(const std::string& path) {
  std::error_code ec;
  auto t = std::filesystem::last_write_time(wmi::PathFromUtf8(path), ec);
  if (ec) return "";
  auto sys = std::chrono::file_clock::to_sys(t);
  std::time_t tt = std::chrono::system_clock::to_time_t(std::chrono::time_point_cast<std::chrono::seconds>(sys));
  const std::tm* tm = std::gmtime(&tt);
  if (!tm) return "";
  char buffer[32];
  std::strftime(buffer, sizeof buffer, "%Y-%m-%dT%H:%M:%SZ", tm);
  return buffer;
}

// A CSV field: quoted when it holds a comma, a quotation mark or a line break.
std::string CsvField(const std::string& text) {
  if (text.find_first_of(",\"\r\n") == std::string::npos) return text;
  std::string out = "\"";
  for (char c : text) {
    if (c == '"') out += '"';
    out += c;
  }
  return out + "\"";
}

// Text a spreadsheet would run as a formula gets a quotation mark before it;
// a number written as text stays as it is.
std::string Guarded(const std::string& text) {
  if (text.empty() || std::string_view("=+-@\t\r").find(text[0]) == std::string_view::npos) return text;
  char* end = nullptr;
  std::strtod(text.c_str(), &end);
  if (end == text.c_str() + text.size() && text[0] != '\t' && text[0] != '\r' &&
      text.find_first_of("xXnN") == std::string::npos)
    return text;
  return "'" + text;
}

std::string CellText(const wmi::Value& v) {
  if (v.is_null()) return "";
  if (v.kind() == wmi::Value::Kind::Text) return Guarded(v.text());
  return JsonText(v);
}

}  // namespace

std::string WmiDateTime(const std::string& text) {
  // yyyymmddHHMMSS.mmmmmmsUUU
  if (text.size() < 14) return "";
  for (int i = 0; i < 14; ++i)
    if (text[i] < '0' || text[i] > '9') return "";
  return text.substr(0, 4) + "-" + text.substr(4, 2) + "-" + text.substr(6, 2) + " " + text.substr(8, 2) + ":" +
         text.substr(10, 2) + ":" + text.substr(12, 2);
}

Capture LoadCapture(const std::string& path) {
  try {
    return CaptureOf(wmi::LoadSnapshotFile(path), path);
  } catch (const wmi::SnapshotError& e) {
    throw UsageError{e.what()};
  }
}

Capture CaptureOf(wmi::Snapshot snapshot, const std::string& path) {
  Capture c;
  c.file = path;
  c.snapshot = std::move(snapshot);
  c.machine = MachineNameFromData(c.snapshot);
  if (c.machine.empty()) c.machine = wmi::Utf8FromPath(wmi::PathFromUtf8(path).stem());
  if (c.snapshot.header) {
    c.machine_id = c.snapshot.header->machine_id;
    c.captured = c.snapshot.header->captured;
    c.source = c.snapshot.header->source;
    c.program = c.snapshot.header->program;
  }
  if (c.machine_id.empty()) c.machine_id = MachineIdFromData(c.snapshot);
  if (c.machine_id.empty()) c.machine_id = "name:" + Lower(c.machine);
  if (c.captured.empty())
    c.captured = CimDateTimeUtc(TextOf(FirstValue(c.snapshot, "Win32_OperatingSystem", "LocalDateTime")));
  if (c.captured.empty()) c.captured = FileTime(path);
  return c;
}

std::string ClassCsv(const std::string& class_name, const std::vector<Capture>& captures) {
  std::vector<std::string> columns;
  std::set<std::string> seen;
  for (const Capture& c : captures)
    for (const wmi::RecordedNamespace& ns : c.snapshot.namespaces)
      if (const wmi::RecordedClass* cls = c.snapshot.FindClass(ns.name, class_name))
        for (const wmi::Instance& inst : cls->instances)
          for (const wmi::Property& p : inst.Properties())
            if (seen.insert(Lower(p.name)).second) columns.push_back(p.name);
  std::string out =
      "\xEF\xBB\xBF"
      "machine,captured";
  for (const std::string& name : columns) out.append(",").append(CsvField(name));
  out += "\r\n";
  for (const Capture& c : captures)
    for (const wmi::RecordedNamespace& ns : c.snapshot.namespaces)
      if (const wmi::RecordedClass* cls = c.snapshot.FindClass(ns.name, class_name))
        for (const wmi::Instance& inst : cls->instances) {
          out += CsvField(Guarded(c.machine)) + "," + CsvField(c.captured);
          for (const std::string& name : columns) {
            const wmi::Property* p = inst.Find(name);
            out += ',';
            if (p) out += CsvField(CellText(p->value));
          }
          out += "\r\n";
        }
  return out;
}

void ReportLoad(const std::string& path, const Capture& capture, LoadOutcome outcome, std::ostream& err) {
  err << "pcinfo-cli: " << path << ": " << capture.machine << " (" << capture.machine_id << ") " << capture.captured
      << ": ";
  switch (outcome) {
    case LoadOutcome::NewMachine:
      err << "a new machine\n";
      break;
    case LoadOutcome::Newer:
      err << "a newer capture\n";
      break;
    case LoadOutcome::Older:
      err << "an older capture, kept in the history\n";
      break;
    case LoadOutcome::Unchanged:
      err << "loaded before, nothing changed\n";
      break;
  }
}

int ExportCommand(const ExportArguments& args, std::ostream& out, std::ostream& err) {
  if (!args.db && !args.csv_class) throw UsageError{"export needs --db FILE or --csv CLASS"};
  if (args.db) {
    std::unique_ptr<Inventory> db = OpenInventory(*args.db);
    int status = 0;
    db->Begin();
    for (const std::string& path : args.captures) {
      // A capture that cannot be read or loaded is skipped, the others load.
      try {
        Capture capture = LoadCapture(path);
        ReportLoad(path, capture, db->Load(capture), err);
      } catch (const UsageError& e) {
        err << "pcinfo-cli: " << (e.message.starts_with(path) ? "" : path + ": ") << e.message << "; skipped\n";
        status = 1;
      } catch (const WriteError& e) {
        // The database itself failed (the server went away, the disk is
        // full): say at which capture, and load no more.
        throw WriteError{path + ": " + e.message + "; the load stops here"};
      }
    }
    db->Commit();
    return status;
  }
  std::vector<Capture> captures;
  bool held = false;
  for (const std::string& path : args.captures) {
    captures.push_back(LoadCapture(path));
    for (const wmi::RecordedNamespace& ns : captures.back().snapshot.namespaces)
      held = held || captures.back().snapshot.FindClass(ns.name, *args.csv_class);
  }
  if (!held) throw UsageError{"export --csv: no capture holds the class " + *args.csv_class};
  out << ClassCsv(*args.csv_class, captures);
  return 0;
}

}  // namespace cli
