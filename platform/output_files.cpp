#include "platform/output_files.h"

#include <string>

#ifdef _WIN32
#include <process.h>
#define MIREO_GETPID _getpid
#else
#include <unistd.h>
#define MIREO_GETPID getpid
#endif

namespace mireo {

std::string ReplacementPath(const std::string& path, int attempt) {
#ifdef _WIN32
    const std::size_t cut = path.find_last_of("/\\");
#else
    const std::size_t cut = path.find_last_of('/');
#endif
    // Short, whatever the length of the name it stands in for, so that it fits wherever
    // that name fits nearly; the process id keeps two runs apart.
    static const std::string prefix = ".~mireo" + std::to_string(MIREO_GETPID()) + "-";
    std::string beside = cut == std::string::npos ? std::string() : path.substr(0, cut + 1);
    beside += prefix;
    beside += std::to_string(attempt);
    beside += ".tmp";
    return beside;
}

}  // namespace mireo
