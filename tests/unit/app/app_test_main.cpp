#include "app_test_main.hpp"

app::Application& testApp() {
    static int argc = 1;
    static char name[] = "test_app";
    static char* argv[] = {name, nullptr};
    static app::Application* instance = new app::Application(argc, argv);
    return *instance;
}
