#include "dictionary/xml_tag_info.h"

#include <new>
#include <utility>

#include "log/log.h"
#include "util/c_string.h"

namespace {

// Frees a first-child / next-sibling tree without recursion and without
// allocating: a record with a child is rotated so that the child becomes the
// root and the record its next sibling (the child's old sibling chain becomes
// the record's children); a record without a child is freed and its sibling
// becomes the root. Each record is freed with neither child nor sibling, so
// its own destructor does no further work.
void FreeTree(std::unique_ptr<XmlTagInfo> root) {
  while (root) {
    if (root->child) {
      std::unique_ptr<XmlTagInfo> first = std::move(root->child);
      root->child = std::move(first->sibling);
      first->sibling = std::move(root);
      root = std::move(first);
    } else {
      std::unique_ptr<XmlTagInfo> next = std::move(root->sibling);
      root = std::move(next);
    }
  }
}

}  // namespace

XmlTagInfo::~XmlTagInfo() {
  FreeTree(std::move(child));
  FreeTree(std::move(sibling));
}

const std::string* XmlTagInfo::FindAttribute(const char* name) const {
  for (std::size_t i = 0; i < attrNames.size() && i < attrValues.size(); ++i) {
    if (attrNames[i] == name) return &attrValues[i];
  }
  return nullptr;
}

const std::string* XmlTagInfo::FirstValue() const {
  return values.empty() ? nullptr : &values.front();
}

bool XmlTagInfo::IsNamed(const char* name) const {
  return StringCompareNoCase(tagName.c_str(), name) == 0;
}

std::unique_ptr<XmlTagInfo> CreateandInitXmlTagInfo() {
  LogTrace("\n Inside CreateandInitXmlTagInfo \n");
  try {
    return std::make_unique<XmlTagInfo>();
  } catch (const std::bad_alloc&) {
    return nullptr;
  }
}

void FreeXmlTagInfoList(std::unique_ptr<XmlTagInfo> tag) {
  LogTrace("\n Inside FreeXmlTagInfoList\n");
  FreeTree(std::move(tag));
}

XmlTagInfo* fh::XmlTagChildAppender::Append(std::unique_ptr<XmlTagInfo> tag) {
  XmlTagInfo* appended = tag.get();
  if (last_ == nullptr) {
    last_ = parent_->child.get();
    while (last_ != nullptr && last_->sibling) last_ = last_->sibling.get();
  }
  if (last_ == nullptr) {
    parent_->child = std::move(tag);
  } else {
    last_->sibling = std::move(tag);
  }
  last_ = appended;
  return appended;
}
