#pragma once
// Reading one HTML start tag the way a browser's tokenizer reads it: its name and its
// attributes with the places of their names and values, so a tag can be dropped or one of its
// values replaced without touching the text around it. Quoted values may hold ">" and line
// breaks; a tag the text ends inside is incomplete (a browser drops it).

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

namespace kivo {

struct THtmlAttribute {
    std::string name;            // lower case
    std::size_t begin = 0;       // where the attribute's name starts
    std::size_t end = 0;         // after its value (and its closing quote)
    std::size_t valueBegin = 0;  // the value's text, without quotes
    std::size_t valueEnd = 0;
};

struct THtmlTag {
    std::string name;      // lower case; empty when text[pos] starts no tag
    bool closing = false;  // an end tag ("</p>")
    std::size_t end = 0;   // after the closing ">", or the text's end when incomplete
    bool complete = false;
    std::vector<THtmlAttribute> attributes;
};

// The start or end tag at text[pos] == '<'. Its name starts with an ASCII letter and runs to
// a blank, "/" or ">".
THtmlTag ReadTag(std::string_view text, std::size_t pos);

// Where the end tag "</name" (any case, followed by a blank, "/" or ">") that ends an element
// of raw text such as a script starts, searching from `from`; npos when there is none.
std::size_t FindEndTag(std::string_view text, std::string_view name, std::size_t from);

// An attribute's value as a browser reads it: character references decoded.
std::string AttributeValue(std::string_view text, const THtmlAttribute& attribute);

}  // namespace kivo
