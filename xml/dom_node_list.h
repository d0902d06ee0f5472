#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace xml {

class TDomNode;

// A read-only view over an ordered list of nodes.
class TDomNodeList {
public:
  // Number of entries.
  virtual int length() const = 0;
  // The entry at `index`, or null when index is negative or not below length.
  virtual TDomNode* item(int index) const = 0;
  // Position of `node`, or -1.
  int indexOf(const TDomNode* node) const;

protected:
  TDomNodeList() = default;
  TDomNodeList(const TDomNodeList&) = delete;
  TDomNodeList& operator=(const TDomNodeList&) = delete;
  ~TDomNodeList() = default;
};

// The children of a node. Remembers the last position read, so reading the
// items in order costs O(1) each until the document changes.
class TDomChildNodeList final : public TDomNodeList {
public:
  explicit TDomChildNodeList(TDomNode* parent) : parent_(parent) {}
  int length() const override;
  TDomNode* item(int index) const override;

private:
  void syncWithDocument() const;

  TDomNode* parent_;
  mutable TDomNode* cachedNode_ = nullptr;
  mutable int cachedIndex_ = -1;
  mutable int cachedLength_ = -1;
  mutable std::uint64_t stamp_ = 0;
};

// The elements below a start node (never the start node itself) whose name
// equals the query name, or all of them for "*", in document order. The
// list is live; the matches found are kept until the document changes, so
// reading all n items costs O(n) in total.
class TDomElementsNodeList final : public TDomNodeList {
public:
  TDomElementsNodeList(std::u16string queryName, TDomNode* startNode);
  int length() const override;
  TDomNode* item(int index) const override;

  const std::u16string& queryName() const { return queryName_; }
  TDomNode* startNode() const { return startNode_; }

private:
  void revalidate() const;
  // Walks on until `count` matches are known or the subtree is done.
  void findMatches(std::size_t count) const;

  std::u16string queryName_;
  TDomNode* startNode_;
  mutable std::vector<TDomNode*> matches_;
  mutable TDomNode* walkPosition_ = nullptr;
  mutable bool walkDone_ = false;
  mutable const std::u16string* internedQuery_ = nullptr;
  mutable std::uint64_t stamp_ = ~std::uint64_t(0);
};

} // namespace xml
