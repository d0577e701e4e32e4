#include <iostream>

#include "platform/registry/Registry.h"
#include "tools/reg/RegTool.h"

int main(int argc, char** argv) {
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return platform::RunReportingHiveErrors([&] { return regtool::Run(arguments, std::cout, std::cerr); },
                                          "carvox-reg");
}
