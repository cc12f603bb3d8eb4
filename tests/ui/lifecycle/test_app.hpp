#pragma once

#include "app/error_box.hpp"
#include "app/program.hpp"

// The one application object of this test program, with the program's title.
inline app::Application& testApp() {
    static int argc = 1;
    static char name[] = "test_lifecycle";
    static char* argv[] = {name, nullptr};
    static auto* instance = [] {
        auto* a = new app::Application(argc, argv);
        app::setUpApplication(*a);
        return a;
    }();
    return *instance;
}
