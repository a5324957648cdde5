#pragma once
// A sentence about the last analysis for the information window, the text summary and the JSON:
// what the analysis did (method, passes, why it stopped, advice) or a warning about the data.

#include <string>

namespace frontlys {

// `code` is stable for programs; the sentence comes in both languages of the tools.
struct Note {
    std::string code;
    std::string fr;
    std::string en;
};

}  // namespace frontlys
