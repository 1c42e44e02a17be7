// The record viewer over the host's list: a record's values and its two dumps, the copy to
// the clipboard, stepping by buttons and Page keys with both wrap questions, and what the
// viewer does to the host's caret and selection.
#include <cwchar>
#include <optional>

#include "dialog_test.h"
#include "dialogs/record_viewer.h"
#include "host_window.h"
#include "system_texts.h"
#include "wine_test_support.h"

namespace qb::winetest::dialogs {
namespace {

namespace v = qb::viewer;

constexpr std::size_t kLabelWidth = 28;  // of the labels in the copied text
constexpr DWORD kSettleMs = 300;         // for a posted message to be handled
constexpr wchar_t kQuestionCaption[] = L"View events";
constexpr wchar_t kEndQuestion[] =
    L"You have reached the end of the event log. To continue the review from the beginning?";
constexpr wchar_t kBeginQuestion[] =
    L"You have reached the beginning of the event log. To continue the review with the end?";

// The English words for the lower-case type words of the listing.
const std::pair<const wchar_t*, const wchar_t*> kTypeTexts[] = {{L"information", L"Information"},
                                                                {L"warning", L"Warning"},
                                                                {L"error", L"Error"},
                                                                {L"successaudit", L"SuccessAudit"},
                                                                {L"failureaudit", L"FailureAudit"},
                                                                {L"unknown", L"Unknown"}};

std::wstring TypeText(const TestRecord& record) {
  for (const auto& [word, text] : kTypeTexts) {
    if (record.typeWord == word) return text;
  }
  return L"<no type text for " + record.typeWord + L">";
}

struct Dump {
  std::size_t record;
  std::wstring bytes, words;
};

// The dumps of the two records with binary data: a full line of eight bytes, and eleven bytes
// that end in three bytes of a line and of a word.
const std::vector<Dump>& Dumps() {
  static const std::vector<Dump> dumps = {
      {kFormattedRecord, L"0000: 51 42 21 00 EF BE AD DE     QB!.\u00EF\u00BE\u00AD\u00DE",
       L"0000: 00214251 DEADBEEF "},
      {kHyphenRecord,
       L"0000: 64 69 73 6B 01 02 03 04     disk....\r\n0010: 41 42 43 " + std::wstring(19, L' ') +
           L"ABC",
       L"0000: 6B736964 04030201 434241 "},
  };
  return dumps;
}

std::wstring DumpOf(const Fixture& fixture, const TestRecord& record, bool words) {
  for (const Dump& dump : Dumps()) {
    if (&fixture.records[dump.record] == &record) return words ? dump.words : dump.bytes;
  }
  return {};
}

std::wstring WithoutTrailingBreaks(std::wstring text) {
  while (!text.empty() && (text.back() == L'\r' || text.back() == L'\n')) text.pop_back();
  return text;
}

struct Value {
  int id;
  const char* name;
  std::wstring text;
};

std::vector<Value> ExpectedValues(const TestRecord& record) {
  std::wstring source = Wide(record.contents.source);
  for (auto& c : source) {
    if (c == L'-') c = L' ';
  }
  return {{v::lblTypeVal, "type", TypeText(record)},
          {v::lblDateVal, "date", LocalDate(record.contents.timeWritten)},
          {v::lblTimeVal, "time", LocalTime(record.contents.timeWritten)},
          {v::lblUserVal, "user", record.user},
          {v::lblCompVal, "computer", Wide(record.contents.computer)},
          {v::lblSourceVal, "source", source},
          {v::lblCategryVal, "category", record.category},
          {v::lblCodeVal, "code", std::to_wstring(EventCode(record))}};
}

// What the viewer shows otherwise than it should for `record`; empty when all is right.
std::string Mismatches(const Fixture& fixture, const User& user, HWND dialog,
                       const TestRecord& record, bool words) {
  std::string out;
  const auto compare = [&](const char* name, const std::wstring& got, const std::wstring& want) {
    if (got != want)
      out +=
          std::string(" ") + name + "=\"" + Narrow(got) + "\" (expected \"" + Narrow(want) + "\")";
  };
  for (const Value& value : ExpectedValues(record)) {
    compare(value.name, user.Text(dialog, value.id), value.text);
  }
  compare("description", WithoutTrailingBreaks(user.Text(dialog, v::memDescription)),
          WithoutTrailingBreaks(ExpectedDescription(record)));
  compare(words ? "words" : "bytes", user.Text(dialog, v::memData), DumpOf(fixture, record, words));
  return out;
}

std::string What(const Fixture& fixture, int entry) {
  return "entry " + std::to_string(entry) + " (" +
         Narrow(ListedName(RecordAtEntry(fixture, entry))) + ")";
}

// The clipboard, open for the lifetime of the object.
class OpenClipboardScope {
 public:
  OpenClipboardScope() : open_(OpenClipboard(nullptr) != FALSE) {}
  ~OpenClipboardScope() {
    if (open_) CloseClipboard();
  }
  OpenClipboardScope(const OpenClipboardScope&) = delete;
  OpenClipboardScope& operator=(const OpenClipboardScope&) = delete;
  bool open() const { return open_; }

 private:
  bool open_;
};

std::optional<std::wstring> ClipboardText() {
  OpenClipboardScope clipboard;
  if (!clipboard.open()) return std::nullopt;
  HANDLE data = GetClipboardData(CF_UNICODETEXT);
  if (data == nullptr) return std::nullopt;
  const auto* chars = static_cast<const wchar_t*>(GlobalLock(data));
  if (chars == nullptr) return std::nullopt;
  std::wstring text(chars, wcsnlen(chars, GlobalSize(data) / sizeof(wchar_t)));
  GlobalUnlock(data);
  return text;
}

std::wstring CopyLine(const wchar_t* label, const std::wstring& value) {
  std::wstring line = label;
  if (line.size() < kLabelWidth) line.resize(kLabelWidth, L' ');
  return line + value + L"\r\n";
}

std::wstring ExpectedCopy(const Fixture& fixture, const TestRecord& record,
                          const std::wstring& descriptionShown, bool words) {
  const auto values = ExpectedValues(record);
  const auto text = [&](int id) {
    for (const Value& value : values) {
      if (value.id == id) return value.text;
    }
    return std::wstring();
  };
  return CopyLine(L"Event Type:", text(v::lblTypeVal)) +
         CopyLine(L"Event Source:", text(v::lblSourceVal)) +
         CopyLine(L"Event Category:", text(v::lblCategryVal)) +
         CopyLine(L"Event ID:", text(v::lblCodeVal)) + CopyLine(L"Date:", text(v::lblDateVal)) +
         CopyLine(L"Time:", text(v::lblTimeVal)) + CopyLine(L"User Name:", text(v::lblUserVal)) +
         CopyLine(L"Computer Name:", text(v::lblCompVal)) + L"\r\nDescription:\r\n" +
         descriptionShown + L"\r\n\r\nBinary Data:\r\n" + DumpOf(fixture, record, words) + L"\r\n";
}

enum class Move : std::uint8_t { kUpButton, kDownButton, kPageUp, kPageDown, kBytes, kWords };
enum class Prompt : std::uint8_t { kNone, kYes, kNo };

struct Step {
  const char* what;
  Move move;
  Prompt prompt;
  int entry;  // shown afterwards
};

struct Round {
  const char* name;
  bool multiple;
  // Selected before the viewer opens: the entries of a multiple-selection list, the current
  // entry of a single-selection one; none when empty.
  std::vector<int> preselected;
  int start;  // the caret's entry when the viewer opens
  std::vector<Step> steps;
  WORD closeKey;  // 0: the OK button
  bool full;      // the dumps, the copy and the pictures too
};

// How the host's list differs from what it should be while entry `entry` is shown (`up`) or
// after the viewer has closed on it.
std::string ListProblem(const Round& round, HWND list, int entry, bool up) {
  std::string out;
  const LRESULT caret = AskList(list, LB_GETCARETINDEX);
  if (caret != entry) out += " caret on " + std::to_string(caret);
  if (round.multiple) {
    std::vector<int> expected = round.preselected;
    // Nothing selected: the viewer selects the entry it shows, and only while it is up.
    if (expected.empty() && up) expected = {entry};
    const std::vector<int> selected = SelectedEntries(list);
    if (selected != expected) {
      out += " selected:";
      for (int i : selected) out += " " + std::to_string(i);
    }
  } else if (const LRESULT current = AskList(list, LB_GETCURSEL);
             current != (round.preselected.empty() ? LB_ERR : round.preselected.front())) {
    out += " current entry " + std::to_string(current);
  }
  return out;
}

void RunStep(const Fixture& fixture, const Round& round, HWND list, User& user, HWND dialog,
             const Step& step, int previous, bool& words) {
  switch (step.move) {
    case Move::kUpButton:
      user.Click(dialog, v::btnUp);
      break;
    case Move::kDownButton:
      user.Click(dialog, v::btnDown);
      break;
    case Move::kPageUp:
      user.Press(VK_PRIOR);
      break;
    case Move::kPageDown:
      user.Press(VK_NEXT);
      break;
    case Move::kBytes:
    case Move::kWords:
      words = step.move == Move::kWords;
      user.Click(dialog, words ? v::rbWord : v::rbByte);
      break;
  }
  const std::string what = std::string(round.name) + ": " + step.what;
  if (step.prompt != Prompt::kNone) {
    const bool forward = step.move == Move::kDownButton || step.move == Move::kPageDown;
    const std::wstring question = forward ? kEndQuestion : kBeginQuestion;
    const auto box = user.Answer(dialog, step.prompt == Prompt::kYes ? IDYES : IDNO);
    Check(box && box->caption == kQuestionCaption && box->text == question,
          what + ": the viewer asks \"" + Narrow(question) + "\" in a box captioned \"" +
              Narrow(kQuestionCaption) + "\"" +
              (box ? " (got \"" + Narrow(box->caption) + "\": \"" + Narrow(box->text) + "\")"
                   : " (no box came)"));
    user.Sync(dialog);
  } else if (step.entry == previous) {
    // Nothing may change: the posted click must have been handled before that is checked.
    Sleep(kSettleMs);
    user.Sync(dialog);
  }
  const TestRecord& record = RecordAtEntry(fixture, step.entry);
  std::string problem;
  const bool shown = user.WaitUntil(
      [&] {
        problem = Mismatches(fixture, user, dialog, record, words) +
                  ListProblem(round, list, step.entry, true);
        return problem.empty();
      },
      step.prompt == Prompt::kNone ? dialog : nullptr);
  Check(shown, what + ": the viewer shows " + What(fixture, step.entry) +
                   " and the host's list follows" + problem);
}

// Tab from the page control: the description, the layout checked (of a radio group only the
// checked button is a tab stop), the dump, the three buttons on the page and OK, the default
// button.
void CheckKeyboard(HWND dialog) {
  const std::vector<int> expected = {v::memDescription, v::rbByte,  v::memData, v::btnUp,
                                     v::btnDown,        v::btnCopy, v::btnOK,   v::pcEvent};
  const auto order = User::TabOrder(dialog, v::pcEvent);
  Check(order == expected,
        "Tab goes from the page through the description, Bytes, the dump, the three buttons and "
        "OK (got" +
            IdList(order) + ", expected" + IdList(expected) + ")");
  Check(User::DefaultId(dialog) == v::btnOK, "OK is the viewer's default button");
}

// Bytes, then Words, then the copy of the record with its words.
void CheckDumpsAndCopy(const Fixture& fixture, User& user, HWND dialog, int entry, bool& words) {
  const TestRecord& record = RecordAtEntry(fixture, entry);
  Check(user.WindowText(dialog) == L"Properties",
        "the viewer's caption is \"Properties\" (got \"" + Narrow(user.WindowText(dialog)) + "\")");
  Check(user.Checked(dialog, v::rbByte) && !user.Checked(dialog, v::rbWord) &&
            user.Enabled(dialog, v::memData),
        "a record with binary data opens with Bytes checked and the dump enabled");
  user.Shoot(dialog, L"viewer-bytes.png");

  user.Click(dialog, v::rbWord);
  words = true;
  std::string problem;
  Check(user.WaitUntil(
            [&] {
              problem = Mismatches(fixture, user, dialog, record, true);
              return problem.empty() && user.Checked(dialog, v::rbWord) &&
                     !user.Checked(dialog, v::rbByte);
            },
            dialog),
        "clicking Words checks it and shows the data as little-endian words" + problem);
  user.Shoot(dialog, L"viewer-words.png");

  {
    OpenClipboardScope clipboard;
    if (clipboard.open()) EmptyClipboard();
  }
  user.Click(dialog, v::btnCopy);
  std::optional<std::wstring> copied;
  user.WaitUntil(
      [&] {
        copied = ClipboardText();
        return copied && !copied->empty();
      },
      dialog);
  const std::wstring expected =
      ExpectedCopy(fixture, record, user.Text(dialog, v::memDescription), true);
  Check(copied == expected,
        "the copy button puts the record with its words on the clipboard" +
            (copied == expected ? std::string()
                                : " (got \"" + Narrow(copied.value_or(L"")) + "\", expected \"" +
                                      Narrow(expected) + "\")"));
}

void RunRound(const Fixture& fixture, const std::vector<std::wstring>& names, const Round& round) {
  const std::string name = round.name;
  HostWindow host(round.multiple);
  if (!Check(host.created(), name + ": the host window with its file list is made")) return;
  host.Fill(names);
  HWND list = host.list();
  if (round.multiple) {
    for (int entry : round.preselected) SendMessageW(list, LB_SETSEL, TRUE, entry);
  } else {
    SendMessageW(list, LB_SETCURSEL, round.preselected.empty() ? -1 : round.preselected.front(), 0);
  }
  // A single-selection list with a current entry keeps its caret on it.
  SendMessageW(list, LB_SETCARETINDEX, round.start, FALSE);
  Check(host.Focus(), name + ": the host's file list has the keyboard focus");

  int last = round.start;
  const std::wstring remote = std::wstring(L"\\") + kLog + L"\\" + names[round.start - 1];
  const int result = RunSession(fixture, host.main(), remote, L"open", [&](User& user) {
    HWND dialog = user.WaitForDialog(host.main());
    if (!Check(dialog != nullptr, name + ": open shows the record viewer over the host window")) {
      return;
    }
    Check(user.WaitForFocusIn(dialog), name + ": the viewer takes the keyboard focus");
    Note(name + ": the viewer opened with the focus on control " +
         std::to_string(user.FocusedId()));
    bool words = false;
    std::string problem;
    const TestRecord& first = RecordAtEntry(fixture, round.start);
    Check(user.WaitUntil(
              [&] {
                problem = Mismatches(fixture, user, dialog, first, false) +
                          ListProblem(round, list, round.start, true);
                return problem.empty();
              },
              dialog),
          name + ": the viewer opens on " + What(fixture, round.start) + problem);
    if (round.full) {
      CheckKeyboard(dialog);
      CheckDumpsAndCopy(fixture, user, dialog, round.start, words);
    }
    for (const Step& step : round.steps) {
      RunStep(fixture, round, list, user, dialog, step, last, words);
      last = step.entry;
    }
    if (round.closeKey != 0) {
      user.Press(round.closeKey);
    } else {
      user.Click(dialog, v::btnOK);
    }
    const char* how = round.closeKey == VK_ESCAPE   ? "Esc"
                      : round.closeKey == VK_RETURN ? "Enter"
                                                    : "the OK button";
    Check(user.WaitGone(dialog), name + ": " + how + " closes the viewer");
  });
  Check(result == kExecOk,
        name + ": FsExecuteFileW gives FS_EXEC_OK (got " + std::to_string(result) + ")");
  const std::string after = ListProblem(round, list, last, false);
  Check(after.empty(), name + ": after the viewer the host's caret stays on entry " +
                           std::to_string(last) + " and the selection is as before" + after);
}

}  // namespace

void CheckViewer(Fixture& fixture) {
  std::vector<std::wstring> names = ListNames(fixture, std::wstring(L"\\") + kLog);
  if (!Check(names.size() == fixture.records.size() && fixture.records.size() == 8,
             "the log lists the eight test records for the host's list")) {
    return;
  }
  const int last = static_cast<int>(names.size());
  const std::vector<Round> rounds = {
      {"multiple selection, nothing selected",
       true,
       {},
       EntryOf(fixture, kFormattedRecord),
       {
           {"the Down button", Move::kDownButton, Prompt::kNone, last},
           {"the Down button at the end, answered No", Move::kDownButton, Prompt::kNo, last},
           {"the Down button at the end, answered Yes", Move::kDownButton, Prompt::kYes, 1},
           {"clicking Bytes", Move::kBytes, Prompt::kNone, 1},
           {"the Up button at the beginning, answered No", Move::kUpButton, Prompt::kNo, 1},
           {"Page Down", Move::kPageDown, Prompt::kNone, 2},
           {"Page Up", Move::kPageUp, Prompt::kNone, 1},
           {"Page Up at the beginning, answered Yes", Move::kPageUp, Prompt::kYes, last},
           {"Page Down at the end, answered No", Move::kPageDown, Prompt::kNo, last},
           {"Page Down at the end, answered Yes", Move::kPageDown, Prompt::kYes, 1},
           {"Page Up at the beginning, answered No", Move::kPageUp, Prompt::kNo, 1},
           {"the Up button at the beginning, answered Yes", Move::kUpButton, Prompt::kYes, last},
           {"the Up button", Move::kUpButton, Prompt::kNone, last - 1},
       },
       VK_ESCAPE,
       true},
      {"single selection, no current entry",
       false,
       {},
       4,
       {
           {"the Down button", Move::kDownButton, Prompt::kNone, 5},
           {"Page Up", Move::kPageUp, Prompt::kNone, 4},
           {"Page Up", Move::kPageUp, Prompt::kNone, 3},
       },
       VK_RETURN,
       false},
      // The list refuses to move the caret off its current entry (LB_SETCARETINDEX gives
      // LB_ERR): the viewer stays on the record the list shows.
      {"single selection, a current entry",
       false,
       {4},
       4,
       {
           {"the Down button", Move::kDownButton, Prompt::kNone, 4},
           {"Page Up", Move::kPageUp, Prompt::kNone, 4},
       },
       VK_ESCAPE,
       false},
      {"multiple selection, two entries selected",
       true,
       {2, 5},
       5,
       {
           {"Page Down", Move::kPageDown, Prompt::kNone, 6},
           {"the Down button", Move::kDownButton, Prompt::kNone, 7},
       },
       0,
       false},
  };
  for (const Round& round : rounds) RunRound(fixture, names, round);
}

}  // namespace qb::winetest::dialogs
