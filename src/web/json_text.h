// json_text.h - the small pieces of JSON and HTML text the pages are made of.
//
// Notes:
// 1) Text comes from the night's files (target names) and may hold control
//    characters or bytes that are not UTF-8. jsonString escapes the controls
//    and writes every invalid byte as U+FFFD, so every document is valid JSON
//    whatever the names hold; htmlText does the same for HTML.
// 2) Numbers are written in the shortest form that reads back as the same
//    double; a value that is not finite is written as null.
#pragma once

#include <string>
#include <string_view>

namespace vantrel {

std::string jsonString(std::string_view utf8);
std::string jsonNumber(double value);
std::string htmlText(std::string_view utf8);

}  // namespace vantrel
