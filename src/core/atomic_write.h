#pragma once
// Every file the program writes goes through here: the bytes go to a temporary file in the same
// folder, which is flushed and then renamed over the destination. A failure at any step leaves the
// previous file exactly as it was and returns the reason.

#include <filesystem>
#include <string_view>

#include "core/status.h"

namespace frontlys {

Status WriteFileAtomically(const std::filesystem::path& destination, std::string_view bytes);

}  // namespace frontlys
