#pragma once

#include <map>
#include <string>

// Parses a document with expat: "" when it is well-formed, else the error.
// `texts` receives each element's character data by element name.
std::string parseXML(const std::string& xml, std::map<std::string, std::string>* texts = nullptr);
