// Stand-ins for platform functions the encoding tests link against while the platform
// layer's module, file and message-box parts are not in this branch. Delete this file
// when platform/ provides ModuleDirectory, JoinPath, ReadWholeFile and the message boxes.
#include <cstdio>
#include <fstream>
#include <iterator>

#include "platform/files.h"
#include "platform/message_box.h"
#include "platform/module.h"

namespace mireo {
namespace {

class CStderrMessageBox : public IMessageBox {
public:
    MbResult Show(const std::string& caption, const std::string& text, MbIcon, MbButtons) override {
        std::fprintf(stderr, "[%s] %s\n", caption.c_str(), text.c_str());
        return MbResult::Ok;
    }
};

IMessageBox* g_installed = nullptr;

}  // namespace

std::string ModuleDirectory() { return "."; }

std::string JoinPath(const std::string& folder, const std::string& name) {
#ifdef _WIN32
    return folder + "\\" + name;
#else
    return folder + "/" + name;
#endif
}

bool ReadWholeFile(const std::string& path, std::string& out) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return false;
    out.assign(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
    return true;
}

IMessageBox& SystemMessageBox() {
    static CStderrMessageBox box;
    return box;
}

IMessageBox* SetMessageBox(IMessageBox* box) {
    IMessageBox* previous = g_installed;
    g_installed = box;
    return previous;
}

IMessageBox& CurrentMessageBox() { return g_installed != nullptr ? *g_installed : SystemMessageBox(); }

}  // namespace mireo
