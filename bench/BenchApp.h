#pragma once
#include <stdlib.h>
#include <unistd.h>

#include <filesystem>
#include <string>

#include "app/App.h"
#include "platform/Platform.h"

// An application as the program starts it, with settings of its own; one for the whole benchmark run.
inline App& benchApp() {
    static App* app = [] {
        static const std::string dir =
            (std::filesystem::temp_directory_path() / ("vorlix-bench-app-" + std::to_string(getpid()))).string();
        setenv("APPDATA", dir.c_str(), 1);
        setenv("VORLIX_ASSETS", VORLIX_ASSET_DIR, 1);
        Platform::initWithBasePath("");
        return new App();
    }();
    return *app;
}
