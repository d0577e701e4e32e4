#pragma once
// The export's file and folder names, as the command line's code names them.

#include "export/ExportNames.h"

namespace cli {

using ::ExportBaseName;
using ::PartitionFolderName;
using ::VolumeFolderNames;

}  // namespace cli
