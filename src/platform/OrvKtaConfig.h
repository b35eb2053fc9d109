#pragma once
// TOrvKtaConfig: the support-model list, <tool root>/Conf/<executable base name>.xml. It
// names, for every board model, the model file that describes the board:
//
//   <Root><SupportModel>
//     <Item Index="1" Name="GavreloDemo" Conf="GavreloDemo.xml" UloConf=""/>
//   </SupportModel></Root>
//
// The first "/Root/SupportModel/Item" and every following sibling element is one record,
// keyed by its Name (exact, case-sensitive); a later record with the same Name replaces an
// earlier one. A list that is missing or not well-formed leaves the map empty.

#include <map>
#include <string>

#include "platform/OrvXmlBase.h"

struct _OrvModel_t {
  int Index = 0;  // 0 when absent or not a number
  std::wstring Name;
  std::wstring Conf;  // the model file's name inside Conf/
  std::wstring UloConf;
};

using TSupportModels_t = std::map<std::wstring, _OrvModel_t>;

class TOrvKtaConfig : public TOrvXmlBase {
 public:
  // The one list of the process, for the executable TOrvConfigPaths::ExecutablePath() names.
  static TOrvKtaConfig& Instance();

  // Loads the list that belongs to `executablePath` (the tool uses Instance(); tests and
  // tools build their own).
  explicit TOrvKtaConfig(const std::string& executablePath);

  // The Conf of `modelName`; a name that is not listed is added with an empty record and
  // yields "".
  std::wstring GetModelConf(const std::wstring& modelName);

  // Reads the records of the loaded document into SupportModels (nothing when not loaded).
  void ReadSupportModels();

  TSupportModels_t SupportModels;

 private:
  static void ResetInstance();
};
