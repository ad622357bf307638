// The agent's seven options and the options word exchanged with the
// manager.
//
// The word: bit 0 AutoFill, bit 1 AutoSubmit, bit 2 AskConfirm, bit 3
// AutoShow, bit 4 AutoFillNew, bit 5 AutoBind, each 1 for true; OnSubmit
// times 64 (bits 6 and 7). Reading takes bits 0 to 5 as booleans and bits 6
// and 7 as OnSubmit (0 to 3, kept as read); higher bits are ignored.
//
// A plain value type.
#pragma once

#include <cstdint>

namespace qm {

// What a submitted form leads to.
enum TOnSubmit : uint8_t {
  OnSubmitNothing = 0,
  OnSubmitShowDialog = 1,
  OnSubmitSaveAtOnce = 2,
};

struct TQMOptions {
  // The bits of the word these options occupy; a word may carry others.
  static constexpr int32_t WordBits = 0xFF;

  uint8_t AutoFill = 1;
  uint8_t AutoSubmit = 0;
  uint8_t AskConfirm = 0;
  uint8_t AutoShow = 1;
  uint8_t AutoFillNew = 1;
  uint8_t AutoBind = 0;
  uint8_t OnSubmit = OnSubmitShowDialog;

  int32_t ToWord() const noexcept;
  static TQMOptions FromWord(int32_t word) noexcept;
  friend bool operator==(const TQMOptions&, const TQMOptions&) = default;
};

// The six switches by name, in the order of their bits, for programs that
// show or set them one by one.
struct TOptionSwitch {
  const char* Name;
  uint8_t TQMOptions::*Field;
};
inline constexpr TOptionSwitch OptionSwitches[] = {
    {"AutoFill", &TQMOptions::AutoFill},       {"AutoSubmit", &TQMOptions::AutoSubmit},
    {"AskConfirm", &TQMOptions::AskConfirm},   {"AutoShow", &TQMOptions::AutoShow},
    {"AutoFillNew", &TQMOptions::AutoFillNew}, {"AutoBind", &TQMOptions::AutoBind},
};

}  // namespace qm
