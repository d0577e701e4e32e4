#include "export/ExportFeedback.h"

#include <cstdio>

void StderrStatusLine::SetStatusText(const std::string& text) {
  std::fprintf(stderr, "%s\n", text.c_str());
}
