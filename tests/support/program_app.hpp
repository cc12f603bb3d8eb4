#pragma once

#include "app/error_box.hpp"
#include "app/program.hpp"

// The one application object of a test program that needs the program's own (error
// boxes, quitting), set up as the program sets it up. Made on first use, never destroyed.
inline app::Application& testApp() {
    static int argc = 1;
    static char name[] = "drevonix_test";
    static char* argv[] = {name, nullptr};
    static auto* instance = [] {
        auto* a = new app::Application(argc, argv);
        // The program's own texts, whatever language this machine's desktop has.
        qputenv("DREVONIX_LANG", "ru");
        app::setUpApplication(*a);
        return a;
    }();
    return *instance;
}
