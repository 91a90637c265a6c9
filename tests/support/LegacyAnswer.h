#pragma once

#include <map>
#include <string>
#include <vector>

namespace quorvel::test {

// A legacy XML answer read back strictly: each Series and Episode as element name → text.
struct LegacyAnswer {
  bool wellFormed = false;
  std::string rootName;
  std::vector<std::map<std::string, std::string>> series;
  std::vector<std::map<std::string, std::string>> episodes;
};

LegacyAnswer ReadLegacyAnswer(const std::string& xml);

}  // namespace quorvel::test
