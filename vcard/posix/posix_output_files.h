#pragma once
// Output files on a POSIX file system (the Linux build).
#include <memory>

#include "vcard/output_files.h"

namespace mireo {

std::unique_ptr<IOutputFiles> CreatePosixOutputFiles();

}  // namespace mireo
