// pcinfo-wmi-capture OUTPUT [CLASS...]: records what the local WMI service
// answers for the classes of root\cimv2 into a snapshot file (the format of
// wmi/recorded/snapshot.h). Without classes it records every class that the
// category buttons query. Exit status 0 on success, 1 when the namespace
// cannot be connected or the file cannot be written, 2 on a usage error.
#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

#include "queries/buttons.h"
#include "wmi/error.h"
#include "wmi/recorded/snapshot.h"
#include "wmi/windows/capture.h"
#include "wmi/windows/wbem.h"
#include "wmi/wql.h"

namespace {

// The classes the buttons read: the class of each button's query text, and
// those the composite buttons query on their own.
std::vector<std::string> ButtonClasses() {
  std::vector<std::string> classes;
  for (const queries::Button& b : queries::Buttons()) {
    std::string name;
    try {
      name = wmi::ParseWql(b.query).class_name;
    } catch (const wmi::Error&) {
      name = std::string(b.query);  // a class name alone (InstancesOf)
    }
    if (!name.empty()) classes.push_back(name);
  }
  classes.push_back("Win32_PnPEntity");
  return classes;
}

}  // namespace

int main(int argc, char** argv) {
  if (argc < 2) {
    std::fprintf(stderr, "usage: pcinfo-wmi-capture OUTPUT [CLASS...]\n");
    return 2;
  }
  std::vector<std::string> classes(argv + 2, argv + argc);
  if (classes.empty()) classes = ButtonClasses();
  try {
    wmi::windows::WbemProvider provider;
    std::string json = wmi::SerializeSnapshot(wmi::windows::CaptureSnapshot(provider, "root\\cimv2", classes));
    std::ofstream out(argv[1], std::ios::binary);
    out << json;
    out.close();
    if (!out) {
      std::fprintf(stderr, "pcinfo-wmi-capture: cannot write %s\n", argv[1]);
      return 1;
    }
  } catch (const wmi::Error& e) {
    std::fprintf(stderr, "pcinfo-wmi-capture: %s\n", e.what());
    return 1;
  }
  return 0;
}
