#include <iostream>

#include "cli/cli.h"
#include "cli/console.h"

int main(int argc, char** argv) {
  cli::PrepareConsole();
  return cli::Run(argc, argv, std::cout, std::cerr);
}
