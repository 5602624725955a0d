// XmlTagInfo: the small tree of tag records that the data dictionary reader
// (dictionary/data_dict_reader.h) builds for one table and the builder
// (dictionary/data_dict_builder.h) turns into a table definition.
//
// Shape: a first-child / next-sibling tree. Each record owns its first child
// and its next sibling, and through them the whole tree below and beside it.
// Destroying a record frees that whole tree without recursion, so a table of
// thousands of columns (a sibling chain thousands long) cannot exhaust the
// stack.
//
// Thread safety: a tree is a plain value owned by one loader at a time.
#pragma once

#include <cstdint>
#include <memory>
#include <string>
#include <vector>

struct XmlTagInfo {
  XmlTagInfo() = default;
  ~XmlTagInfo();
  XmlTagInfo(const XmlTagInfo&) = delete;
  XmlTagInfo& operator=(const XmlTagInfo&) = delete;

  std::string tagName;  // the element's name as written in the file
  // The kept attributes, in the order in which they were read; attrNames[i]
  // has the value attrValues[i]. Both always have the same size.
  std::vector<std::string> attrNames;
  std::vector<std::string> attrValues;
  // The element's text(s): empty for an element without text; more than one
  // only for the collected list of allowed values.
  std::vector<std::string> values;
  std::unique_ptr<XmlTagInfo> child;    // first child
  std::unique_ptr<XmlTagInfo> sibling;  // next sibling

  int32_t attrCount() const { return static_cast<int32_t>(attrNames.size()); }
  int32_t valueCount() const { return static_cast<int32_t>(values.size()); }

  // The value of the kept attribute name (exact match), or none.
  const std::string* FindAttribute(const char* name) const;
  // The first text, or none when the element had no text.
  const std::string* FirstValue() const;
  // true when tagName equals name ignoring letter case.
  bool IsNamed(const char* name) const;
};

// Logs "\n Inside CreateandInitXmlTagInfo \n" (trace). A new empty record,
// or none when memory is exhausted.
std::unique_ptr<XmlTagInfo> CreateandInitXmlTagInfo();

// Logs "\n Inside FreeXmlTagInfoList\n" (trace). Frees tag with every record
// below and beside it. A null tag is ignored.
void FreeXmlTagInfoList(std::unique_ptr<XmlTagInfo> tag);

namespace fh {

// Appends records to a record's children in order, in constant time each.
class XmlTagChildAppender {
 public:
  explicit XmlTagChildAppender(XmlTagInfo* parent) : parent_(parent) {}
  // Links tag in as the last child of the parent; returns it (not owning).
  XmlTagInfo* Append(std::unique_ptr<XmlTagInfo> tag);

 private:
  XmlTagInfo* parent_;
  XmlTagInfo* last_ = nullptr;
};

}  // namespace fh
