#include "platform/output_files.h"

#include <cstdio>

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
    char name[48];
    std::snprintf(name, sizeof name, ".~mireo%x-%d.tmp", static_cast<unsigned>(MIREO_GETPID()), attempt);
    return (cut == std::string::npos ? std::string() : path.substr(0, cut + 1)) + name;
}

}  // namespace mireo
