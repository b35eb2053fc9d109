#include "platform/OrvXmlBase.h"

#include <vector>

#include "host/FileSystem.h"

namespace {

// Only the four words matter, and they are ASCII: comparing the UTF-8 bytes with their
// ASCII letters upper-cased gives the same answer as decoding the text first, since no byte
// of a multi-byte sequence is an ASCII letter.
std::string AsciiUpper(const char* text) {
  std::string upper = text;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  return upper;
}

// Steps of "/A/B/C"; empty when the path is not absolute or has an empty step.
std::vector<std::string> PathSteps(std::string_view path) {
  std::vector<std::string> steps;
  if (path.size() < 2 || path.front() != '/') return {};
  path.remove_prefix(1);
  for (;;) {
    std::size_t slash = path.find('/');
    std::string_view step = path.substr(0, slash);
    if (step.empty()) return {};
    steps.emplace_back(step);
    if (slash == std::string_view::npos) break;
    path.remove_prefix(slash + 1);
  }
  return steps;
}

// The first element, in document order, that the remaining steps select below `parent`.
// Candidates of one step are tried in order and each is searched before the next, so the
// first hit is the first in document order. Recursion is as deep as the path has steps.
tinyxml2::XMLElement* FirstMatch(tinyxml2::XMLNode* parent, const std::vector<std::string>& steps,
                                 std::size_t step) {
  for (tinyxml2::XMLElement* e = parent->FirstChildElement(steps[step].c_str()); e != nullptr;
       e = e->NextSiblingElement(steps[step].c_str())) {
    if (step + 1 == steps.size()) return e;
    if (tinyxml2::XMLElement* hit = FirstMatch(e, steps, step + 1)) return hit;
  }
  return nullptr;
}

}  // namespace

bool TOrvXmlItem::GetBoolAttribute(const char* name, bool fallback) const {
  if (Element == nullptr) return fallback;
  const char* value = Element->Attribute(name);
  std::string text = AsciiUpper(value != nullptr ? value : "");
  if (text == "TRUE" || text == "1") return true;
  if (text == "FALSE" || text == "0") return false;
  return fallback;
}

TOrvXmlBase::~TOrvXmlBase() = default;

bool TOrvXmlBase::LoadXmlFile(const std::string& fileName) {
  m_XmlFileName = fileName;
  return LoadXmlFile();
}

bool TOrvXmlBase::LoadXmlFile() {
  std::string bytes;
  bool read = !m_XmlFileName.empty() &&
              host::ReadFileBounded(m_XmlFileName, kMaxFileSize, bytes) == host::TReadResult::Ok;
  return read ? Parse(bytes) : Unload();
}

bool TOrvXmlBase::LoadXmlBytes(std::string_view bytes) {
  return bytes.size() <= kMaxFileSize ? Parse(bytes) : Unload();
}

bool TOrvXmlBase::Unload() {
  // The document of an earlier load goes too: nothing may refer into a file that is no
  // longer the loaded one.
  if (Document) Document->Clear();
  RootElement = nullptr;
  Loaded = false;
  return false;
}

bool TOrvXmlBase::Parse(std::string_view bytes) {
  if (!Document) Document = std::make_unique<tinyxml2::XMLDocument>();
  // Parse() clears what an earlier load left in the document.
  tinyxml2::XMLError status = Document->Parse(bytes.data(), bytes.size());
  RootElement = status == tinyxml2::XML_SUCCESS ? Document->RootElement() : nullptr;
  Loaded = RootElement != nullptr;
  return Loaded;
}

tinyxml2::XMLElement* TOrvXmlBase::SelectFirst(std::string_view path) const {
  if (!Loaded || !Document) return nullptr;
  std::vector<std::string> steps = PathSteps(path);
  if (steps.empty()) return nullptr;
  return FirstMatch(Document.get(), steps, 0);
}

void TOrvXmlBase::AppendItemsAndChildren(tinyxml2::XMLElement* first, bool enabledOnly,
                                         TXmlItems& list) {
  auto take = [enabledOnly](tinyxml2::XMLElement* e) {
    return !enabledOnly || TOrvXmlItem(e).GetBoolAttribute("Enable", false);
  };
  for (tinyxml2::XMLElement* item = first; item != nullptr; item = item->NextSiblingElement()) {
    if (!take(item)) continue;
    list.Items.emplace_back(item);
    ++list.Count;
    for (tinyxml2::XMLElement* child = item->FirstChildElement(); child != nullptr;
         child = child->NextSiblingElement()) {
      if (!take(child)) continue;
      list.Items.emplace_back(child);
      ++list.Count;
    }
  }
}
