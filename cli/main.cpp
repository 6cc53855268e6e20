#include <string>
#include <vector>

#include "cli/cli.h"
#include "cli/console.h"

#ifdef _WIN32
// The command line as UTF-16, so that a folder or class named in any script
// arrives whole; the rest of the program reads it as UTF-8.
int wmain(int argc, wchar_t** argv) {
  std::vector<std::string> args = cli::Utf8Arguments(argc, argv);
  std::vector<char*> pointers;
  for (std::string& a : args) pointers.push_back(a.data());
  pointers.push_back(nullptr);
  cli::PrepareConsole();
  cli::StandardStreams streams;
  return cli::Run(argc, pointers.data(), streams.out(), streams.err());
}
#else
int main(int argc, char** argv) {
  cli::PrepareConsole();
  cli::StandardStreams streams;
  return cli::Run(argc, argv, streams.out(), streams.err());
}
#endif
