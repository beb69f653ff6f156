// The compiled resources of Zelmar.exe, read with the program loaded as a
// data file: the dialog templates' language, icon, string and version
// record.
#include <gtest/gtest.h>
#include <windows.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <string>
#include <vector>

#include "zelmar_fixture.h"

namespace zelmar_gui {
namespace {

constexpr WORD kJapanese =
    MAKELANGID(LANG_JAPANESE, SUBLANG_DEFAULT);  // 0x0411

class ResourceTest : public ::testing::Test {
 protected:
  void SetUp() override {
    module_ = LoadLibraryExW(
        Options().exePath.c_str(), nullptr,
        LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_IMAGE_RESOURCE);
    ASSERT_NE(module_, nullptr) << GetLastError();
  }
  void TearDown() override {
    if (module_ != nullptr) FreeLibrary(module_);
  }
  std::vector<BYTE> Resource(LPCWSTR type, LPCWSTR name) {
    HRSRC res = FindResourceExW(module_, type, name, kJapanese);
    if (res == nullptr) return {};
    auto* data =
        static_cast<const BYTE*>(LockResource(LoadResource(module_, res)));
    return std::vector<BYTE>(data, data + SizeofResource(module_, res));
  }
  std::vector<WORD> Languages(LPCWSTR type, LPCWSTR name) {
    std::vector<WORD> langs;
    EnumResourceLanguagesW(module_, type, name, AddLanguage,
                           reinterpret_cast<LONG_PTR>(&langs));
    return langs;
  }
  HMODULE module_ = nullptr;

 private:
  // Callbacks of the system: stdcall on 32-bit x86, so no lambdas.
  static BOOL CALLBACK AddLanguage(HMODULE, LPCWSTR, LPCWSTR, WORD lang,
                                   LONG_PTR param) {
    reinterpret_cast<std::vector<WORD>*>(param)->push_back(lang);
    return TRUE;
  }
};

BOOL CALLBACK AddResourceName(HMODULE, LPCWSTR, LPWSTR name, LONG_PTR param) {
  reinterpret_cast<std::vector<std::wstring>*>(param)->push_back(
      IS_INTRESOURCE(name)
          ? L"#" + std::to_wstring(reinterpret_cast<ULONG_PTR>(name))
          : std::wstring(name));
  return TRUE;
}

// Sequential little-endian reader over a template.
class Reader {
 public:
  explicit Reader(const std::vector<BYTE>& bytes) : bytes_(bytes) {}
  WORD Word() { return static_cast<WORD>(Take(2)); }
  DWORD Dword() { return Take(4); }
  short Short() { return static_cast<short>(Word()); }
  BYTE Byte() { return static_cast<BYTE>(Take(1)); }
  // A sz_Or_Ord: "#<ordinal>" for 0xFFFF + ordinal, else the string.
  std::wstring SzOrOrd() {
    if (pos_ + 2 <= bytes_.size() && Peek() == 0xFFFF) {
      Word();
      return L"#" + std::to_wstring(Word());
    }
    return Sz();
  }
  std::wstring Sz() {
    std::wstring s;
    for (WORD c = Word(); c != 0 && !overrun_; c = Word())
      s += static_cast<wchar_t>(c);
    return s;
  }
  void AlignDword() { pos_ = (pos_ + 3) & ~static_cast<std::size_t>(3); }
  std::size_t pos() const { return pos_; }
  bool overrun() const { return overrun_; }

 private:
  WORD Peek() const {
    return static_cast<WORD>(bytes_[pos_] | bytes_[pos_ + 1] << 8);
  }
  DWORD Take(std::size_t n) {
    if (pos_ + n > bytes_.size()) {
      overrun_ = true;
      pos_ = bytes_.size();
      return 0;
    }
    DWORD v = 0;
    for (std::size_t i = 0; i < n; ++i)
      v |= static_cast<DWORD>(bytes_[pos_ + i]) << (8 * i);
    pos_ += n;
    return v;
  }
  const std::vector<BYTE>& bytes_;
  std::size_t pos_ = 0;
  bool overrun_ = false;
};

// The templates themselves are read back from the compiled resources by
// tests/app/check_res.py; here, that the program carries them in Japanese
// only, and each once.
TEST_F(ResourceTest, DialogTemplatesAreJapaneseOnly) {
  for (const int id : {kIddMain, kIddAboutBox}) {
    SCOPED_TRACE(::testing::Message() << "template " << id);
    EXPECT_EQ(Languages(RT_DIALOG, MAKEINTRESOURCEW(id)),
              std::vector<WORD>{kJapanese});
    EXPECT_FALSE(Resource(RT_DIALOG, MAKEINTRESOURCEW(id)).empty());
  }
}

TEST_F(ResourceTest, OneIconOf32x32In16Colours) {
  std::vector<std::wstring> groups;
  EnumResourceNamesW(module_, RT_GROUP_ICON, AddResourceName,
                     reinterpret_cast<LONG_PTR>(&groups));
  EXPECT_EQ(groups, std::vector<std::wstring>{L"#128"});
  const std::vector<BYTE> group =
      Resource(RT_GROUP_ICON, MAKEINTRESOURCEW(kIdrMainFrame));
  ASSERT_EQ(group.size(), 6u + 14u);  // header and one entry
  Reader r(group);
  EXPECT_EQ(r.Word(), 0);
  EXPECT_EQ(r.Word(), 1);  // icon
  EXPECT_EQ(r.Word(), 1);  // one image
  EXPECT_EQ(r.Byte(), 32);
  EXPECT_EQ(r.Byte(), 32);
  EXPECT_EQ(r.Byte(), 16);  // colours
  r.Byte();
  r.Word();  // planes
  const WORD bits = r.Word();
  r.Dword();
  const WORD imageId = r.Word();
  EXPECT_TRUE(bits == 4 || bits == 0) << bits;
  const std::vector<BYTE> image = Resource(RT_ICON, MAKEINTRESOURCEW(imageId));
  ASSERT_GE(image.size(), sizeof(BITMAPINFOHEADER));
  BITMAPINFOHEADER header{};
  std::memcpy(&header, image.data(), sizeof header);
  EXPECT_EQ(header.biWidth, 32);
  EXPECT_EQ(header.biHeight, 64);  // colour and mask
  EXPECT_EQ(header.biBitCount, 4);
}

TEST_F(ResourceTest, AboutMenuString) {
  // String 101 is entry 5 of block 7.
  const std::vector<BYTE> block =
      Resource(RT_STRING, MAKEINTRESOURCEW(kIdsAboutBox / 16 + 1));
  ASSERT_FALSE(block.empty());
  Reader r(block);
  std::wstring found;
  for (int i = 0; i < 16; ++i) {
    const WORD length = r.Word();
    std::wstring s;
    for (WORD k = 0; k < length; ++k) s += static_cast<wchar_t>(r.Word());
    if (i == kIdsAboutBox % 16) found = s;
  }
  EXPECT_FALSE(r.overrun());
  EXPECT_EQ(found, kAboutMenuText);
}

TEST_F(ResourceTest, VersionRecord) {
  DWORD ignored = 0;
  const DWORD size =
      GetFileVersionInfoSizeW(Options().exePath.c_str(), &ignored);
  ASSERT_GT(size, 0u);
  std::vector<BYTE> info(size);
  ASSERT_TRUE(
      GetFileVersionInfoW(Options().exePath.c_str(), 0, size, info.data()));
  VS_FIXEDFILEINFO* fixed = nullptr;
  UINT length = 0;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\",
                             reinterpret_cast<void**>(&fixed), &length));
  ASSERT_EQ(length, sizeof(VS_FIXEDFILEINFO));
  EXPECT_EQ(fixed->dwSignature, 0xFEEF04BDu);
  EXPECT_EQ(fixed->dwFileVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwFileVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwProductVersionMS, 0x00010000u);
  EXPECT_EQ(fixed->dwProductVersionLS, 0x00000001u);
  EXPECT_EQ(fixed->dwFileFlagsMask, 0x3Fu);
  EXPECT_EQ(fixed->dwFileFlags, 0u);
  EXPECT_EQ(fixed->dwFileOS, 0x4u);
  EXPECT_EQ(fixed->dwFileType, 0x1u);
  EXPECT_EQ(fixed->dwFileSubtype, 0u);
  EXPECT_EQ(fixed->dwFileDateMS, 0u);
  EXPECT_EQ(fixed->dwFileDateLS, 0u);

  WORD* translation = nullptr;
  ASSERT_TRUE(VerQueryValueW(info.data(), L"\\VarFileInfo\\Translation",
                             reinterpret_cast<void**>(&translation), &length));
  ASSERT_EQ(length, 4u);  // one pair
  EXPECT_EQ(translation[0], 0x0411);
  EXPECT_EQ(translation[1], 1200);

  const std::map<std::wstring, std::wstring> exact = {
      {L"FileDescription", L"Zelmar ｱﾌﾟﾘｹｰｼｮﾝ"},
      {L"FileVersion", L"1, 0, 0, 1"},
      {L"InternalName", L"Zelmar"},
      {L"OriginalFilename", L"Zelmar.EXE"},
      {L"ProductName", L"Zelmar ｱﾌﾟﾘｹｰｼｮﾝ"},
      {L"ProductVersion", L"1, 0, 0, 1"},
      {L"Comments", L""},
      {L"LegalTrademarks", L""},
      {L"PrivateBuild", L""},
      {L"SpecialBuild", L""}};
  const std::vector<std::wstring> filled = {L"CompanyName", L"LegalCopyright"};
  auto value = [&](const std::wstring& key, bool& present) {
    wchar_t* text = nullptr;
    UINT chars = 0;
    const std::wstring path = L"\\StringFileInfo\\041104b0\\" + key;
    present = VerQueryValueW(info.data(), path.c_str(),
                             reinterpret_cast<void**>(&text), &chars) != 0;
    return present && text != nullptr ? std::wstring(text) : std::wstring();
  };
  for (const auto& [key, expected] : exact) {
    bool present = false;
    EXPECT_EQ(value(key, present), expected) << Utf16ToUtf8(key);
    EXPECT_TRUE(present) << Utf16ToUtf8(key);
  }
  for (const std::wstring& key : filled) {
    bool present = false;
    const std::wstring text = value(key, present);
    EXPECT_TRUE(present) << Utf16ToUtf8(key);
    EXPECT_FALSE(text.empty()) << Utf16ToUtf8(key);
    EXPECT_EQ(text.find_first_of(L"\r\n"), std::wstring::npos)
        << Utf16ToUtf8(key);
  }

  // Exactly one string table, "041104b0", with exactly these twelve keys.
  const std::vector<BYTE> raw = Resource(RT_VERSION, MAKEINTRESOURCEW(1));
  ASSERT_FALSE(raw.empty());
  EXPECT_EQ(Languages(RT_VERSION, MAKEINTRESOURCEW(1)),
            std::vector<WORD>{kJapanese});
  // Walk VS_VERSIONINFO -> StringFileInfo -> StringTable -> String.
  auto wordAt = [&](std::size_t at) {
    return static_cast<WORD>(raw[at] | raw[at + 1] << 8);
  };
  auto keyAt = [&](std::size_t at) {
    std::wstring key;
    for (std::size_t p = at + 6; p + 1 < raw.size() && wordAt(p) != 0; p += 2)
      key += static_cast<wchar_t>(wordAt(p));
    return key;
  };
  auto firstChild = [&](std::size_t at) {
    std::size_t p = at + 6 + (keyAt(at).size() + 1) * 2;
    p = (p + 3) & ~static_cast<std::size_t>(3);
    return p + ((wordAt(at + 2) + 3) & ~3u);
  };
  std::vector<std::wstring> tables, keys;
  const std::size_t rootEnd = wordAt(0);
  for (std::size_t c = firstChild(0); c < rootEnd;
       c = (c + wordAt(c) + 3) & ~std::size_t{3}) {
    if (wordAt(c) == 0) break;
    if (keyAt(c) != L"StringFileInfo") continue;
    const std::size_t sfiEnd = c + wordAt(c);
    for (std::size_t t = firstChild(c); t < sfiEnd;
         t = (t + wordAt(t) + 3) & ~std::size_t{3}) {
      if (wordAt(t) == 0) break;
      tables.push_back(keyAt(t));
      const std::size_t tEnd = t + wordAt(t);
      for (std::size_t s = firstChild(t); s < tEnd;
           s = (s + wordAt(s) + 3) & ~std::size_t{3}) {
        if (wordAt(s) == 0) break;
        keys.push_back(keyAt(s));
      }
    }
  }
  EXPECT_EQ(tables, std::vector<std::wstring>{L"041104b0"});
  std::vector<std::wstring> sorted = keys;
  std::sort(sorted.begin(), sorted.end());
  EXPECT_EQ(sorted,
            (std::vector<std::wstring>{
                L"Comments", L"CompanyName", L"FileDescription", L"FileVersion",
                L"InternalName", L"LegalCopyright", L"LegalTrademarks",
                L"OriginalFilename", L"PrivateBuild", L"ProductName",
                L"ProductVersion", L"SpecialBuild"}));
}

}  // namespace
}  // namespace zelmar_gui
