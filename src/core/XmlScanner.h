#pragma once

#include <string>
#include <vector>

namespace quorvel {

// For each element the path rootName/elementName selects (XPath names: no prefix, no namespace),
// in document order, the text ReadChildText(element, childName) gives. Read from the same sources
// with the same refusals as XmlDocument::LoadDocument, but streamed without building the
// document, which is several times faster. Empty when LoadDocument would give an empty document.
std::vector<std::string> StreamChildTexts(const std::string& source, const char* rootName,
                                          const char* elementName, const char* childName);

}  // namespace quorvel
