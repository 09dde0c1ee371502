#pragma once
// The output file names live in the platform layer, shared by both export formats.
#include "platform/file_naming.h"
