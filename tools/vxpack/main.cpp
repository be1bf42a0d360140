// vxpack: builds, lists and checks installation packages.
#include <iostream>
#include <string>
#include <vector>

#include "vxpack_commands.h"

int main(int argc, char** argv) {
  std::vector<std::string> args(argv + 1, argv + argc);
  return vx::pack::RunVxpack(args, std::cout, std::cerr);
}
