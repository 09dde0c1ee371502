// A stand-in for the outside file chooser "GetOpenName.dll": instead of asking, it
// answers with what it was given, so that a test sees the arguments the add-in passes
// (the paths box's text, the flags, the filter) and that the answer reaches the box.
// A text of "cancel" is answered with null, as a cancelled chooser does.
#include <windows.h>

#include <cstring>
#include <string>

extern "C" __declspec(dllexport) char* WINAPI GetOpenName(const char* text, DWORD flags, const char* filter) {
    if (text == nullptr || filter == nullptr || std::strcmp(text, "cancel") == 0) return nullptr;
    const std::string answer = std::string(text) + "|" + std::to_string(flags) + "|" + filter;
    char* result = static_cast<char*>(::LocalAlloc(LMEM_FIXED, answer.size() + 1));
    if (result != nullptr) std::memcpy(result, answer.c_str(), answer.size() + 1);
    return result;
}
