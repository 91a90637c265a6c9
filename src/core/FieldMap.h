#pragma once

#include <string>
#include <utility>
#include <vector>

namespace quorvel {

// Element name → one text field of a record, in the order the writers serialise them (names
// sorted by byte, so capitalised names come first). Built from a record on demand, so a copy's map
// always refers to the copy's own fields.
class FieldMap {
 public:
  using Entry = std::pair<const char*, const std::string*>;

  template <class Record, std::size_t N>
  static FieldMap Bind(const Record& record,
                       const std::pair<const char*, std::string Record::*> (&table)[N]) {
    FieldMap map;
    map.entries_.reserve(N);
    for (const auto& [name, member] : table) map.entries_.emplace_back(name, &(record.*member));
    return map;
  }

  auto begin() const { return entries_.begin(); }
  auto end() const { return entries_.end(); }
  std::size_t size() const { return entries_.size(); }

 private:
  std::vector<Entry> entries_;
};

}  // namespace quorvel
