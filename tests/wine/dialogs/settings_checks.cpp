// The settings: the language files beside the plugin in the drop-down, and OK making the
// chosen one current, in the .ini and in the names of a new listing.
#include "dialog_test.h"
#include "dialogs/settings_dialog.h"
#include "host_window.h"
#include "system_texts.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

namespace s = qb::settings;

LRESULT AskCombo(HWND combo, UINT message, WPARAM wParam = 0, LPARAM lParam = 0) {
  DWORD_PTR answer = 0;
  if (!SendMessageTimeoutW(combo, message, wParam, lParam, SMTO_NORMAL, kAnswerTimeoutMs,
                           &answer)) {
    return CB_ERR;
  }
  return static_cast<LRESULT>(answer);
}

std::vector<std::wstring> ComboItems(HWND combo) {
  std::vector<std::wstring> items;
  const LRESULT count = AskCombo(combo, CB_GETCOUNT);
  for (LRESULT i = 0; i < count && i < 100; ++i) {
    const LRESULT length = AskCombo(combo, CB_GETLBTEXTLEN, WPARAM(i));
    if (length < 0) break;
    std::wstring text(std::size_t(length) + 1, L'\0');
    AskCombo(combo, CB_GETLBTEXT, WPARAM(i), reinterpret_cast<LPARAM>(text.data()));
    text.resize(std::size_t(length));
    items.push_back(text);
  }
  return items;
}

int IndexOf(const std::vector<std::wstring>& items, const std::wstring& item) {
  for (std::size_t i = 0; i < items.size(); ++i) {
    if (items[i] == item) return static_cast<int>(i);
  }
  return -1;
}

std::wstring IniLanguage(const Fixture& fixture) {
  const std::wstring ini =
      fixture.pluginPath.substr(0, fixture.pluginPath.find_last_of(L'.')) + L".ini";
  wchar_t value[260] = {};
  GetPrivateProfileStringW(L"General", L"Language", L"", value, 260, ini.c_str());
  return value;
}

}  // namespace

void CheckSettings(Fixture& fixture) {
  HostWindow host(true);
  if (!Check(host.created(), "the host window is made for the settings")) return;
  host.Focus();
  const std::wstring english = LanguageName(1033);
  const std::wstring german = LanguageName(1031);
  // The keys first: OK is the default button, Tab goes round the list and the two buttons, and
  // Esc, the cancel button, keeps the language although another one was picked.
  const std::wstring before = IniLanguage(fixture);
  RunSession(fixture, host.main(), L"\\", L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host.main());
    if (!Check(dialog != nullptr, "properties on the root shows the settings")) return;
    Check(User::DefaultId(dialog) == s::Button1, "OK is the settings' default button");
    const std::vector<int> expected = {s::Button1, s::Button2, s::ComboBox1};
    const auto order = User::TabOrder(dialog, s::ComboBox1);
    Check(order == expected,
          "Tab goes from the language list to OK, Cancel and back (got" + IdList(order) + ")");
    HWND combo = User::Control(dialog, s::ComboBox1);
    AskCombo(combo, CB_SETCURSEL, WPARAM(IndexOf(ComboItems(combo), german)));
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(s::ComboBox1, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    Check(user.WaitForFocusIn(dialog), "the settings take the keyboard focus");
    user.Press(VK_ESCAPE);
    Check(user.WaitGone(dialog), "Esc closes the settings");
  });
  Check(IniLanguage(fixture) == before,
        "Esc changes no language (got \"" + Narrow(IniLanguage(fixture)) + "\")");
  const int result = RunSession(fixture, host.main(), L"\\", L"properties", [&](User& user) {
    HWND dialog = user.WaitForDialog(host.main());
    if (!Check(dialog != nullptr, "properties on the root shows the settings")) return;
    Check(user.WindowText(dialog) == L"Settings" &&
              user.Text(dialog, s::Label1) == L"Interface language:",
          "the settings are captioned \"Settings\" and ask for the interface language");
    HWND combo = User::Control(dialog, s::ComboBox1);
    const auto items = ComboItems(combo);
    std::string listed;
    for (const auto& item : items) listed += " \"" + Narrow(item) + "\"";
    const int germanIndex = IndexOf(items, german);
    Check(items.size() == 2 && IndexOf(items, english) >= 0 && germanIndex >= 0,
          "the drop-down lists the two language files by the system's language names:" + listed);
    Check(AskCombo(combo, CB_GETCURSEL) == IndexOf(items, english),
          "the current language, English, is chosen when the settings open");
    user.Shoot(dialog, L"settings.png");
    // Picking from the drop-down as a user does: the selection, then the notification.
    AskCombo(combo, CB_SETCURSEL, WPARAM(germanIndex));
    PostMessageW(GetParent(combo), WM_COMMAND, MAKEWPARAM(s::ComboBox1, CBN_SELCHANGE),
                 reinterpret_cast<LPARAM>(combo));
    user.Click(dialog, s::Button1);
    Check(user.WaitGone(dialog), "OK closes the settings");
  });
  Check(result == kExecOk, "FsExecuteFileW gives FS_EXEC_OK for the settings");
  Check(IniLanguage(fixture) == L"Deu.lng",
        "OK writes the chosen language file into the .ini (got \"" + Narrow(IniLanguage(fixture)) +
            "\")");

  // The type word of a record name is the language's text 100 for information, lower-case.
  const auto names = ListNames(fixture, std::wstring(L"\\") + kLog);
  std::string problem;
  for (std::size_t i = 0; i < names.size() && i < fixture.records.size(); ++i) {
    const TestRecord& record = RecordAtEntry(fixture, int(i) + 1);
    std::wstring expected = ListedName(record);
    if (record.typeWord == L"information") {
      expected = expected.substr(0, expected.size() - record.typeWord.size()) + L"informationen";
    }
    if (names[i] != expected) problem += " \"" + Narrow(names[i]) + "\"";
  }
  Check(names.size() == fixture.records.size() && problem.empty(),
        "a new listing names information records with the new language's word" + problem);
}

}  // namespace qb::winetest::dialogs
