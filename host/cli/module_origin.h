// For rozove --version: which module rozove loads and where from, so that a
// user of an installed rozove can see which file a job would use.
#pragma once

#include <string>

// One line: "module: NAME from PATH (how it was chosen)", or why no module
// loads. GIVEN is --module's value, empty for the default.
std::string ModuleOrigin(const std::string& given);
