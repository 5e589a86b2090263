// Prints each argument between brackets on a line of its own, "done" on
// standard error, and exits with 3: what a run of another program must pass
// through unchanged.
#include <iostream>

#include "platform/platform.h"

int main(int argc, char** argv) {
  for (const auto& argument : veldra::utf8Arguments(argc, argv)) std::cout << '[' << argument << "]\n";
  std::cerr << "done\n";
  return 3;
}
