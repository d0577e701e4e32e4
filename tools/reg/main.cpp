#include <iostream>

#include "tools/reg/RegTool.h"

int main(int argc, char** argv) {
  return regtool::Run(std::vector<std::string>(argv + 1, argv + argc), std::cout, std::cerr);
}
