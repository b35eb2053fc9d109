#pragma once
// The XML configuration files: a document loaded from one file (TOrvXmlBase), references
// to elements inside it (TOrvXmlItem) and the item lists of one section (TXmlItems).
//
// The files come from the user's disk and are untrusted: at most kMaxFileSize bytes are
// read (a larger file does not load at all), and the parser refuses elements nested more
// than TINYXML2_MAX_ELEMENT_DEPTH deep, so no file can exhaust memory or the stack. A file
// that does not load leaves RootElement null and every list built from it empty.
//
// Encoding: UTF-8, with or without byte-order mark, as the parser detects it. Bytes that
// are not UTF-8 are kept as they are in element and attribute texts.

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <vector>

#include <tinyxml2.h>

class TOrvXmlItem {
 public:
  explicit TOrvXmlItem(tinyxml2::XMLElement* element = nullptr) : Element(element) {}
  virtual ~TOrvXmlItem() = default;

  // "TRUE" or "1" (after upper-casing) is true, "FALSE" or "0" false, anything else — a
  // missing attribute, "yes", "" — is `fallback`; without an element, `fallback`. Only
  // ASCII letters are upper-cased, so no other character can turn into a letter of
  // "TRUE" or "FALSE" (the dotless "ı" stays what it is).
  bool GetBoolAttribute(const char* name, bool fallback) const;

  // Not owned: the element lives in the document of a TOrvXmlBase.
  tinyxml2::XMLElement* Element = nullptr;
};

struct TXmlItems {
  std::vector<TOrvXmlItem> Items;
  int Count = 0;  // entries appended, so always Items.size()
};

class TOrvXmlBase {
 public:
  static constexpr std::size_t kMaxFileSize = 4u << 20;

  TOrvXmlBase() = default;
  virtual ~TOrvXmlBase();
  TOrvXmlBase(const TOrvXmlBase&) = delete;
  TOrvXmlBase& operator=(const TOrvXmlBase&) = delete;

  // Remembers `fileName` and loads it; true when the file was read and is well-formed
  // with a root element. `Loaded` holds the result.
  bool LoadXmlFile(const std::string& fileName);
  // Loads m_XmlFileName again.
  bool LoadXmlFile();
  // Loads file content already in memory (same rules; m_XmlFileName is left as it is).
  bool LoadXmlBytes(std::string_view bytes);

  // The first element that the absolute path "/Root/Section/Item" selects, in document
  // order; null when none does or nothing is loaded. Each step names an element (no
  // wildcards, predicates or axes); a malformed path selects nothing.
  tinyxml2::XMLElement* SelectFirst(std::string_view path) const;

  // Appends to `list` the element `first` and its following sibling elements (comments and
  // text are passed over), each followed directly by its direct child elements. With
  // `enabledOnly`, only items and children whose "Enable" is true are taken.
  static void AppendItemsAndChildren(tinyxml2::XMLElement* first, bool enabledOnly,
                                     TXmlItems& list);

  std::unique_ptr<tinyxml2::XMLDocument> Document;  // created on the first load
  tinyxml2::XMLElement* RootElement = nullptr;      // after a successful load, else null
  bool Loaded = false;
  std::string m_XmlFileName;

 private:
  bool Parse(std::string_view bytes);
  bool Unload();  // always false
};
