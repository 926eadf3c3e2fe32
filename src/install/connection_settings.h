#pragma once

#include <string>

namespace vantle {

// The four values an install run works with, taken from the dialog once when OK is pressed:
// nothing can be typed while the run is busy, so they cannot change under it.
struct ConnectionSettings {
    std::wstring server;
    std::wstring database;
    std::wstring login;
    std::wstring password;
};

}  // namespace vantle
