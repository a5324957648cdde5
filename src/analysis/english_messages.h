#pragma once
// The program's messages are written in French (what the windows show first); both front ends show
// them in English from this one table: the command-line tool for an English run, the desktop
// program when its windows are in English.

#include <string>
#include <string_view>

namespace frontlys {

// The English of a message of the program; a text it does not know is returned as it is.
std::string EnglishMessage(std::string_view french);

}  // namespace frontlys
