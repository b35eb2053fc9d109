#include <gtest/gtest.h>

#include <climits>

#include "host/IntConversion.h"

namespace {

TEST(IntConversion, AcceptsTheRunTimeLibraryForms) {
  const std::pair<const wchar_t*, std::int32_t> accepted[] = {
      {L"0", 0},
      {L"100", 100},
      {L"   42", 42},
      {L"+7", 7},
      {L"-15", -15},
      {L"$1F", 31},
      {L"$ff", 255},
      {L"x10", 16},
      {L"X10", 16},
      {L"0x10", 16},
      {L"0X1a", 26},
      {L"-$10", -16},
      {L" +0x7FFFFFFF", INT_MAX},
      {L"2147483647", INT_MAX},
      {L"-2147483648", INT_MIN},
      {L"$80000000", INT_MIN},
      {L"$FFFFFFFF", -1},
      {L"0000000000012", 12},
      {L"$000000000001", 1},
  };
  for (auto [text, expected] : accepted) {
    std::int32_t value = 12345;
    EXPECT_TRUE(host::TryStrToInt(text, value)) << std::wstring(text).size();
    EXPECT_EQ(value, expected);
  }
}

TEST(IntConversion, RejectsEverythingElseAndLeavesTheValue) {
  for (const wchar_t* text : {L"",
                              L" ",
                              L"abc",
                              L"12 ",
                              L"1 2",
                              L"\t12",
                              L"12\t",
                              L"-",
                              L"+",
                              L"$",
                              L"0x",
                              L"x",
                              L"--1",
                              L"+-1",
                              L"1e3",
                              L"12abc",
                              L"$G",
                              L"0x1G",
                              L"00x1",
                              L"2147483648",
                              L"-2147483649",
                              L"$100000000",
                              L"99999999999999999999",
                              L"\u0661"}) {
    std::int32_t value = 12345;
    EXPECT_FALSE(host::TryStrToInt(text, value)) << std::wstring(text).size();
    EXPECT_EQ(value, 12345);
  }
  // An embedded NUL is a character like any other: not a digit.
  std::int32_t value = 0;
  EXPECT_FALSE(host::TryStrToInt(std::wstring_view(L"12\0", 3), value));
  EXPECT_EQ(host::StrToIntDef(L"GPIO", 255), 255);
  EXPECT_EQ(host::StrToIntDef(L"23", 255), 23);
  EXPECT_TRUE(host::TryStrToInt(std::string_view("$10"), value));
  EXPECT_EQ(value, 16);
}

}  // namespace
