#pragma once

#include "app/error_box.hpp"

// The one application object of this test program, made on first use.
app::Application& testApp();
