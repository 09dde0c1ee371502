#include "platform/user_strings.h"

namespace mireo {
namespace {

struct UserString {
    int id;
    const char* text;
};

// Written by the build from resources/strings.json, the list the add-in's STRINGTABLE
// is written from too: the command line and the dialogs show the same bytes.
constexpr UserString kUserStrings[] = {
#include "mireo_strings.inc"
};

}  // namespace

const char* LoadUserString(int id) {
    for (const UserString& s : kUserStrings)
        if (s.id == id) return s.text;
    return "";
}

}  // namespace mireo
