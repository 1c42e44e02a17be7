#include "support/plugin_fixture.h"

#include "plugin/lifecycle.h"

namespace qb::support {

PluginTest::PluginTest() {
  sim::ModuleImage image = OwnResources();
  for (const char16_t* name : {u"AMAINICON", u"INFORMATION", u"ERROR", u"WARNING", u"AUDIT_SUCCESS",
                               u"AUDIT_FAILED", u"CRITICAL", u"VERBOSE"}) {
    image.iconGroups[name] = sim::IconGroup{{sim::IconImage{16, 16, 32, {}}}};
    image.iconGroupOrder.push_back(name);
  }
  machine().modules().SetOwnImage(image);
  ProgressCalls().clear();
  ProgressAnswer() = 0;
  plugin::OnProcessAttach();
}

PluginTest::~PluginTest() {
  plugin::OnProcessDetach(false);
}

void PluginTest::Init(int pluginNr) {
  FsInitW(pluginNr, &ProgressW, nullptr, nullptr);
}

PluginTest::Listing PluginTest::List(std::u16string path) {
  Listing listing;
  fs::WIN32_FIND_DATAW data;
  const fs::HANDLE h = FsFindFirstW(path.data(), &data);
  if (h == fs::kInvalidHandleValue) {
    listing.lastError = machine().system().GetLastError();
    return listing;
  }
  listing.ok = true;
  do {
    listing.entries.push_back(data);
    listing.names.push_back(Name(data));
  } while (FsFindNextW(h, &data));
  EXPECT_EQ(FsFindClose(h), 0);
  return listing;
}

std::vector<PluginTest::ProgressCall>& PluginTest::ProgressCalls() {
  static std::vector<ProgressCall> calls;
  return calls;
}

int& PluginTest::ProgressAnswer() {
  static int answer = 0;
  return answer;
}

int QB_STDCALL PluginTest::ProgressW(int pluginNr, fs::WCHAR* source, fs::WCHAR* target,
                                     int percent) {
  ProgressCalls().push_back({pluginNr, source, target, percent});
  return ProgressAnswer();
}

int PluginTest::GetFile(std::u16string remote, std::u16string local) {
  // As the host calls again after the user agreed to replace a file.
  return FsGetFileW(remote.data(), local.data(), fs::FS_COPYFLAGS_OVERWRITE, nullptr);
}

int PluginTest::Value(std::u16string file, int field, std::u16string& text, int maxlen, int flags) {
  std::vector<char16_t> buffer(static_cast<std::size_t>(std::max(maxlen / 2, 1)) + 8, u'#');
  const int result = FsContentGetValueW(file.data(), field, 0, buffer.data(), maxlen, flags);
  text = result == fs::ft_stringw ? std::u16string(buffer.data()) : std::u16string();
  return result;
}

}  // namespace qb::support
