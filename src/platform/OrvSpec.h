#pragma once
// TOrvSpec: the board description — the model name (the project name of the BIOS
// identity record, trailing dots removed, used unchanged as the INI section name), a
// file-safe form of it, the identity signature flag and the ACPI P-state support flag.
// Its construction hands the MCFG base of the ACPI tables to the access service as the
// PCI Express configuration base.

#include <string>

class TReadWrite;
class TSmbiosBase;
class TAcpiBase;

class TOrvSpec {
 public:
  static TOrvSpec& Instance();
  virtual ~TOrvSpec();

  bool HasBiosSignature() const { return m_SignatureFound; }

  // "0" gives an empty name; otherwise each of  \ / : * ? " < > | becomes '_'.
  static std::wstring MakeSafeModelName(const std::wstring& modelName);

 private:
  TOrvSpec();
  static void ResetInstance();
  bool CheckPStateSupport();

  TReadWrite& m_ReadWrite;
  TSmbiosBase& m_Smbios;
  TAcpiBase* m_Acpi = nullptr;  // obtained after the BIOS identity record, step 6

 public:
  std::wstring ModelName;
  std::wstring SafeModelName;

 private:
  bool m_SignatureFound = false;

 public:
  bool PStateSupported = false;
};
