// The main window's global hotkeys: the "Global Hotkeys" page, the "Hotkeys" section of the
// settings file, the registrations and WM_HOTKEY.
//
// All of it runs on the user-interface thread. ShowStatus lets waiting messages run, so a
// WM_HOTKEY can be handled in the middle of a load or save: the items are never replaced, only
// their registrations; a registration is detached from its item before it is released, and a
// press that was waiting with the old id still finds its item. A second Save waits for the first.
#include <algorithm>
#include <cstdio>
#include <optional>
#include <string>
#include <vector>
#include <utility>

#include "desktop/WinConst.h"
#include "diagnostics/DebugLog.h"
#include "hotkeys/UnitHotKeyText.h"
#include "moving/UnitMove.h"
#include "moving/UnitMoveQueue.h"
#include "shell/UnitFrmMain.h"
#include "shell/UnitSettings.h"
#include "util/UnitText.h"

namespace tessary {

namespace {

constexpr const wchar_t* HotkeysSection = L"Hotkeys";
constexpr const wchar_t* NoHotkeyText = L"[none]";

// What tells the three hotkeys apart, in the list's order.
struct HotkeyRow {
  const wchar_t* iniKey;
  const wchar_t* label;  // on the status line when it is registered
  const wchar_t* logLine;
};
constexpr HotkeyRow Rows[] = {
    {L"MOVELEFT_HOTKEY", L"Move Left", L"WMHK: Move Left/Up"},
    {L"MOVERIGHT_HOTKEY", L"Move Right", L"WMHK: Move Right/Down"},
    {L"MOVENEXT_HOTKEY", L"Move Next", L"WMHK: Move Next"},
};
constexpr size_t RowCount = sizeof Rows / sizeof Rows[0];

std::function<bool(THotkeyData&)>& HotkeyDialog() {
  static std::function<bool(THotkeyData&)> dialog;
  return dialog;
}

}  // namespace

void SetHotkeyDialogHandler(std::function<bool(THotkeyData&)> dialog) { HotkeyDialog() = std::move(dialog); }

// ---------------------------------------------------------------- the page

void TFrmMain::BuildHotkeyPage() {
  using ui::Box;
  struct RowControls {
    ui::CheckBox** check;
    const wchar_t* checkName;
    const wchar_t* caption;
    ui::Button** set;
    const wchar_t* setName;
    ui::Label** key;
    const wchar_t* keyName;
    int32_t top;  // of the check box; the button sits 4 higher, the label 1 or 3 lower
    int32_t labelTop;
  };
  const RowControls rows[] = {
      {&cbMoveLeft, L"cbMoveLeft", L"Move Left/Up", &btnSetMoveLeft, L"btnSetMoveLeft", &lblMoveLeftKey,
       L"lblMoveLeftKey", 15, 16},
      {&cbMoveRight, L"cbMoveRight", L"Move Right/Down", &btnSetMoveRight, L"btnSetMoveRight", &lblMoveRightKey,
       L"lblMoveRightKey", 59, 62},
      {&cbMoveNext, L"cbMoveNext", L"Move Next", &btnSetMoveNext, L"btnSetMoveNext", &lblMoveNextKey,
       L"lblMoveNextKey", 103, 106},
  };
  // The check boxes reach up to the Set buttons: their captions need the room at 150 %.
  constexpr int32_t checkWidth = 115;
  for (size_t i = 0; i < RowCount; ++i) {
    const RowControls& r = rows[i];
    *r.check = &Add<ui::CheckBox>(tsHotkeys, r.checkName, Box{16, r.top, checkWidth, 17}, r.caption);
    *r.set = &Add<ui::Button>(tsHotkeys, r.setName, Box{136, r.top - 4, 75, 25}, L"Set");
    (*r.set)->onClick = [this, i] { SetHotkeyClick(i); };
    *r.key = &Add<ui::Label>(tsHotkeys, r.keyName, Box{217, r.labelTop, 160, 13}, NoHotkeyText);
    (*r.key)->ellipsis = true;
  }
  constexpr int32_t pageWidth = 387, pageHeight = DesignHeight, panelHeight = 41;
  pnl2 = &Add<ui::Panel>(tsHotkeys, L"pnl2", Box{0, pageHeight - panelHeight, pageWidth, panelHeight});
  pnl2->SetAnchors(ui::akLeft | ui::akRight | ui::akBottom);
  btnResetHotkeys = &Add<ui::Button>(pnl2, L"btnResetHotkeys", Box{18, 8, 73, 22}, L"Reset All");
  btnResetHotkeys->flat = true;
  btnSaveHotkey = &Add<ui::Button>(pnl2, L"btnSaveHotkey", Box{pageWidth - 18 - 73, 8, 73, 22}, L"Save");
  btnSaveHotkey->flat = true;
  btnSaveHotkey->SetAnchors(ui::akRight | ui::akTop);
  btnSaveHotkey->onClick = [this] { btnSaveHotkeyClick(); };
}

// ---------------------------------------------------------------- the settings file

void TFrmMain::LoadSaveHotkeys(bool save) {
  TSettingsFile file;
  ReadWriteHotkeys(file.Doc(), save);
  // Reading changes nothing in the file: only a save writes it.
  if (save) file.Close();
}

void TFrmMain::ReadWriteHotkeys(TIniDocument& ini, bool save) {
  if (!save) {
    for (size_t i = 0; i < RowCount; ++i)
      HotkeyBox(i)->SetChecked(ini.ReadBool(HotkeysSection, HotkeyBox(i)->Name(), false));
    HotkeyList.clear();
    for (size_t i = 0; i < RowCount; ++i) {
      const std::wstring text = ini.ReadString(HotkeysSection, Rows[i].iniKey, L"");
      THotkeyData hkd;
      HotkeyLabel(i)->SetText(NoHotkeyText);
      if (!text.empty()) {
        if (std::optional<THotkeyData> read = THotkeyText::FromString(text)) {
          hkd = std::move(*read);
          HotkeyLabel(i)->SetText(hkd.name);  // blank for a cleared hotkey stored as 000000
        } else {
          // Edited by hand, or by something else: that one hotkey is off, the others load.
          AppendLog(L"Hotkeys: " + std::wstring(Rows[i].iniKey) + L" = \"" + text +
                    L"\" is no hotkey; it stays empty");
        }
      }
      auto item = std::make_unique<THotkeyItem>(std::move(hkd));
      if (HotkeyBox(i)->Checked()) {
        item->hk = RegisterHotkeyItem(Rows[i].label, Rows[i].iniKey, item->hkd);
        if (!item->hk) HotkeyBox(i)->SetChecked(false);
      }
      HotkeyList.push_back(std::move(item));
    }
    return;
  }

  for (size_t i = 0; i < RowCount; ++i) ini.WriteBool(HotkeysSection, HotkeyBox(i)->Name(), HotkeyBox(i)->Checked());
  const size_t count = std::min(RowCount, HotkeyList.size());
  // Every old registration goes before the first new one: a combination moved from one hotkey to
  // another would otherwise be refused as taken by its own old registration. Detached before it
  // goes, so a WM_HOTKEY handled while a status line shows finds no stale id.
  for (size_t i = 0; i < count; ++i) {
    THotkeyItem& item = *HotkeyList[i];
    ini.Set(HotkeysSection, Rows[i].iniKey, THotkeyText::ToHKString(item.hkd, true));
    if (item.hk) item.replacedId = item.hk->GetID();
    std::unique_ptr<TACHotKey> old = std::move(item.hk);
  }
  // A refusal leaves the box ticked, and the file says enabled: the next start tries again.
  for (size_t i = 0; i < count; ++i)
    if (HotkeyBox(i)->Checked())
      HotkeyList[i]->hk = RegisterHotkeyItem(Rows[i].label, Rows[i].iniKey, HotkeyList[i]->hkd);
}

std::unique_ptr<TACHotKey> TFrmMain::RegisterHotkeyItem(const std::wstring& label, const std::wstring& iniKey,
                                                        const THotkeyData& hkd) {
  return RegisterHotkeyItem(label, iniKey, hkd, true);
}

std::unique_ptr<TACHotKey> TFrmMain::RegisterHotkeyItem(const std::wstring& label, const std::wstring& iniKey,
                                                        const THotkeyData& hkd, bool announce) {
  const std::wstring line = L"[" + label + L"] Hotkey = " + hkd.name;
  if (announce) ShowStatus(line, true);
  const wchar_t* failure = L"Failed. Hotkey already taken.";
  if (hkd.key == 0) {
    // A ticked box without a key (a cleared hotkey ticked again, or a file edited by hand): the
    // system would take the modifiers alone, or nothing.
    failure = L"Failed. No key set.";
  } else {
    try {
      return std::make_unique<TACHotKey>(Handle(), L"Tessary." + iniKey, hkd.ctrl, hkd.alt, hkd.shft, hkd.win,
                                         hkd.key);
    } catch (const TACHotKeyException&) {
    }
  }
  // A refusal always says which hotkey it was.
  if (!announce) ShowStatus(line, true);
  ShowStatus(failure, true);
  return nullptr;
}

ui::CheckBox* TFrmMain::HotkeyBox(size_t index) const {
  ui::CheckBox* const boxes[RowCount] = {cbMoveLeft, cbMoveRight, cbMoveNext};
  return boxes[index];
}

ui::Label* TFrmMain::HotkeyLabel(size_t index) const {
  ui::Label* const labels[RowCount] = {lblMoveLeftKey, lblMoveRightKey, lblMoveNextKey};
  return labels[index];
}

// ---------------------------------------------------------------- the page's buttons

void TFrmMain::btnSetMoveLeftClick() { SetHotkeyClick(0); }
void TFrmMain::btnSetMoveRightClick() { SetHotkeyClick(1); }
void TFrmMain::btnSetMoveNextClick() { SetHotkeyClick(2); }

void TFrmMain::SetHotkeyClick(size_t index) {
  if (index >= HotkeyList.size() || !HotkeyDialog()) return;
  // The dialog is modal: the page's other buttons cannot be clicked meanwhile, but messages run
  // (a forwarded move, the watcher), and the items stay where they are.
  THotkeyItem& item = *HotkeyList[index];
  // A combination registered here would reach the system's hotkey, not the dialog: while the
  // dialog is open the registrations are released (so pressing them moves nothing), and
  // afterwards the ones in force come back as they were; a change takes effect at Save.
  std::vector<std::pair<size_t, THotkeyData>> suspended;
  for (size_t i = 0; i < HotkeyList.size(); ++i) {
    THotkeyItem& held = *HotkeyList[i];
    if (!held.hk) continue;
    held.replacedId = held.hk->GetID();
    held.hk.reset();
    suspended.emplace_back(i, held.hkd);
  }
  const bool changed = HotkeyDialog()(item.hkd);
  // Quietly: only one taken by another program meanwhile is said.
  for (const auto& [i, hkd] : suspended)
    HotkeyList[i]->hk = RegisterHotkeyItem(Rows[i].label, Rows[i].iniKey, hkd, false);
  if (!changed) return;
  HotkeyBox(index)->SetChecked(item.hkd.key != 0);
  HotkeyLabel(index)->SetText(item.hkd.name.empty() ? NoHotkeyText : item.hkd.name);
}

// Must not nest: a Save inside another's status line would release and register the items
// under the outer one, which then registers into items it has already passed. A click meanwhile
// runs once after the save in progress rather than being dropped: the page may have changed since
// that save read it, and the user expects what it showed at the click to be stored.
void TFrmMain::btnSaveHotkeyClick() {
  if (savingHotkeys) {
    saveHotkeysAgain = true;
    return;
  }
  savingHotkeys = true;
  do {
    saveHotkeysAgain = false;
    LoadSaveHotkeys(true);
    ShowStatus(L"Hotkey settings save: " + std::wstring(SettingsFileName), true);
  } while (saveHotkeysAgain);
  savingHotkeys = false;
}

// ---------------------------------------------------------------- WM_HOTKEY

bool TFrmMain::IsAutoRepeat(uint32_t pressTime) {
  uint32_t speed = 0;
  if (!ws().SystemParametersGet(wc::SPI_GETKEYBOARDSPEED, speed) || speed < 2) speed = 1;
  const uint32_t interval = 1000 / speed;
  bool repeat = false;
  if (LastHotkeyTime != 0) {
    if (pressTime < LastHotkeyTime) {
      LastHotkeyTime = 0;  // the counter wrapped
    } else if (pressTime - LastHotkeyTime <= 2 * interval) {
      repeat = true;
      AppendLog(L"WMH: Ignoring auto repeat");
    }
  }
  LastHotkeyTime = pressTime;
  return repeat;
}

// May nest: a press is handled in whatever pump runs, also inside a move or a status line; the
// move it asks for is queued and never runs inside another. Its time is the message's own, read
// before anything here pumps: presses that waited behind a long move keep their spacing.
void TFrmMain::WMHotKey(uintptr_t wParam, intptr_t lParam) {
  const uint32_t pressTime = ws().GetMessageTime();
  const auto vk = static_cast<uint16_t>((static_cast<uintptr_t>(lParam) >> 16) & 0xFFFF);
  // A key held down repeats after the keyboard's repeat delay, which is longer than the window
  // of IsAutoRepeat, and MOD_NOREPEAT is not honoured everywhere: a press of the key that last
  // moved is a repeat unless the key was seen up between that press and this one. The watch
  // sees the release while this thread is busy in a move, when no message or timer runs here.
  // Either test renews the time of the last hotkey.
  bool held = false;
  if (HeldHotkeyVk != 0 && vk == HeldHotkeyVk) {
    uint32_t releaseTick = 0;
    held = !ws().KeyReleaseSeen(vk, releaseTick) || static_cast<int32_t>(pressTime - releaseTick) < 0;
  }
  if (IsAutoRepeat(pressTime) || held) {
    AppendLog(L"WMHK: repeated key ignored");
    return;
  }
  const TMoveDirection directions[RowCount] = {
      ml == ml_Horz ? TMoveDirection::Left : TMoveDirection::Up,
      ml == ml_Horz ? TMoveDirection::Right : TMoveDirection::Down,
      TMoveDirection::Next,
  };
  for (size_t i = 0; i < RowCount && i < HotkeyList.size(); ++i) {
    const THotkeyItem& item = *HotkeyList[i];
    const bool current = item.hk && item.hk->GetID() == wParam;
    if (!current && (item.replacedId == 0 || item.replacedId != wParam)) continue;
    AppendLog(Rows[i].logLine);
    HeldHotkeyVk = vk;
    if (!ws().WatchKeyRelease(vk, pressTime)) {
      // Without the watch only the repeat window tells repeats apart.
      AppendLog(L"WMHK: key release watch failed, error " + IntText(ws().GetLastError()));
      HeldHotkeyVk = 0;
    }
    // After the move running now, when this press came in the middle of one.
    TMoveQueue::RequestMove(Rows[i].label, directions[i], 0, false);
    return;  // ids are unique
  }
}

}  // namespace tessary
