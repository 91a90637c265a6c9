#pragma once

#include <span>
#include <string>
#include <vector>

namespace quorvel {

// For each element the path rootName/elementName selects (XPath names: no prefix, no namespace),
// in document order, the text ReadChildText(element, childName) gives. Read from the same sources
// with the same refusals as XmlDocument::LoadDocument, but streamed without building the
// document, which is several times faster. Empty when LoadDocument would give an empty document.
std::vector<std::string> StreamChildTexts(const std::string& source, const char* rootName,
                                          const char* elementName, const char* childName);

struct ChildTextPath {
  const char* elementName;
  const char* childName;
};

// The same for several paths under one root, in one read: texts[k] for paths[k]. An element is
// taken by the first path that names it.
std::vector<std::vector<std::string>> StreamChildTexts(const std::string& source,
                                                       const char* rootName,
                                                       std::span<const ChildTextPath> paths);

}  // namespace quorvel
