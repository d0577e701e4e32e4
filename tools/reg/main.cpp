#include <iostream>

#include "platform/program/ProgramInfo.h"
#include "platform/registry/Registry.h"
#include "tools/reg/RegTool.h"

int main(int argc, char** argv) {
  if (const auto status = platform::AnswerInfoOption(argc, argv, "carvox-reg", regtool::kUsage, std::cout)) {
    return *status;
  }
  const std::vector<std::string> arguments(argv + 1, argv + argc);
  return platform::RunReportingHiveErrors([&] { return regtool::Run(arguments, std::cout, std::cerr); },
                                          "carvox-reg");
}
