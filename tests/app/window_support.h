// What the window tests share: one QApplication for the test program, and
// reading a file the window wrote.
#pragma once

#include <QApplication>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>

namespace testing_support {

inline QApplication& App() {
  static int argc = 1;
  static char name[] = "app_tests";
  static char* argv[] = {name, nullptr};
  static QApplication* app = new QApplication(argc, argv);
  return *app;
}

inline std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace testing_support
