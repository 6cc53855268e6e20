// What the window tests share: one QApplication for the test program, and
// reading a file the window wrote.
#pragma once

#include <gtest/gtest.h>

#include <QApplication>
#include <QWidget>
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

// The child of `window` named `name`, a failure where there is none.
template <class T>
T* FindNamed(QWidget& window, const char* name) {
  T* w = window.findChild<T*>(QString::fromUtf8(name));
  EXPECT_NE(w, nullptr) << name;
  return w;
}

inline std::string ReadBytes(const std::filesystem::path& p) {
  std::ifstream in(p, std::ios::binary);
  std::ostringstream s;
  s << in.rdbuf();
  return s.str();
}

}  // namespace testing_support
