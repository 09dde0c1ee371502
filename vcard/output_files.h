#pragma once
// The output files seam lives in the platform layer.
#include "platform/output_files.h"
