// carvox-demodisc OUT.iso: writes the demo disc (see tools/demodisc/DemoDisc.h).
#include <cstdio>
#include <exception>

#include "tools/demodisc/DemoDisc.h"

int main(int argc, char** argv) {
  if (argc != 2) {
    std::fprintf(stderr, "usage: carvox-demodisc OUT.iso\n");
    return 1;
  }
  try {
    demodisc::WriteDemoDisc(argv[1]);
  } catch (const std::exception& error) {
    std::fprintf(stderr, "carvox-demodisc: %s: %s\n", argv[1], error.what());
    return 1;
  }
  return 0;
}
