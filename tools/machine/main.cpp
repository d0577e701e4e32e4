#include <iostream>

#include "platform/registry/Registry.h"
#include "tools/machine/MachineTool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return platform::RunReportingHiveErrors(
      [&] { return machinetool::Run(arguments, std::cout, std::cerr); }, "carvox-machine");
}
