#include "common/utf8_locale.hpp"

#ifndef _WIN32
#include <langinfo.h>
#include <clocale>
#include <cstdlib>
#include <cstring>
#include <string>
#endif

namespace common {

#ifndef _WIN32
namespace {
bool isUtf8(const char* codeset) {
    return std::strcmp(codeset, "UTF-8") == 0 || std::strcmp(codeset, "utf8") == 0;
}

// The categories that LC_ALL overrides; set one by one when LC_ALL has to go.
constexpr const char* categories[] = {
    "LC_NUMERIC", "LC_TIME",    "LC_COLLATE",   "LC_MONETARY",    "LC_MESSAGES",      "LC_PAPER",
    "LC_NAME",    "LC_ADDRESS", "LC_TELEPHONE", "LC_MEASUREMENT", "LC_IDENTIFICATION"};
}  // namespace

void chooseUtf8Ctype() {
    // A locale that is not installed leaves "C" in place: ASCII, as bad as any.
    std::setlocale(LC_ALL, "");
    if (isUtf8(nl_langinfo(CODESET))) return;
    // The same language in UTF-8 where it is installed, else C.UTF-8 (always in glibc).
    std::string ctype = std::setlocale(LC_CTYPE, nullptr);
    ctype = ctype.substr(0, ctype.find_first_of(".@")) + ".UTF-8";
    if (!std::setlocale(LC_CTYPE, ctype.c_str())) {
        ctype = "C.UTF-8";
        if (!std::setlocale(LC_CTYPE, ctype.c_str())) return;
    }
    // Qt reads the locale from the environment again, so the choice goes there. LC_ALL
    // would override LC_CTYPE: its value moves to each other category instead.
    if (const char* all = std::getenv("LC_ALL"); all && *all) {
        const std::string value = all;
        for (const char* category : categories) setenv(category, value.c_str(), 1);
        unsetenv("LC_ALL");
    }
    setenv("LC_CTYPE", ctype.c_str(), 1);
}
#else
void chooseUtf8Ctype() {}
#endif

}  // namespace common
