#include <iostream>

#include "platform/program/ProgramInfo.h"
#include "platform/registry/Registry.h"
#include "tools/machine/MachineTool.h"

int main(int argc, char** argv) {
  if (const auto status = platform::AnswerInfoOption(argc, argv, "carvox-machine", machinetool::kUsage, std::cout)) {
    return *status;
  }
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return platform::RunReportingHiveErrors(
      [&] { return machinetool::Run(arguments, std::cout, std::cerr); }, "carvox-machine");
}
