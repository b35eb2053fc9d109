#pragma once
// The profile files of the reader's tests, by name: the portable reader's tests parse them,
// and on Windows the same files are read with the system's own reader and compared.
// `Probes` are the section/key pairs the tests ask about beyond those the files list.

#include <string>
#include <utility>
#include <vector>

struct TProfileSample {
  std::string Name;
  std::string Bytes;
  std::vector<std::pair<std::wstring, std::wstring>> Probes;
};

// UTF-16LE with byte-order mark, as Windows editors save "Unicode" text.
inline std::string Utf16Le(const std::u16string& text) {
  std::string bytes = "\xFF\xFE";
  for (char16_t c : text) {
    bytes += static_cast<char>(c & 0xFF);
    bytes += static_cast<char>(c >> 8);
  }
  return bytes;
}

inline const std::vector<TProfileSample>& ProfileSamples() {
  static const std::vector<TProfileSample> samples = {
      {"blanks",
       "  [ GavreloDemo ]  trailing text\r\n   delay  =  250  \r\nType=SIO_GPIO\r\n",
       {{L"gavrelodemo", L"DELAY"}, {L"GAVRELODEMO", L"type"}, {L" GavreloDemo ", L"Type"}}},
      {"quotes",
       "[A]\n"
       "q1=\"quoted value\"\n"
       "q2='single'\n"
       "q3=\"unbalanced'\n"
       "q4=\"\n"
       "; comment=not a key\n"
       "   ;indented=comment too\n"
       "dup=first\n"
       "DUP=second\n"
       "[a]\n"
       "only=in the second A\n",
       {{L"A", L"comment"}, {L"A", L"; comment"}, {L"A", L";indented"}, {L"A", L"only"}}},
      {"empty",
       "orphan=before any section\n"
       "[Empty]\n"
       "; only a comment\n"
       "\n"
       "[Model]\n"
       "Delay=\n"
       "Bare\n"
       "=no name\n",
       {{L"Model", L""}, {L"Missing", L"Delay"}, {L"", L"orphan"}, {L"Empty", L"x"}}},
      {"utf16", Utf16Le(u"[Board\u00C4]\r\nPIN=GPIO12\r\nName=\u00FCber\u20AC\r\n"),
       {{L"Board\u00C4", L"pin"}}},
      {"utf8", "\xEF\xBB\xBF[S]\rA=1\nB=\xC3\xBC\r\nC=3", {{L"S", L"A"}}},
      {"latin", "[S]\nV=caf\xE9\n", {}},
      {"ansi", "[S]\nV=\x80\x84\x8D\x9F caf\xE9\n", {}},
      // Valid UTF-8 without a mark: the one file the two readers read differently.
      {"plain-utf8", "[S\xC3\x84]\nV=\xC3\xBC" "ber\n", {{L"S\u00C4", L"V"}}},
      {"odd", Utf16Le(u"[S]\nK=v") + "\x41", {}},
      {"model", "[M]\r\nTYPE=SIO_GPIO\r\n", {{L"m", L"type"}}},
  };
  return samples;
}

inline const std::string& ProfileSample(const std::string& name) {
  for (const TProfileSample& sample : ProfileSamples())
    if (sample.Name == name) return sample.Bytes;
  throw std::invalid_argument("no profile sample " + name);
}
