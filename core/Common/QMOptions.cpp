#include "core/Common/QMOptions.h"

namespace qm {

int32_t TQMOptions::ToWord() const noexcept {
  const auto bit = [](uint8_t value, int at) { return value != 0 ? int32_t{1} << at : 0; };
  return bit(AutoFill, 0) | bit(AutoSubmit, 1) | bit(AskConfirm, 2) | bit(AutoShow, 3) |
         bit(AutoFillNew, 4) | bit(AutoBind, 5) | static_cast<int32_t>(OnSubmit) * 64;
}

TQMOptions TQMOptions::FromWord(int32_t word) noexcept {
  const auto bit = [word](int at) { return static_cast<uint8_t>((word >> at) & 1); };
  TQMOptions o;
  o.AutoFill = bit(0);
  o.AutoSubmit = bit(1);
  o.AskConfirm = bit(2);
  o.AutoShow = bit(3);
  o.AutoFillNew = bit(4);
  o.AutoBind = bit(5);
  o.OnSubmit = static_cast<uint8_t>((word >> 6) & 3);
  return o;
}

}  // namespace qm
